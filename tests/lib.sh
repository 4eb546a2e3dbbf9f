# Shared by the end-to-end tests. Each test file sources this with the path of
# the program as its first argument, then runs cases of three steps:
#   check 'the one sentence saying what the case shows'
#   input T 'text body' B 'binary body' E      (or any bytes, see input)
#   expect STATUS 'stdout' 'stderr' [ARG...]
# or, in one, gives (below).
# Bodies, stdout and stderr are written as printf %b strings, so \x80, \r,
# \n and \\ stand for bytes; whole outputs are compared, byte for byte.
# Where the words are the platform's (the option parser's, the system's error
# texts), @text in the expected stderr stands for one line of any text, which
# must contain $names when that is set.
set -u

P=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cases=0
failures=0
what=
names=

check() {
	what=$1
}

# rep STRING COUNT: STRING written COUNT times.
rep() {
	local i
	for ((i = 0; i < $2; i++)); do printf '%s' "$1"; done
}

# le32 N: N as four little-endian bytes, in %b form.
le32() {
	printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) \
	    $(($1 >> 16 & 255)) $(($1 >> 24 & 255))
}

# packet TYPE BODY: a whole packet in %b form, its length counted from BODY.
packet() {
	local n
	n=$(printf '%b' "$2" | wc -c)
	printf '\\x80\\x%02x%s%s' "$1" "$(le32 "$n")" "$2"
}

# input ITEM...: writes the input of the next case. T BODY is a text packet,
# B BODY a binary packet, E the end packet, R BYTES bytes as they stand.
input() {
	local s=
	while (($# > 0)); do
		case $1 in
		T) s+=$(packet 1 "$2"); shift ;;
		B) s+=$(packet 2 "$2"); shift ;;
		E) s+='\x80\x03' ;;
		R) s+=$2; shift ;;
		esac
		shift
	done
	printf '%b' "$s" >"$work/in"
}

# report: says what failed and shows both sides.
report() {
	bad=1
	printf 'FAIL: %s\n  %s\n' "$what" "$1"
	if [ $# -gt 1 ]; then
		printf '  expected:\n'; od -c "$2" | sed 's/^/    /' | head -20
		printf '  got:\n'; od -c "$3" | sed 's/^/    /' | head -20
	fi
}

# platform_text: whether the last run's stderr is want-err with its @text
# replaced by one line of the platform's words.
platform_text() {
	local want got text
	want=$(cat "$work/want-err"; printf .) got=$(cat "$work/err"; printf .)
	want=${want%.} got=${got%.}
	[[ $want == *@text* && $got == "${want%%@text*}"*"${want#*@text}" ]] || return 1
	text=${got#"${want%%@text*}"}
	text=${text%"${want#*@text}"}
	[[ -n $text && $text != *$'\n'* && $text == *"$names"* ]]
}

# compare STATUS OUT ERR: checks the last run's status and both streams.
compare() {
	cases=$((cases + 1))
	bad=0
	printf '%b' "$2" >"$work/want-out"
	printf '%b' "$3" >"$work/want-err"
	if [ "$status" != "$1" ]; then
		report "exit status $status, expected $1"
	fi
	cmp -s "$work/want-out" "$work/out" ||
		report "standard output differs" "$work/want-out" "$work/out"
	cmp -s "$work/want-err" "$work/err" || platform_text ||
		report "standard error differs" "$work/want-err" "$work/err"
	failures=$((failures + bad))
}

# expect STATUS OUT ERR [ARG...]: runs the program on the case's input.
expect() {
	local want=$1 out=$2 err=$3
	shift 3
	status=0
	"$P" "$@" <"$work/in" >"$work/out" 2>"$work/err" || status=$?
	compare "$want" "$out" "$err"
}

# fails STATUS OUT MESSAGE [ARG...]: as expect, with one diagnostic line.
fails() {
	local want=$1 out=$2 msg=$3
	shift 3
	expect "$want" "$out" "$P: $msg\\n" "$@"
}

# gives SHOWS STATUS OUT MESSAGE ITEM...: one case whose input is the ITEMs,
# as for input, with one diagnostic line, MESSAGE, unless it is empty.
gives() {
	local shows=$1 want=$2 out=$3 msg=$4
	shift 4
	check "$shows"
	input "$@"
	if [ -n "$msg" ]; then fails "$want" "$out" "$msg"; else expect "$want" "$out" ''; fi
}

# finish: the closing line, and the status of the test file.
finish() {
	printf '%d passed, %d failed\n' $((cases - failures)) "$failures"
	[ "$failures" -eq 0 ]
}

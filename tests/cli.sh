# The command line: options, operands, the input file, and failing streams.
. "$(dirname "$0")/lib.sh"

usage="usage: $P [-v] [pfb_file]\\n"
version=$(grep -m1 '^## ' "$(dirname "$0")/../NEWS.md" | cut -d' ' -f2) # NEWS.md's first heading
vline="Velk segtoasc (tessel) version $version\\n"

# The input of the cases below is malformed, so a run that reads it fails.
input R '\x80\x07'

# Options that answer at once: the arguments, then status, stdout and stderr,
# and what the platform's words in stderr must name.
while IFS='|' read -r shows args status out err names; do
	check "$shows"
	eval "set -- $args"
	expect "$status" "${out//@usage/$usage}" "${err//@usage/$usage}" "$@"
done <<TABLE
--help writes the usage line to standard output.|--help|0|@usage|
-v writes the version line and reads no input.|-v|0|$vline|
--version writes the version line.|--version|0|$vline|
A unique prefix of a long option is enough.|--vers|0|$vline|
--h is --help.|--h|0|@usage|
-vv writes the version line once.|-vv|0|$vline|
The first option that ends the run wins: -v before --help.|-v --help|0|$vline|
The first option that ends the run wins: --help before -v.|--help -v|0|@usage|
An operand before -v is moved behind it: the version is written.|nonexistent -v|0|$vline|
An unknown long option gets the parser's message and the usage line, status 1.|--bogus|1||@text\\n@usage|bogus
An unknown short option likewise.|-x|1||@text\\n@usage|x
-h is an unknown option too: --help is the long one only.|-h|1||@text\\n@usage|h
An argument to --version is an error.|--version=1|1||@text\\n@usage|version
An unknown option before -v gives the usage error.|--bogus -v|1||@text\\n@usage|bogus
-v before an unknown option answers first.|-v --bogus|0|$vline|
Two operands are a usage error, even when both files exist.|$work/in $work/in|1||@usage
After -- everything is an operand.|-- -v|1||-v: @text\\n
A lone hyphen is a file name, not standard input.|-|1||-: @text\\n
A file that cannot be opened is named with the system's error text.|/nonexistent/font.pfb|1||/nonexistent/font.pfb: @text\\n
A directory opens but cannot be read.|/|1||$P: read error: @text\\n
TABLE

for args in 'nonexistent -v' "$work/in --" "$work/in x"; do
	check "With POSIXLY_CORRECT the options end at the first operand, with any C library: $args is two operands."
	POSIXLY_CORRECT=1 expect 1 '' "$usage" $args
done

check 'Without operands, standard input is converted.'
input T 'abc' E
expect 0 'abc\n' ''

check 'A named file is converted in place of standard input.'
printf '\x80\x01\x02\x00\x00\x00hi\x80\x03' >"$work/font.pfb"
expect 0 'hi\n' '' "$work/font.pfb"

check 'The program name in a diagnostic is the first argument as typed, path and all.'
input R '\x80\x09'
mkdir -p "$work/opt/bin"
ln -s "$(cd "$(dirname "$P")" && pwd)/${P##*/}" "$work/opt/bin/segtoasc"
status=0
"$work/opt/bin/segtoasc" <"$work/in" >"$work/out" 2>"$work/err" || status=$?
compare 2 '' "$work/opt/bin/segtoasc: bad packet type\\n"

# runs STATUS ERR REDIRECTIONS [ARG...]: the program, started through the
# command in $launch if set, with its streams redirected as given; stdout is
# not compared.
launch=
runs() {
	local want=$1 err=$2 redirect=$3
	shift 3
	status=0
	eval "$launch \"\$P\" \"\$@\" $redirect 2>\"\$work/err\"" || status=$?
	: >"$work/out"
	compare "$want" '' "$err"
}

input T 'abc' B "$(rep '\xab' 100000)" E
write_error="$P: write error: @text\\n"
check 'Output into a full disk is a write error, status 1.'
runs 1 "$write_error" '<"$work/in" >/dev/full'
check 'The version line into a full disk is a write error too.'
runs 1 "$write_error" '>/dev/full' -v
check 'A closed standard output is a write error.'
runs 1 "$write_error" '<"$work/in" >&-'
check 'A closed standard input is a read error.'
runs 1 "$P: read error: @text\\n" '<&- >/dev/null'
system_text=$(sed -n "s|^$P: read error: ||p" "$work/err")
check 'The version line into a closed standard output is a write error, with the whole of the same system text.'
runs 1 "$P: write error: $system_text\\n" '>&-' --version
check 'Malformed input into a full disk reports the lost output first.'
input T 'abc' R '\x80\x09'
runs 1 "$write_error" '<"$work/in" >/dev/full'

# stdbuf makes the C library flush each line as it is written, so the
# failure is met, and only flagged, before the close.
for option in -v --help; do
	check "A line of $option that fails to be written before the close is a write error too."
	launch='stdbuf -oL' runs 1 "$write_error" '>/dev/full' "$option"
done

finish

# The manual page lints clean and states the program's values and messages,
# as the program shows them: a manual and a program that disagree fail here.
#   manual.sh PROGRAM PAGE MANDOC
. "$(dirname "$0")/lib.sh"
page=$2 mandoc=$3
text=$("$mandoc" -T ascii "$page" | sed 's/.\x08//g' | tr -s ' \n' '  ')

# says WHAT PHRASE: the page says PHRASE, which WHAT of the program gives.
says() {
	cases=$((cases + 1))
	[[ -n $2 && $text == *"$2"* ]] || { printf 'FAIL: %s: the manual does not say "%s"\n' "$1" "$2"; failures=$((failures + 1)); }
}
# line N ITEM...: the length of line N of the program's output for the input.
line() { local n=$1; shift; input "$@"; "$P" <"$work/in" | sed -n "${n}p" | tr -d '\n' | wc -c; }
# said OUT ARG...: the program's message, its output into OUT, without its
# name and the system's words.
said() { "$P" "${@:2}" <"$work/in" 2>&1 >"$1" | sed -e "s|^$P: ||" -e 's|\(error\): .*|\1: text|'; }

lint=$("$mandoc" -T lint -W warning "$page" 2>&1)
[ -z "$lint" ] || { printf 'FAIL: mandoc -T lint:\n%s\n' "$lint"; failures=1; }
digits=$(line 1 B "$(rep '\x00' 40)" E)
says 'a hex line' "$digits digits ($((digits / 2)) bytes) a line"
says 'the limit' "once it holds $(line 1 T "%$(rep a 100)" E) characters if it is the packet's first line"
says 'the limit after a line end' "once it holds $(line 2 T "a\\n%$(rep a 100)" E) if it follows a line end"
words=(no one two three four five six seven eight nine)
says 'an escape' "up to ${words[$(line 1 T "($(rep a 74)\\\\12345678)" E) - 77]} octal digits"
for in in '' '\x80' '\x80\x01' '\x80\x02\x00\x00\x00\x80' '\x80\x02\x01\x00\x00\x00' '\x80\x01\x01\x00\x00\x00'; do
	input R "$in"
	says 'a message' "$(said /dev/null)"
done
says 'a read error' "$(said /dev/null /)"
says 'a write error' "$(said /dev/full -v)"
cases=$((cases + 1))
[ "$(grep -c '^\.It Sy' "$page")" -eq 8 ] || { echo 'FAIL: the manual lists messages the program does not give'; failures=$((failures + 1)); }
finish

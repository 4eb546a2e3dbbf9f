# Text packets: line ends, and the three ways a long line is broken.
. "$(dirname "$0")/lib.sh"

# text SHOWS BODY OUT: one text packet converts to OUT, status 0.
text() {
	check "$1"
	input T "$2" E
	expect 0 "$3" ''
}

a77=$(rep a 77) a78=$(rep a 78) a80=$(rep a 80) a100=$(rep a 100)

# texts: each line of the table on standard input, SHOWS|BODY|OUT, as a case
# of text.
texts() {
	while IFS='|' read -r shows body out; do text "$shows" "$body" "$out"; done
}

text 'An empty packet gives one line feed.' '' '\n'
text 'Text with no line end gets one.' 'abc' 'abc\n'
text 'Text that ends in LF gets no second one.' 'abc\n' 'abc\n'
text 'CR LF and a lone CR both become LF.' 'a\r\nb\rc' 'a\nb\nc\n'
text 'A CR as the last byte is dropped, and one LF ends the output.' 'abc\r' 'abc\n'
text 'CR CR LF is two line ends.' 'a\r\r\nb' 'a\n\nb\n'
text 'CR CR is two line ends.' 'a\r\rb' 'a\n\nb\n'
text 'The byte 0xff and NUL are copied like any other.' 'a\xffb\x00c' 'a\xffb\x00c\n'
text 'Packets do not share state: a string left open is forgotten.' '(abc' '(abc\n'

# Blank breaks.
texts <<TABLE
A long token runs past the limit and the next blank becomes the break.|${a100} b|${a100}\\nb\\n
The first line carries 78 characters before a break: 40 x and 39 spaces.|$(rep 'x ' 45)|$(rep 'x ' 39)x\\n$(rep 'x ' 5)\\n
After an input line feed a line carries 77.|a\\n$(rep 'x ' 45)|a\\n$(rep 'x ' 38)x\\n$(rep 'x ' 6)\\n
A blank that becomes the break as the last byte leaves an empty line.|${a78} |${a78}\\n\\n
79 letters and LF: the LF ends the token, and no break follows.|$(rep a 79)\\n|$(rep a 79)\\n
A blank break that runs to the end of the packet leaves an empty line.|${a80}|${a80}\\n\\n
Tab and form feed take a break too.|${a78}\\tb${a78}\\fc|${a78}\\nb${a78}\\nc\\n
A vertical tab is no blank.|${a78}\\vb c|${a78}\\vb\\nc\\n
TABLE

# A line end ends a token past the limit as it ends any line, and the blanks
# after the token currentfile take no break: font readers look for
# "currentfile eexec" on one line. A limit inside the word, just after it and
# on a second blank after it; the word at the packet's start; a name.
for eol in '\n' '\r' '\r\n'; do
	text "A line end ($eol) ends a token past the limit." \
		"${a100}${eol}abc def" "${a100}\\nabc def\\n"
	text "After a token and a line end ($eol) the next line carries 77." \
		"${a80}${eol}$(rep 'x ' 45)" "${a80}\\n$(rep 'x ' 38)x\\n$(rep 'x ' 6)\\n"
	while IFS='|' read -r where line; do
		text "currentfile eexec stays on one line, the limit $where ($eol)." "${line}${eol}x" "${line}\\nx\\n"
	done <<-TABLE
	inside the word|$(rep a 70) currentfile eexec
	just after the word|$(rep a 66) currentfile eexec
	on a second blank after it|$(rep a 65) currentfile  eexec
	on a space after a tab after it|$(rep a 65) currentfile\t eexec
	on blanks that run far past it|$(rep a 70) currentfile$(rep ' ' 90)eexec
	on the blanks after the word at the packet's start|currentfile$(rep ' ' 68)eexec
	TABLE
	text "/currentfile is a name, not the token ($eol)." \
		"$(rep a 66) /currentfile eexec${eol}x" "$(rep a 66) /currentfile\\neexec\\nx\\n"
done
# Font readers take the one byte after "currentfile eexec" as its line end.
for t in 'a space|currentfile eexec ' 'a tab and a space|currentfile eexec\t ' "a break at the limit|$(rep a 66) currentfile eexec  "; do
	body=${t#*|}
	text "The blanks after eexec that end a packet are dropped: ${t%%|*}." "$body" "${body%eexec*}eexec\\n"
done
text 'Blanks after eexec that take two blank breaks are kept: only one break among them can be undone.' \
	"currentfile eexec$(rep ' ' 200)" "currentfile eexec$(rep ' ' 61)\\n$(rep ' ' 78)\\n$(rep ' ' 59)\\n"
text 'A line end copied after a blank break starts a line of its own: eexec and the line end stay.' \
	"${a80} b\\ncurrentfile eexec\\n" "${a80}\\nb\\ncurrentfile eexec\\n"
for body in 'currentfile eexec \nx' '(eexec ' '% eexec ' '/eexec ' 'xeexec '; do
	text "Blanks after eexec are kept where eexec is no token or a line end follows: $body." "$body" "$body\\n"
done
texts <<TABLE
A closing parenthesis first makes the depth negative: "%" is no comment, and blanks take the breaks.|) %${a100} b|) %${a100}\\nb\\n
Below depth 0 a backslash escapes a "(", and a "%" at the limit is no comment.|)\\\\($(rep a 75)%b c|)\\\\($(rep a 75)%b\\nc\\n
A ")" in a token past the limit makes the depth negative: a "%" after it is no comment.|${a78}b)c %${a100}|${a78}b)c\\n%${a100}\\n\\n
TABLE

# String continuations.
texts <<TABLE
A long string is continued with backslash-newline, 77 characters a line after the first.|($(rep a 200)|(${a77}\\\\\\n${a77}\\\\\\n$(rep a 46)\\n
A string of 100 letters: 77 on the first line, 23 and the parenthesis on the second.|(${a100})|(${a77}\\\\\\n$(rep a 23))\\n
An octal escape is never split; the byte after it takes the continuation.|($(rep a 76)\\\\101bc)|($(rep a 76)\\\\101\\\\\\nbc)\\n
A backslash-newline in a string is a line end like any other.|(a\\\\\\r\\nb)|(a\\\\\\nb)\\n
TABLE

# Comment continuations.
text 'A long comment is continued on a new "%" line, 76 characters after it.' \
	"%$(rep a 200)" "%${a77}\\n%$(rep a 76)\\n%$(rep a 47)\\n"
text 'A "%" that opens a comment at the limit is placed after the continuation "%".' \
	"${a78}%abc" "${a78}\\n%%abc\\n"

text 'A "(" in a comment opens no string: the line after it takes blank breaks.' \
	"%(\\n$(rep 'x ' 45)" "%(\\n$(rep 'x ' 38)x\\n$(rep 'x ' 6)\\n"

# A form feed ends a comment, as a line end does.
defs='/k0 0 def /k1 1 def /k2 2 def /k3 3 def /k4 4 def /k5 5 def /k6 6 def /k7 7'
texts <<TABLE
Code after a form feed in a comment is code: it takes a blank break, not a "%".|%!\\f${defs} def /k8 8 def|%!\\f${defs}\\ndef /k8 8 def\\n
A string after a form feed in a comment is continued as a string.|% note\\f/s (${a100}) def|% note\\f/s ($(rep a 67)\\\\\\n$(rep a 33)) def\\n
A form feed in a comment past the limit becomes the line end of a blank break.|%${a77}\\fb|%${a77}\\nb\\n
In a string a form feed is an ordinary byte.|(${a77}\\f%b)|(${a77}\\\\\\n\\f%b)\\n
TABLE

# An escape is written whole.
texts <<TABLE
An escaped parenthesis at the limit stays beside its backslash, on one line.|(${a77}\\\\(|(${a77}\\\\(\\n
The byte after an octal escape is a byte of its own: ")" closes the string and "%" opens a comment.|(\\\\050) %${a100}|(\\\\050) %$(rep a 70)\\n%$(rep a 30)\\n
A backslash after octal digits starts another escape.|(\\\\101\\\\()%${a100}|(\\\\101\\\\()%$(rep a 69)\\n%$(rep a 31)\\n
A fourth digit after three octal digits is an ordinary byte: it takes the continuation.|($(rep a 73)\\\\1234)|($(rep a 73)\\\\123\\\\\\n4)\\n
So is a fourth digit of an escape at column 75, which goes a byte at a time.|($(rep a 74)\\\\1234)|($(rep a 74)\\\\123\\\\\\n4)\\n
A letter escaped is no octal digit: the digits after it take the continuation.|($(rep a 74)\\\\n12)|($(rep a 74)\\\\n1\\\\\\n2)\\n
A backslash as the last byte of a packet ends the output with a line feed.|(a\\\\|(a\\\\\\n
Octal digits that end the packet end the output with a line feed.|(a\\\\12|(a\\\\12\\n
An escaped byte that ends the packet ends the output with a line feed.|(a\\\\n|(a\\\\n\\n
TABLE

# The "(" that opens a string takes no string continuation.
text 'A "(" at the limit is written by the blank break, and the string continues inside.' \
	"${a78}(abc)" "${a78}(\\\\\\nabc)\\n"

# The blank break keeps track of what it copies.
text 'A string the blank break opens is continued as a string.' \
	"${a80}(a b)" "${a80}(\\\\\\na b)\\n"
text 'A comment the blank break opens is continued as a comment.' \
	"${a80}%x y" "${a80}%\\n%x y\\n"

# Runs of plain bytes are looked at eight at a time: the byte that ends a
# run is taken wherever it stands among them. A ")" missed would leave "%" in the string and the long comment
# after it would be continued as a string.
for n in 30 31 32 33 63 64; do
	b=$((75 - n)) rest=$((25 + n))
	if [ $rest -le 76 ]; then tail="%$(rep b $rest)"; else tail="%$(rep b 76)\\n%$(rep b $((rest - 76)))"; fi
	text "A \")\" after $n letters of a string ends it, and the comment after it is a comment." \
		"($(rep a $n))%$(rep b 100)" "($(rep a $n))%$(rep b $b)\\n$tail\\n"
done
text 'A run that reaches the limit at the end of eight bytes: the next byte is continued.' \
	"$(rep a 13)($(rep c 70))" "$(rep a 13)($(rep c 64)\\\\\\n$(rep c 6))\\n"

# Runs go on across the line ends of lines that fit. The first line of a
# packet carries 78 characters and the next 77: a line one character short
# of that, one that fills it, and one a character over, whose last letter
# starts a token that takes the line end and the next "x" with it; then a
# line of pairs broken where its own column says.
pairs="$(rep 'x ' 38)x\\n$(rep 'x ' 6)\\n"
for n in 77 78 79; do
	text "A first line of $n letters, then a line of pairs." \
		"$(rep a $n)\\n$(rep 'x ' 45)" "$(rep a $n)\\n$pairs"
	text "A second line of $((n - 1)) letters, then a line of pairs." \
		"a\\n$(rep b $((n - 1)))\\n$(rep 'x ' 45)" "a\\n$(rep b $((n - 1)))\\n$pairs"
done

# A string's escapes are copied within its runs, but only where the whole
# escape lies below the limit; the escape that could reach it goes byte by
# byte, and either way it is never split.
text 'An escape at column 73: the byte after it is still below the limit.' \
	"($(rep a 72)\\\\101bc)" "($(rep a 72)\\\\101b\\\\\\nc)\\n"
for n in 73 74 75; do
	text "An escape at column $((n + 1)) is written whole, and the continuation follows it." \
		"($(rep a $n)\\\\101bc)" "($(rep a $n)\\\\101\\\\\\nbc)\\n"
done
text 'A backslash that ends eight bytes still escapes the "(" that starts the next eight.' \
	"($(rep a 63)\\\\()%$(rep b 100)" "($(rep a 63)\\\\()%$(rep b 10)\\n%$(rep b 76)\\n%$(rep b 14)\\n"
text 'A CR escaped across the end of eight bytes is still a line end.' \
	"($(rep a 63)\\\\\\rx)" "($(rep a 63)\\\\\\nx)\\n"

# Short packets.
gives 'Input that ends inside a packet keeps what was written and fails.' \
	2 'ab\n' 'end of file in text packet' R '\x80\x01\x0a\x00\x00\x00ab\r'
gives 'Input that ends while a blank break copies a token fails too.' \
	2 "$(rep a 90)" 'end of file in text packet' R "\\x80\\x01\\xc8\\x00\\x00\\x00$(rep a 90)"
gives 'Input that ends right after a backslash in a string fails.' \
	2 '(a\\' 'end of file in text packet' R '\x80\x01\x05\x00\x00\x00(a\\'

finish

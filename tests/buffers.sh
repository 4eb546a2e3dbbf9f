# Input and output buffer edges: bytes that belong together arriving in
# separate reads, and outputs larger than any buffer.
. "$(dirname "$0")/lib.sh"
feed=("${@:2}") # the differential program, which feeds a pipe in chunks

# piped STATUS OUT ERR CHUNK...: the program reads each %b chunk from a pipe
# in a read of its own, written once it has read all of the one before.
piped() {
	local want=$1 out=$2 err=$3 i=0 chunk chunks=()
	shift 3
	for chunk; do
		chunks+=("$work/chunk$((++i))")
		printf '%b' "$chunk" >"${chunks[-1]}"
	done
	status=0
	"${feed[@]}" "$P" --feed "${chunks[@]}" >"$work/out" 2>"$work/err" || status=$?
	compare "$want" "$out" "$err"
}

check 'A CR that ends a read and the LF that starts the next are one line end.'
piped 0 'a\nb\n' '' '\x80\x01\x04\x00\x00\x00a\r' '\nb\x80\x03'
check 'A CR that ends a read, then another byte: the byte is read once.'
piped 0 'a\nb\n' '' '\x80\x01\x03\x00\x00\x00a\r' 'b\x80\x03'
check 'A CR that ends a read and the input: the packet is short.'
piped 2 'a\n' "$P: end of file in text packet\\n" '\x80\x01\x05\x00\x00\x00a\r'
check 'A CR that ends the packet and a read: the next header follows.'
piped 0 'a\nb\n' '' '\x80\x01\x02\x00\x00\x00a\r' '\x80\x01\x01\x00\x00\x00b\x80\x03'
check 'A backslash that ends a read still escapes the parenthesis after it.'
piped 0 '(\\()%x\n' '' '\x80\x01\x06\x00\x00\x00(\\' '()%x\x80\x03'
check 'So the string closes, and a long comment after it is continued as a comment.'
piped 0 "(\\\\()%$(rep x 73)\\n%$(rep x 27)\\n" '' '\x80\x01\x69\x00\x00\x00(\\' "()%$(rep x 100)\\x80\\x03"
check 'Octal digits split across reads make one escape.'
piped 0 '(\\123)\n' '' '\x80\x01\x06\x00\x00\x00(\\1' '23)\x80\x03'
check 'A string cut by the end of a read goes on at the same column in the next.'
piped 0 "($(rep a 77)\\\\\\n$(rep a 23))\\n" '' "\\x80\\x01\\x66\\x00\\x00\\x00($(rep a 40)" "$(rep a 60))\\x80\\x03"
check 'A token past the limit cut by the end of a read runs on to its blank in the next.'
piped 0 "$(rep a 95)\\nb\\n" '' "\\x80\\x01\\x61\\x00\\x00\\x00$(rep a 85)" "$(rep a 10) b\\x80\\x03"
check 'A CR that ends a read inside a token past the limit and the LF that starts the next are one line end.'
piped 0 "$(rep a 100)\\nabc def\\n" '' "\\x80\\x01$(le32 109)$(rep a 100)\\r" '\nabc def\x80\x03'
check 'A currentfile split across reads still keeps its eexec on the line.'
piped 0 "$(rep a 70) currentfile eexec\\n" '' "\\x80\\x01$(le32 89)$(rep a 70) curr" 'entfile eexec\n\x80\x03'

header='\x80\x02\x02\x00\x00\x00'
for cut in 1 2 3 4 5; do
	check "A header split after byte $cut is read whole."
	piped 0 'abcd\n' '' "${header:0:$((cut * 4))}" "${header:$((cut * 4))}\\xab\\xcd\\x80\\x03"
done

# A file is read in large blocks: the CR is the last byte of a block and the
# LF the first of the next, for each likely block size.
for edge in 4096 8192 16384 32768 65536 131072; do
	check "A CR LF across offset $edge of a file is one line end."
	# Six header bytes, then lines of eight, then one x: the CR is at edge - 1.
	printf '%b' "$(rep 'xxxxxxx\n' $((edge / 8 - 1)))x" >"$work/lines"
	{
		printf '\x80\x01'
		printf '%b' "$(le32 $((edge - 3)))"
		cat "$work/lines"
		printf '\r\nyz\x80\x03'
	} >"$work/in"
	expect 0 "$(cat "$work/lines")\\nyz\\n" ''
	check "A string of 63 letters and a backslash that ends at offset $edge of a file escapes the \")\" after it."
	head -c $((edge - 71)) "$work/lines" >"$work/head" # so the "(" is at edge - 65
	{ printf '\x80\x01%b' "$(le32 $((edge + 101)))"; cat "$work/head"; printf '(%s\\) x) %%%s\n\x80\x03' "$(rep a 63)" "$(rep y 100)"; } >"$work/in"
	expect 0 "$(cat "$work/head")($(rep a 63)\\\\) x) %$(rep y 5)\\n%$(rep y 76)\\n%$(rep y 19)\\n" ''
done

# A run copies 4033 bytes and a step one more: after 32 of them the last
# blanks find the output buffer too full, and it is written out but for them.
check 'Blanks after eexec that end a packet are dropped when the output buffer is written out among them.'
printf '%b' "$(rep 'xxxxxxx\n' 239)" >"$work/first"; printf '%b' "$(rep 'xxxxxxx\n' 16130)xx\neexec" >"$work/second"
{ printf '\x80\x01%b' "$(le32 1912)"; cat "$work/first"; printf '\x80\x01%b' "$(le32 129108)"; cat "$work/second"; rep ' ' 60; printf '\x80\x03'; } >"$work/in"
expect 0 "$(cat "$work/first" "$work/second")\\n" ''

# Lines that reach the limit at each letter of currentfile, some with the
# output flushed between the letters, come out as they are.
check 'A text packet larger than the buffers comes out whole.'
for ((n = 66; n < 77; n++)); do as[n]=$(rep a $n); done
for ((i = 0; i < 4000; i++)); do
	printf 'abc def\r\n%s currentfile eexec\n' "${as[66 + i % 11]}"
done >"$work/body"
{ printf '\x80\x01'; printf '%b' "$(le32 $(wc -c <"$work/body"))"; cat "$work/body"; printf '\x80\x03'; } >"$work/in"
tr -d '\r' <"$work/body" >"$work/want"
"$P" <"$work/in" >"$work/out" 2>"$work/err"; status=$?
cases=$((cases + 1)); bad=0
[ $status -eq 0 ] && cmp -s "$work/want" "$work/out" || report 'output differs' "$work/want" "$work/out"
failures=$((failures + bad))

finish

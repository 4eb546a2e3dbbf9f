# Packet headers and binary packets.
. "$(dirname "$0")/lib.sh"

# bytes A B: the bytes A to B in %b form; digits A B: the same in hex.
bytes() { local i; for ((i = $1; i <= $2; i++)); do printf '\\x%02x' "$i"; done; }
digits() { local i; for ((i = $1; i <= $2; i++)); do printf '%02x' "$i"; done; }

# Header failures: the input, then the message.
while IFS='|' read -r shows in msg; do
	check "$shows"
	input R "$in"
	fails 2 '' "$msg"
done <<'TABLE'
Empty input fails where the first header is due.||first byte of packet not 0x80
A first byte other than 0x80 is refused.|\x00\x03|first byte of packet not 0x80
Input that ends after the marker has no packet type.|\x80|bad packet type
Type 0 is refused before any length byte is read.|\x80\x00|bad packet type
Type 4 is refused before any length byte is read.|\x80\x04|bad packet type
Type 0xff is a byte like any other, not end of input.|\x80\xff|bad packet type
A header that ends before its length fails.|\x80\x01|end of file in packet header
A header that ends after one length byte fails.|\x80\x02\x05|end of file in packet header
A header that ends after three length bytes fails.|\x80\x01\x05\x00\x00|end of file in packet header
A length with the top bit set is refused.|\x80\x02\x00\x00\x00\x80|negative packet length
The largest length of all is refused too.|\x80\x01\xff\xff\xff\xff|negative packet length
TABLE

check 'The end packet alone converts to nothing and succeeds.'
input E
expect 0 '' ''

check 'Nothing after the end packet is read, however malformed.'
input E R '\x00\x80\x09garbage'
expect 0 '' ''

check 'Empty text and binary packets each give one empty line, and the walk goes on.'
input T '' B '' T 'a' E
expect 0 '\n\na\n' ''

check 'Packets of both types follow one another in any order.'
input B '\x01\x02' T 'abc\n' B '\xfe' T 'd' E
expect 0 '0102\nabc\nfe\nd\n' ''

check 'Forty bytes give a line of 64 digits and a line of 16.'
input B "$(bytes 0 39)" E
expect 0 "$(digits 0 31)\\n$(digits 32 39)\\n" ''

check 'Exactly 32 bytes give one line and no empty line after it.'
input B "$(bytes 0 31)" E
expect 0 "$(digits 0 31)\\n" ''

check 'Exactly 64 bytes give two full lines.'
input B "$(bytes 64 127)" E
expect 0 "$(digits 64 95)\\n$(digits 96 127)\\n" ''

check 'The 33rd byte starts a line of its own.'
input B "$(bytes 200 232)" E
expect 0 "$(digits 200 231)\\n$(digits 232 232)\\n" ''

check 'Every byte value is written as two lowercase digits; 0xff is an ordinary byte.'
input B "$(bytes 0 255)" E
expect 0 "$(for ((l = 0; l < 256; l += 32)); do digits $l $((l + 31)); printf '\\n'; done)" ''

check 'Length bytes are unsigned: ff 00 00 00 is 255.'
input R "\\x80\\x02\\xff\\x00\\x00\\x00$(bytes 0 254)\\x80\\x03"
expect 0 "$(for ((l = 0; l < 224; l += 32)); do digits $l $((l + 31)); printf '\\n'; done)$(digits 224 254)\\n" ''

check 'A file that ends after a whole packet keeps its output and fails where the next header is due.'
input T 'abc'
fails 2 'abc\n' 'first byte of packet not 0x80'

check 'A short binary body keeps the digits read and gets no final line feed.'
input R "\\x80\\x02\\x30\\x00\\x00\\x00$(bytes 1 33)"
fails 2 "$(digits 1 32)\\n$(digits 33 33)" 'end of file in binary packet'

check 'A header promising 2147483647 bytes with ten behind it fails at once.'
input R "\\x80\\x02\\xff\\xff\\xff\\x7f$(bytes 16 25)"
fails 2 "$(digits 16 25)" 'end of file in binary packet'

check 'A short text body keeps the text read and gets no final line feed.'
input R '\x80\x01\x09\x00\x00\x00abc\ndef'
fails 2 'abc\ndef' 'end of file in text packet'

check 'A large binary packet matches od byte for byte, across every buffer edge.'
head -c 300000 /dev/urandom >"$work/random"
{ printf '\x80\x02'; printf '%b' "$(le32 300000)"; cat "$work/random"; printf '\x80\x03'; } >"$work/in"
od -An -v -tx1 "$work/random" | tr -d ' \n' | fold -w64 >"$work/hex"; echo >>"$work/hex"
"$P" <"$work/in" >"$work/out" 2>"$work/err"; status=$?
cases=$((cases + 1)); bad=0
[ $status -eq 0 ] && cmp -s "$work/hex" "$work/out" && [ ! -s "$work/err" ] ||
	report 'large binary packet differs' "$work/hex" "$work/out"
failures=$((failures + bad))

finish

# Packet headers and binary packets.
. "$(dirname "$0")/lib.sh"

# bytes A B: the bytes A to B in %b form; digits A B: the same in hex;
# lines A B: those digits in lines of w bytes, the program's hex_line_bytes.
bytes() { local i; for ((i = $1; i <= $2; i++)); do printf '\\x%02x' "$i"; done; }
digits() { local i; for ((i = $1; i <= $2; i++)); do printf '%02x' "$i"; done; }
lines() { local l; for ((l = $1; l <= $2; l += w)); do digits $l $((l + w - 1 < $2 ? l + w - 1 : $2)); printf '\\n'; done; }
w=$(sed -n 's/.*hex_line_bytes = \([0-9]*\);/\1/p' "$(dirname "$0")/../convert/packet_stream.h")
[ "$w" -ge 10 ] && [ "$w" -le 120 ] || { echo "FAIL: hex_line_bytes is '$w': the cases need 10 to 120"; exit 1; }

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

gives 'The end packet alone converts to nothing and succeeds.' 0 '' '' E
gives 'Nothing after the end packet is read, however malformed.' 0 '' '' E R '\x00\x80\x09garbage'
gives 'Empty text and binary packets each give one empty line, and the walk goes on.' \
	0 '\n\na\n' '' T '' B '' T 'a' E
gives 'Packets of both types follow one another in any order.' \
	0 '0102\nabc\nfe\nd\n' '' B '\x01\x02' T 'abc\n' B '\xfe' T 'd' E
# The one case that pins the width, whatever hex_line_bytes says.
gives 'The 40 bytes 0x00 to 0x27 give a line of 64 digits for 0x00 to 0x1f and a line of 16.' \
	0 "$(digits 0 31)\\n$(digits 32 39)\\n" '' B "$(bytes 0 39)" E
gives "Exactly $w bytes give one line and no empty line after it." \
	0 "$(digits 0 $((w - 1)))\\n" '' B "$(bytes 0 $((w - 1)))" E
gives "Exactly $((2 * w)) bytes give two full lines." 0 "$(lines 10 $((2 * w + 9)))" '' B "$(bytes 10 $((2 * w + 9)))" E
gives "Byte $((w + 1)) starts a line of its own." \
	0 "$(digits $((255 - w)) 254)\\nff\\n" '' B "$(bytes $((255 - w)) 255)" E
gives 'Every byte value is written as two lowercase digits; 0xff is an ordinary byte.' \
	0 "$(lines 0 255)" '' B "$(bytes 0 255)" E
gives 'Length bytes are unsigned: ff 00 00 00 is 255.' \
	0 "$(lines 0 254)" '' R "\\x80\\x02\\xff\\x00\\x00\\x00$(bytes 0 254)\\x80\\x03"
gives 'A file that ends after a whole packet keeps its output and fails where the next header is due.' \
	2 'abc\n' 'first byte of packet not 0x80' T 'abc'
gives 'A short binary body keeps the digits read and gets no final line feed.' \
	2 "$(digits 1 $w)\\n$(digits $((w + 1)) $((w + 1)))" 'end of file in binary packet' \
	R "\\x80\\x02$(le32 $((w + 16)))$(bytes 1 $((w + 1)))"
gives 'A header promising 2147483647 bytes with ten behind it fails at once.' \
	2 "$(digits 16 25)" 'end of file in binary packet' R "\\x80\\x02\\xff\\xff\\xff\\x7f$(bytes 16 25)"
gives 'A short text body keeps the text read and gets no final line feed.' \
	2 'abc\ndef' 'end of file in text packet' R '\x80\x01\x09\x00\x00\x00abc\ndef'

finish

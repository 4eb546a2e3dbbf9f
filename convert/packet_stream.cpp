// Walks the packets of a segmented font and writes binary packets as hex.
#include "convert/packet_stream.h"

#include <algorithm>

#include "convert/byte_io.h"
#include "convert/text_packet.h"

namespace {

constexpr int packet_marker = 0x80;
enum packet_type { text_packet = 1, binary_packet = 2, end_packet = 3 };

// A whole line: the line feed that ends the line before, then the digits.
constexpr std::size_t hex_line_size = 1 + 2 * hex_line_bytes;

// Writes the two digits of each of the n bytes at in. Arithmetic on each
// half-byte, which the compiler turns into vector code.
void write_hex(char *out, const unsigned char *in, std::size_t n)
{
	for (std::size_t i = 0; i < n; i++) {
		unsigned char hi = in[i] >> 4, lo = in[i] & 15;
		out[2 * i] = static_cast<char>('0' + hi + (hi > 9 ? 'a' - '0' - 10 : 0));
		out[2 * i + 1] = static_cast<char>('0' + lo + (lo > 9 ? 'a' - '0' - 10 : 0));
	}
}

} // namespace

// The header is checked field by field, in the order it is read, so that
// each kind of damage has its own message.
void convert_packets()
{
	for (;;) {
		if (read_byte() != packet_marker)
			fatal_error("first byte of packet not 0x80");
		int type = read_byte();
		if (type == end_packet)
			end_run(0);
		if (type != text_packet && type != binary_packet)
			fatal_error("bad packet type");
		std::uint32_t length = 0;
		for (int shift = 0; shift < 32; shift += 8) {
			int c = read_byte();
			if (c == end_of_input)
				fatal_error("end of file in packet header");
			length |= static_cast<std::uint32_t>(c) << shift;
		}
		if (length > 0x7fffffffu)
			fatal_error("negative packet length");
		if (type == text_packet)
			write_text_packet(static_cast<std::int32_t>(length));
		else
			write_binary_packet(static_cast<std::int32_t>(length));
	}
}

// Bytes go straight from the input buffer into the output buffer, as many
// whole lines at a time as fit one reservation. A line feed goes before
// each line but the first, so a packet that fills its last line exactly
// gets no empty line.
void write_binary_packet(std::int32_t length)
{
	int bytes_on_line = 0;
	read_packet(length, "end of file in binary packet", [&](const unsigned char *in, std::size_t n) {
		while (n > 0) {
			if (bytes_on_line == hex_line_bytes) {
				if (n >= hex_line_bytes) {
					std::size_t lines = std::min(n / hex_line_bytes, output_room / hex_line_size);
					char *out = reserve_output(lines * hex_line_size);
					for (std::size_t i = 0; i < lines; i++, out += hex_line_size, in += hex_line_bytes) {
						out[0] = '\n';
						write_hex(out + 1, in, hex_line_bytes);
					}
					output.next = out;
					n -= lines * hex_line_bytes;
					continue;
				}
				write_byte('\n');
				bytes_on_line = 0;
			}
			std::size_t k = std::min(static_cast<std::size_t>(hex_line_bytes - bytes_on_line), n);
			write_hex(reserve_output(2 * k), in, k);
			output.next += 2 * k;
			in += k;
			bytes_on_line += static_cast<int>(k);
			n -= k;
		}
	});
	write_byte('\n');
}

// Walks the packets of a segmented font and writes binary packets as hex.
#include "convert/packet_stream.h"

#include "cli/diagnostics.h"
#include "convert/byte_io.h"
#include "convert/text_packet.h"

namespace {

constexpr int packet_marker = 0x80;
constexpr int text_packet = 1;
constexpr int binary_packet = 2;
constexpr int end_packet = 3;

constexpr int bytes_per_line = 32;
constexpr char digits[] = "0123456789abcdef";

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

void write_binary_packet(std::int32_t length)
{
	int bytes_on_line = 0;

	for (std::int32_t remaining = length; remaining > 0; remaining--) {
		int c = read_byte();
		if (c == end_of_input)
			fatal_error("end of file in binary packet");
		if (bytes_on_line == bytes_per_line) {
			write_byte('\n');
			bytes_on_line = 0;
		}
		write_byte(digits[c >> 4]);
		write_byte(digits[c & 0xf]);
		bytes_on_line++;
	}
	write_byte('\n');
}

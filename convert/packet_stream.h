// The packet stream walker and the binary packet writer.
#ifndef CONVERT_PACKET_STREAM_H
#define CONVERT_PACKET_STREAM_H

#include <algorithm>
#include <cstdint>

#include "cli/diagnostics.h"
#include "convert/byte_io.h"

// Converts the packets on standard input until the end packet, then ends the
// run with status 0; malformed input ends it through fatal_error.
[[noreturn]] void convert_packets();

// Writes the next length bytes of input as lines of 64 hexadecimal digits.
void write_binary_packet(std::int32_t length);

// Hands the next length bytes of input to take(bytes, n), as many at a time
// as are buffered. Input that ends before them is malformed, as message says.
template <typename Take>
void read_packet(std::int32_t length, const char *message, Take &&take)
{
	for (std::int32_t remaining = length; remaining > 0;) {
		if (!fill_input())
			fatal_error(message);
		std::size_t n = std::min(static_cast<std::size_t>(input.end - input.next),
		    static_cast<std::size_t>(remaining));
		const unsigned char *bytes = input.next;
		input.next += n;
		take(bytes, n);
		remaining -= static_cast<std::int32_t>(n);
	}
}

#endif

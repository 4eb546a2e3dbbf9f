// The packet stream walker and the binary packet writer.
#ifndef CONVERT_PACKET_STREAM_H
#define CONVERT_PACKET_STREAM_H

#include <cstdint>

// Converts the packets on standard input until the end packet, then ends the
// run with status 0; malformed input ends it through fatal_error.
[[noreturn]] void convert_packets();

// Writes the next length bytes of input in lowercase hexadecimal,
// hex_line_bytes to a line.
void write_binary_packet(std::int32_t length);

constexpr int hex_line_bytes = 32;

#endif

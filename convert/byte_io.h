// The converter's only way in and out: buffered byte input and buffered
// output. Both read and write file descriptors by default; a harness can
// feed the input from memory and catch the output.
#ifndef CONVERT_BYTE_IO_H
#define CONVERT_BYTE_IO_H

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "cli/diagnostics.h"

// Input is read, and output written, at most this many bytes at a time.
constexpr std::size_t buffer_size = std::size_t{128} * 1024;

// What read_byte returns once the input is used up; no byte has this value.
constexpr int end_of_input = -1;

// The input read and not yet taken, and the free part of the output buffer:
// both from next up to end.
struct input_buffer {
	const unsigned char *next, *end;
};
struct output_buffer {
	char *next, *end;
};

extern input_buffer input;
extern output_buffer output;

// The slow paths of the inline routines below. refill_input reads more
// input and returns false at its end; drain_output writes out a full
// buffer, or ends the run with a write error.
bool refill_input();
void drain_output();

// Makes the descriptor fd the input, from where it stands, with nothing read
// ahead.
void read_from_fd(int fd);

// Reads the size bytes at data, then end of input.
void read_from_memory(const unsigned char *data, std::size_t size);

// Sends output to sink instead of where it went, which it returns; a sink
// returns false, with errno set, when it fails.
using output_sink = bool (*)(const char *data, std::size_t size);
output_sink write_to(output_sink sink);

// Writes out the buffered output but for its last keep bytes, which stay
// buffered. On failure all of it is dropped, errno tells why and the result
// is false.
bool flush_output(std::size_t keep = 0);

// Makes sure at least one byte is buffered; false at end of input, which
// stays once met.
inline bool fill_input()
{
	return input.next < input.end || refill_input();
}

// Returns the next byte, 0 to 255, or end_of_input.
inline int read_byte()
{
	return fill_input() ? *input.next++ : end_of_input;
}

// Passes the next length bytes of input to take(bytes, n), in pieces as they
// lie in the input buffer. If the input ends first, the packet is short:
// the run ends with fatal_error(message).
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

inline void write_byte(int c)
{
	if (output.next == output.end)
		drain_output();
	*output.next++ = static_cast<char>(c);
}

// The last output_history bytes written can be read back just before
// output.next, even after a flush, and taken back by moving output.next back
// over them: a full buffer is written out but for them. Before any byte is
// written they read as line feeds, as if the output began after a line end.
constexpr std::size_t output_history = 256;

// Makes room for n more bytes at output.next, writing out the buffer first
// if it has less, and returns output.next. A caller reserves at most
// output_room bytes at a time, which a drain always leaves free, and writes
// no more than it reserved.
constexpr std::size_t output_room = 4096;
static_assert(output_room <= buffer_size - output_history, "a drain must leave room for any reservation");
inline char *reserve_output(std::size_t n)
{
	if (static_cast<std::size_t>(output.end - output.next) < n)
		drain_output();
	return output.next;
}

#endif

// The converter's only way in and out: buffered byte input and buffered
// output. Both read and write file descriptors by default; a harness can
// feed the input from memory and catch the output.
#ifndef CONVERT_BYTE_IO_H
#define CONVERT_BYTE_IO_H

#include <cstddef>

// Input is read, and output written, at most this many bytes at a time.
constexpr std::size_t buffer_size = std::size_t{128} * 1024;

// What read_byte returns once the input is used up; no byte has this value.
constexpr int end_of_input = -1;

struct input_buffer {
	const unsigned char *next;
	const unsigned char *end;
};

struct output_buffer {
	char *next;
	char *end;
};

extern input_buffer input;
extern output_buffer output;

// Slow paths of the routines below: reading more input, false at end of
// input; writing out a full buffer.
bool refill_input();
void drain_output();

// Reads standard input from the descriptor fd.
void read_from_fd(int fd);

// Reads the size bytes at data, then end of input.
void read_from_memory(const unsigned char *data, std::size_t size);

// Sends output to sink instead of standard output; sink returns false, with
// errno set, when it fails.
using output_sink = bool (*)(const char *data, std::size_t size);
void write_to(output_sink sink);

// Writes out the buffered output. On failure the output is dropped, errno
// tells why and the result is false.
bool flush_output();

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

inline void write_byte(int c)
{
	if (output.next == output.end)
		drain_output();
	*output.next++ = static_cast<char>(c);
}

// The last bytes written stay readable before output.next, across flushes,
// this many of them; before the first byte there are line feeds.
constexpr std::size_t output_history = 128;

// Room for n more bytes of output at output.next; n is at most output_room.
constexpr std::size_t output_room = 4096;
inline char *reserve_output(std::size_t n)
{
	if (static_cast<std::size_t>(output.end - output.next) < n)
		drain_output();
	return output.next;
}

#endif

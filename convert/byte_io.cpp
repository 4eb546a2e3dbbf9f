// Buffered byte input and output over file descriptors or memory.
#include "convert/byte_io.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <unistd.h>

namespace {

// The output history, the buffer, and after it a guard that no write may
// reach: a flush that finds a byte of it written stops the program, whose
// reservations are then wrong, before the fault corrupts more.
constexpr std::size_t output_guard = 64;
constexpr char clean_guard[output_guard] = {};
unsigned char in_buffer[buffer_size];
char out_area[output_history + buffer_size + output_guard];
char *const out_buffer = out_area + output_history;
char *const guard = std::end(out_area) - output_guard;

// Before the first byte, the output history reads as line feeds.
void start_history() noexcept
{
	std::memset(out_area, '\n', output_history);
}
[[maybe_unused]] const bool history_started = (start_history(), true);

int in_fd = 0;
bool in_ended;

// Writes all of data to standard output, going on after a short or an
// interrupted write. A write that takes nothing would be tried for ever: it
// fails, as a device that reports no error of its own.
bool write_fd(const char *data, std::size_t size)
{
	while (size > 0) {
		ssize_t n = ::write(1, data, size);
		if (n < 0 && errno == EINTR)
			continue;
		if (n <= 0) {
			if (n == 0)
				errno = EIO;
			return false;
		}
		data += n;
		size -= static_cast<std::size_t>(n);
	}
	return true;
}

output_sink sink = write_fd;

} // namespace

input_buffer input = {in_buffer, in_buffer};
output_buffer output = {out_buffer, out_buffer + buffer_size};

void read_from_fd(int fd)
{
	in_fd = fd;
	in_ended = false;
	input.next = input.end = in_buffer;
}

void read_from_memory(const unsigned char *data, std::size_t size)
{
	in_ended = true;
	input.next = data;
	input.end = data + size;
}

bool refill_input()
{
	if (in_ended)
		return false;
	ssize_t n;
	do
		n = ::read(in_fd, in_buffer, buffer_size);
	while (n < 0 && errno == EINTR);
	if (n < 0)
		stream_error("read error");
	if (n == 0) {
		in_ended = true;
		return false;
	}
	input.next = in_buffer;
	input.end = in_buffer + n;
	return true;
}

output_sink write_to(output_sink s)
{
	output_sink was = sink;
	sink = s;
	output.next = out_buffer;
	start_history();
	return was;
}

bool flush_output(std::size_t keep)
{
	if (std::memcmp(guard, clean_guard, output_guard) != 0)
		std::abort();
	std::size_t size = static_cast<std::size_t>(output.next - out_buffer) - keep;
	bool written = size == 0 || sink(out_buffer, size);
	std::memmove(out_buffer + keep - output_history, output.next - output_history, output_history);
	output.next = written ? out_buffer + keep : out_buffer;
	return written;
}

void drain_output()
{
	if (!flush_output(output_history))
		stream_error("write error");
}

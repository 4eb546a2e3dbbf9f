// The program, its main renamed and its end of run wrapped, with the fault
// named by WRONG: byte changes the last byte of a write, status the exit
// status, head and tail the first and last character of its message, late
// writes a byte after a failed write, and past a byte past its room.
#include <string>

#include "cli/diagnostics.h"

run_ender program_end;
#define end_of_run program_end
#define main program_main
#include "cli/main.cpp"
#undef main
#undef end_of_run

namespace {

std::string fault;
output_sink program_sink;

bool changed_byte(const char *data, std::size_t size)
{
	std::string s(data, size);
	if (size > 0)
		s.back() = static_cast<char>(s.back() ^ 1);
	return program_sink(s.data(), size);
}

bool late_byte(const char *data, std::size_t size)
{
	if (program_sink(data, size))
		return true;
	int error = errno;
	program_sink("x", 1);
	errno = error;
	return false;
}

void changed_end(int status, const char *message)
{
	std::string m = message != nullptr ? message : "";
	if (fault == "status")
		status ^= 1;
	else if (!m.empty() && (fault == "head" || fault == "tail"))
		(fault == "head" ? m.front() : m.back()) ^= 1;
	program_end(status, message != nullptr ? m.c_str() : nullptr);
}

} // namespace

int main(int argc, char *argv[])
{
	fault = std::getenv("WRONG") != nullptr ? std::getenv("WRONG") : "";
	if (fault == "byte" || fault == "late")
		program_sink = write_to(fault == "byte" ? changed_byte : late_byte);
	end_of_run = changed_end;
	if (fault == "past") {
		output.next = output.end - output_room;
		std::memset(reserve_output(output_room), 'x', output_room + 1);
		output.next += output_room;
		flush_output();
	}
	return program_main(argc, argv);
}

// Diagnostics and the end of a run.
#include "cli/diagnostics.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "convert/byte_io.h"

const char *program_name = "segtoasc";

namespace {

// Writes out what is left of standard output before the message, so that a
// write that fails there is still reported. The C library may have met a
// failure already, flushing a line of the version or usage text; it leaves
// only the error flag behind. A run that already failed for another reason
// keeps its own message and status 1.
void exit_process(int status, const char *message)
{
	char text[128];

	bool written = flush_output();
	if (written && (std::ferror(stdout) != 0 || std::fclose(stdout) == EOF))
		written = false;
	if (!written && status != 1) {
		std::snprintf(text, sizeof text, "write error: %s",
		    std::strerror(errno));
		message = text;
		status = 1;
	}
	if (message != nullptr)
		std::fprintf(stderr, "%s: %s\n", program_name, message);
	std::exit(status);
}

[[noreturn]] void finish(int status, const char *message)
{
	end_of_run(status, message);
	std::abort();
}

} // namespace

run_ender end_of_run = exit_process;

void fatal_error(const char *message)
{
	finish(2, message);
}

void stream_error(const char *what)
{
	char text[128];

	std::snprintf(text, sizeof text, "%s: %s", what, std::strerror(errno));
	finish(1, text);
}

void end_run(int status)
{
	finish(status, nullptr);
}

// Diagnostics, and the one way a run ends.
#include "cli/diagnostics.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const char *program_name = "segtoasc";
run_ender end_of_run;

namespace {

[[noreturn]] void finish(int status, const char *message)
{
	end_of_run(status, message);
	std::abort();
}

} // namespace

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

// segtoasc: writes a segmented (binary) Type 1 font as PostScript program
// text on standard output.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/diagnostics.h"
#include "convert/byte_io.h"
#include "convert/packet_stream.h"
#include "version/version.h"

namespace {

constexpr int help_option = 128;

const option long_options[] = {
	{"help", no_argument, nullptr, help_option},
	{"version", no_argument, nullptr, 'v'},
	{nullptr, 0, nullptr, 0},
};

// Ends the run: writes out what is left of standard output, reports the
// message and exits. A write that fails there, or that the C library met
// before, writing the version or usage line, and noted only in its error
// flag, is reported as a write error with status 1 in place of the run's own
// message, unless the run already fails with status 1.
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

void print_usage(std::FILE *stream)
{
	std::fprintf(stream, "usage: %s [-v] [pfb_file]\n", program_name);
}

} // namespace

int main(int argc, char *argv[])
{
	end_of_run = exit_process;
	if (argc > 0)
		program_name = argv[0];

	// With POSIXLY_CORRECT set, the options end at the first operand. Most C
	// libraries' parsers read the variable themselves; musl's does not, but
	// every one stops there when asked with "+".
	const char *short_options = std::getenv("POSIXLY_CORRECT") != nullptr ? "+v" : "v";
	int ch;
	while ((ch = getopt_long(argc, argv, short_options, long_options, nullptr)) != -1) {
		switch (ch) {
		case 'v':
			std::printf("Velk segtoasc (tessel) version %s\n",
			    TESSEL_VERSION);
			end_run(0);
		case help_option:
			print_usage(stdout);
			end_run(0);
		case '?':
			print_usage(stderr);
			end_run(1);
		default:
			break;
		}
	}

	if (argc - optind > 1) {
		print_usage(stderr);
		end_run(1);
	}
	if (argc - optind == 1 && std::freopen(argv[optind], "r", stdin) == nullptr) {
		std::perror(argv[optind]);
		end_run(1);
	}
#ifdef _WIN32
	if (!isatty(fileno(stdin)))
		_setmode(fileno(stdin), _O_BINARY);
#endif
	read_from_fd(fileno(stdin));
	convert_packets();
}

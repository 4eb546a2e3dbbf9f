// libFuzzer target: runs the whole conversion on the fuzzer's bytes, from
// memory, through the same code as the program, and requires the output,
// the status and the message of the byte-at-a-time model.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cli/diagnostics.h"
#include "convert/byte_io.h"
#include "convert/packet_stream.h"
#include "tests/model.h"

namespace {

std::string captured;

struct run_ended {
	int status;
	std::string message;
};

bool capture(const char *data, std::size_t size)
{
	captured.append(data, size);
	return true;
}

// Ends one conversion instead of the process.
void end_conversion(int status, const char *message)
{
	if (!flush_output())
		std::abort();
	throw run_ended{status, message != nullptr ? message : ""};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	end_of_run = end_conversion;
	captured.clear();
	write_to(capture);
	read_from_memory(data, size);
	run_ended got{-1, ""};
	try {
		convert_packets();
	} catch (const run_ended &e) {
		got = e;
	}
	model_result want = model_convert(data, size);
	if (got.status != want.status || got.message != want.message || captured != want.out)
		__builtin_trap();
	return 0;
}

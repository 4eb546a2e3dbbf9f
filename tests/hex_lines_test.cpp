// Every line writer, not just the one this processor picks, against the
// digits of a plain printf on every byte value and on random lines.
#include <cstdio>
#include <random>
#include <string>

#include "convert/hex_lines.h"

namespace {

int passed, failed;

void check(const char *name, line_writer writer, const std::string &in)
{
	std::size_t lines = in.size() / hex_line_bytes;
	std::string want, got(lines * hex_line_size, '?');
	for (std::size_t i = 0; i < lines * hex_line_bytes; i++) {
		if (i % hex_line_bytes == 0)
			want += '\n';
		char pair[3];
		std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(in[i]));
		want += pair;
	}
	writer(&got[0], reinterpret_cast<const unsigned char *>(in.data()), lines);
	if (got == want) {
		passed++;
	} else {
		failed++;
		std::printf("FAIL: %s writes other digits than printf for %zu lines\n", name, lines);
	}
}

} // namespace

int main()
{
	std::string every;
	for (int i = 0; i < 256; i++)
		every += static_cast<char>(i);
	std::mt19937 rng(7);
	std::string random(hex_line_bytes * 1000, '\0');
	for (char &c : random)
		c = static_cast<char>(rng());

	struct {
		const char *name;
		line_writer writer;
		bool runs;
	} writers[] = {
		{"write_lines", write_lines, true},
#if HAVE_WRITE_LINES_AVX2
		{"write_lines_avx2", write_lines_avx2, __builtin_cpu_supports("avx2") != 0},
#endif
	};
	for (const auto &w : writers) {
		if (!w.runs) {
			std::printf("skipped %s: this processor lacks it\n", w.name);
			continue;
		}
		check(w.name, w.writer, every);
		check(w.name, w.writer, random);
		check(w.name, w.writer, random.substr(0, hex_line_bytes));
	}
	std::printf("%d passed, %d failed\n", passed, failed);
	return failed == 0 ? 0 : 1;
}

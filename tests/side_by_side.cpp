// Every routine written for one processor beside the plain one, whichever
// this processor would pick: the hex line writers against the digits of a
// plain printf, and the text run copiers against the plain copier.
#include <cstdio>
#include <random>
#include <string>

#include "convert/hex_lines.h"
#include "convert/text_packet.h"

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

#if HAVE_COPY_RUN_AVX2
// Runs of letters with up to four bytes that matter to some kind of run,
// many placed around the ends of the first two blocks, from columns around
// the limit and an escape's reach; cut anywhere, with more bytes readable
// or with none past the run, so that blocks run past the end of the run and
// past the readable bytes, and fewer than a block can be readable.
void check_runs(const char *name, run_copier (*copier)(const run_rules &))
{
	static const char special[] = "\n\r\\()% \t\f";
	static const int near_edges[] = {run_block - 2, run_block - 1, run_block, run_block + 1,
	    2 * run_block - 2, 2 * run_block - 1, 2 * run_block, 2 * run_block + 1};
	std::mt19937 rng(11);
	int differ = 0;
	for (int kind = 0; kind < run_kinds; kind++) {
		const run_rules &rules = text_runs[kind];
		for (int trial = 0; trial < 100000; trial++) {
			std::string in(1 + rng() % (5 * run_block / 2), 'a');
			for (int i = static_cast<int>(rng() % 5); i > 0; i--) {
				std::size_t at = rng() % 2 ? near_edges[rng() % 8] : rng();
				in[at % in.size()] = special[rng() % (sizeof special - 1)];
			}
			std::size_t readable = in.size(), n = 1 + rng() % readable;
			if (rng() % 2)
				readable = n;
			int from = static_cast<int>(rng() % 2 ? rng() % (column_limit + 1) : column_limit - rng() % 12);
			if (trial == 0) { // the first of two backslashes across a block's end escapes the second
				in = std::string(run_block - 1, 'a') + "\\\\(a";
				n = readable = in.size();
				from = 0;
			}
			std::string want(n + run_slack, '?'), got(want);
			int want_column = from, got_column = from;
			auto bytes = reinterpret_cast<const unsigned char *>(in.data());
			std::size_t want_n = copy_run_plain(&want[0], bytes, n, readable, rules, want_column);
			std::size_t got_n = copier(rules)(&got[0], bytes, n, readable, rules, got_column);
			if (got_n != want_n || got_column != want_column
			    || got.compare(0, got_n, want, 0, want_n) != 0) {
				if (differ++ < 3)
					std::printf("FAIL: %s, run kind %d, column %d: \"%s\" cut at %zu of %zu"
						    " readable: %zu bytes to column %d, the plain copier %zu to %d\n",
					    name, kind, from, in.c_str(), n, readable, got_n, got_column,
					    want_n, want_column);
			}
		}
	}
	(differ == 0 ? passed : failed)++;
}
#endif

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
#if HAVE_COPY_RUN_AVX2
	if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi"))
		check_runs("the AVX2 run copier", avx2_run_copier);
	else
		std::printf("skipped the AVX2 run copier: this processor lacks it\n");
#endif
	std::printf("%d passed, %d failed\n", passed, failed);
	return failed == 0 ? 0 : 1;
}

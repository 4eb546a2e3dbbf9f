// Runs of text bytes that the reflow copies as they stand, found by the
// fastest routine the processor can run.
#ifndef CONVERT_TEXT_RUNS_H
#define CONVERT_TEXT_RUNS_H

#include <cstddef>

// The bytes that end a run, in the two forms the routines look bytes up in:
// a table, and the groups of each half of a byte, where a byte is in the
// set when its low half and its high half have a group in common.
struct byte_set {
	bool has[256];
	unsigned char low[16], high[16];
	int groups;

	// Bytes with the same high half share a group.
	constexpr void add(int c)
	{
		if (high[c >> 4] == 0)
			high[c >> 4] = static_cast<unsigned char>(1u << groups++);
		low[c & 15] |= high[c >> 4];
		has[c] = true;
	}
};

// Copies the bytes at in to out up to the first in stops, at most n of
// them, and returns how many. Their column is counted on from column: an LF
// sets it to 1, and any other byte adds 1, but the run ends before a byte
// that the column has reached limit for; limit is more than 64. It may read
// up to readable bytes at in (at least n) and write up to n + run_slack
// bytes at out.
constexpr std::size_t run_slack = 63;
using run_copier = std::size_t (*)(char *out, const unsigned char *in,
    std::size_t n, std::size_t readable, const byte_set &stops, int &column,
    int limit);

std::size_t copy_run_plain(char *out, const unsigned char *in, std::size_t n,
    std::size_t readable, const byte_set &stops, int &column, int limit);
#if defined(__GNUC__) && defined(__x86_64__) && !defined(SEGTOASC_NO_SIMD)
#define HAVE_COPY_RUN_AVX2 1
std::size_t copy_run_avx2(char *out, const unsigned char *in, std::size_t n,
    std::size_t readable, const byte_set &stops, int &column, int limit);
#endif

// The fastest of the above that this processor runs.
run_copier pick_run_copier();

#endif

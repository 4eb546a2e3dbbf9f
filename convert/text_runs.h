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

// What a run may copy where the reflow stands. It ends before a byte in
// ends, and before a byte other than LF that the column has reached limit
// for: an LF sets the column to 1, any other byte adds 1. Where escape is a
// byte, it and the byte after it are copied together, and that byte never
// ends the run unless it is a CR, which is still a line end; but the run
// ends before an escape that may take reach bytes up to the limit, or whose
// second byte lies past the run. The limit is more than 64 + reach.
struct run_rules {
	const byte_set *ends;
	int limit;
	int escape; // -1 for none
	int reach;
};

// Copies the bytes at in to out up to the first the rules end the run at,
// at most n of them, counts their column on from column, and returns how
// many. It may read up to readable bytes at in (at least n) and write up to
// n + run_slack bytes at out.
constexpr std::size_t run_slack = 63;
using run_copier = std::size_t (*)(char *out, const unsigned char *in,
    std::size_t n, std::size_t readable, const run_rules &rules, int &column);

std::size_t copy_run_plain(char *out, const unsigned char *in, std::size_t n,
    std::size_t readable, const run_rules &rules, int &column);

// The fastest routine for runs under the rules that this processor runs:
// the above, or, on x86-64 processors that have it, one with AVX2.
run_copier pick_run_copier(const run_rules &rules);

#endif

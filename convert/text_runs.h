// Runs of text bytes that the reflow copies as they stand, found by the
// fastest routine the processor can run.
#ifndef CONVERT_TEXT_RUNS_H
#define CONVERT_TEXT_RUNS_H

#include <cstddef>

// The bytes that end a run, below 0x80, as a table of all bytes, and as
// tables by the low four bits that hold one byte each, or 0x80 for none: a
// byte is in the set when one of these gives the byte itself.
struct byte_set {
	bool has[256];
	unsigned char by_low[2][16];
	int tables;

	constexpr byte_set() : has(), by_low(), tables(0)
	{
		for (auto &table : by_low)
			for (unsigned char &c : table)
				c = 0x80;
	}

	// A set that needs a third table does not compile.
	constexpr void add(int c)
	{
		int t = 0;
		while (by_low[t][c & 15] != 0x80)
			t++;
		by_low[t][c & 15] = static_cast<unsigned char>(c);
		tables = t + 1 > tables ? t + 1 : tables;
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
	byte_set ends;
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

// The fastest routine for runs under the rules that this processor runs: a
// byte at a time, or, on x86-64 processors that have it, with AVX2.
run_copier pick_run_copier(const run_rules &rules);

#endif

// Runs of text bytes that the reflow copies as they stand, found by the
// fastest routine the processor can run.
#ifndef CONVERT_TEXT_RUNS_H
#define CONVERT_TEXT_RUNS_H

#include <cstddef>

// Not constexpr: a call stops the compilation of a byte set, and its name
// says why.
inline void stop_byte_not_below_0x80() {}
inline void stop_set_needs_a_third_table() {}

// The bytes that end a run, below 0x80: a table of all bytes, which also
// marks an LF not in the set, and two tables by the low four bits, where a
// byte is in the set when one gives it back.
struct byte_set {
	unsigned char has[256]; // 1 in the set, 2 an LF not in it
	unsigned char by_low[32]; // 0x80 for none

	constexpr byte_set() : has(), by_low()
	{
		has[static_cast<int>('\n')] = 2;
		for (int i = 0; i < 32; i++)
			by_low[i] = 0x80;
	}

	constexpr void add(int c)
	{
		if (c < 0 || c >= 0x80)
			stop_byte_not_below_0x80();
		int t = by_low[c & 15] == 0x80 ? 0 : 1;
		if (by_low[16 * t + (c & 15)] != 0x80)
			stop_set_needs_a_third_table();
		by_low[16 * t + (c & 15)] = static_cast<unsigned char>(c);
		has[c] = 1;
	}
};

// Runs are found a block of this many bytes at a time.
constexpr int run_block = 64;

// What a run may copy where the reflow stands. It ends before a byte in
// ends, and before a byte other than LF that the column has reached limit
// for: an LF sets the column to 1, any other byte adds 1. Where escape is a
// byte, it and the byte after it are copied together, and that byte never
// ends the run unless it is a CR; but the run ends before an escape that may
// take reach bytes up to the limit, or whose second byte lies past the run.
// The limit is more than a block and reach.
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

// The routines for runs under the rules: a byte at a time, and, on x86-64
// processors that have it, 64 bytes at a time with AVX2.
std::size_t copy_run_plain(char *out, const unsigned char *in, std::size_t n,
    std::size_t readable, const run_rules &rules, int &column);
#if defined(__GNUC__) && defined(__x86_64__) && !defined(SEGTOASC_NO_SIMD)
#define HAVE_COPY_RUN_AVX2 1
run_copier avx2_run_copier(const run_rules &rules);
#endif

// The fastest of them that this processor runs.
run_copier pick_run_copier(const run_rules &rules);

#endif

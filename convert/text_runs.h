// Runs of text bytes that the reflow copies as they stand, found by the
// fastest routine the processor can run.
#ifndef CONVERT_TEXT_RUNS_H
#define CONVERT_TEXT_RUNS_H

#include <cstddef>

// Called where a byte set cannot be built. They are not constexpr, so a
// call while the compiler builds a set stops the build, naming the reason.
inline void stop_byte_not_below_0x80() {}
inline void stop_set_needs_a_third_table() {}

// A set of bytes below 0x80 that end a run, kept two ways. For the plain
// copier, has[c] is 1 for a byte in the set and 2 for an LF that is not.
// For a vector unit, by_low is two tables of 16 entries: a byte c is in the
// set when either holds c at index c & 15. An empty entry holds 0x80, which
// no byte below 0x80 equals, so a lookup must match no byte from 0x80 up:
// x86's shuffle gives 0 for those, but a lookup by c & 15 alone would match
// the byte 0x80 with an empty entry, and must mask such bytes out.
struct byte_set {
	unsigned char has[256];
	unsigned char by_low[32];

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

// What a run may copy where the reflow stands. A run ends before a byte in
// ends, and before any byte but an LF once the column has reached limit; an
// LF sets the column to 1, every other byte adds 1. If escape is a byte (a
// backslash in a string), it is copied together with the byte after it,
// which ends no run unless it is a CR: an escaped CR is still a line end,
// and the LF after it part of it, which only the reflow's step can tell. But
// a run ends before an escape that could reach the limit within reach
// bytes, or whose second byte is not in the run. limit must exceed
// run_block + reach.
struct run_rules {
	byte_set ends;
	int limit;
	int escape; // -1 for none
	int reach;
};

// Copies bytes from in to out until the rules end the run, at most n of
// them, and returns how many it copied, with column counted on over them.
// It may read up to readable bytes at in (readable is at least n), and write
// up to n + run_slack bytes at out: a copier of blocks writes its last block
// whole.
constexpr std::size_t run_slack = 63;
static_assert(run_slack >= run_block - 1, "a run's last block is written whole");
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

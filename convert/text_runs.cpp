// Runs of text bytes: a byte at a time, and, on x86-64 processors that have
// it, 64 bytes at a time with AVX2.
#include "convert/text_runs.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#if HAVE_COPY_RUN_AVX2
#include <immintrin.h>
#endif

// Eight bytes at a time while none of them is in the stop set, then byte by
// byte up to a stop byte or the limit. An LF or a whole escape found there
// is copied, and the run goes on.
std::size_t copy_run_plain(char *out, const unsigned char *in, std::size_t n,
    std::size_t /*readable*/, const run_rules &rules, int &column)
{
	for (std::size_t k = 0;;) {
		std::size_t from = k, end = std::min(n, k + static_cast<std::size_t>(rules.limit - column));
		for (unsigned looks = 0; k + 8 <= end; k += 8) {
			for (int i = 0; i < 8; i++)
				looks |= rules.ends.has[in[k + i]];
			if (looks != 0)
				break;
			std::memcpy(out + k, in + k, 8);
		}
		for (; k < end && rules.ends.has[in[k]] == 0; k++)
			out[k] = static_cast<char>(in[k]);
		column += static_cast<int>(k - from);
		if (k < n && rules.ends.has[in[k]] == 2) {
			out[k++] = '\n';
			column = 1;
		} else if (k + 1 < n && in[k] == rules.escape && column + rules.reach <= rules.limit) {
			out[k++] = static_cast<char>(rules.escape);
			column++;
			if (in[k] != '\r') { // an escaped CR is left to the next round's stop
				out[k] = static_cast<char>(in[k]);
				column = in[k++] == '\n' ? 1 : column + 1;
			}
		} else {
			return k;
		}
	}
}

namespace {

// What the copiers of every vector unit share, built where there is one.
#if HAVE_COPY_RUN_AVX2

// A block of run_block bytes as masks, bit i for byte i: the bytes in the
// stop set, the LFs, the escape bytes and the CRs. A vector unit's routine
// makes these; what a run makes of them is the same for all.
struct block_bits {
	std::uint64_t ends, lfs, escapes, crs;
};

// The column after the first count bytes of a block: counted from the last
// LF among them, or on from column, the column before the block.
inline int column_after(int count, std::uint64_t lfs, int column)
{
	lfs &= count < run_block ? (std::uint64_t{1} << count) - 1 : ~std::uint64_t{0};
	return lfs != 0 ? count - (63 - __builtin_clzll(lfs)) : column + count;
}

// The bytes escaped by the escape bytes of a block. An escape byte that is
// not escaped itself escapes the byte after it, so in a run of them the
// first escapes the second, the third the fourth, and so on: the bytes a
// run escapes lie at odd places if it starts at an even one, and at even
// places if it starts at an odd one. Adding to the escape bytes the first
// byte of each run that starts at an odd place turns such a run into the
// one bit past its end that the carry leaves; then one mask of the even
// places picks the escaped bytes of both kinds of run at once, as simdjson
// finds escaped quotes. carried is 1 when the last byte of the block before
// escapes this block's first byte, and is set so for the next block.
inline std::uint64_t escaped_by(std::uint64_t escapes, std::uint64_t &carried)
{
	constexpr std::uint64_t even = 0x5555555555555555;
	escapes &= ~carried;
	std::uint64_t follows = escapes << 1 | carried;
	std::uint64_t sum;
	carried = __builtin_add_overflow(escapes & ~even & ~follows, escapes, &sum) ? 1 : 0;
	return (even ^ sum << 1) & follows;
}

// The bytes of a block that the run ends before, as a mask; the run has
// run_rest bytes from the block's start on. They are the stop bytes, but
// not an escape's second byte unless it is a CR; an escape that could reach
// the limit, or whose second byte is past the run; the byte at which the
// block's first line reaches the limit (a line that starts after an LF in
// the block cannot reach it there, as the limit exceeds a block); and the
// bytes past the run.
template <bool escapes>
inline std::uint64_t stops(const block_bits &b, std::size_t run_rest, const run_rules &rules,
    int column, std::uint64_t &carried)
{
	std::uint64_t ends = b.ends;
	if (escapes && (b.escapes != 0 || carried != 0)) {
		std::uint64_t escaped = escaped_by(b.escapes, carried);
		std::uint64_t starts = b.escapes & ~escaped;
		ends &= ~starts & ~(escaped & ~b.crs);
		int near = rules.limit - column - rules.reach + 1;
		std::uint64_t too_near = (near < run_block ? ~std::uint64_t{0} << (near > 0 ? near : 0) : 0)
		    & ((b.lfs & -b.lfs) - 1); // on the first line
		if (run_rest <= run_block)
			too_near |= std::uint64_t{1} << (run_rest - 1);
		ends |= starts & too_near;
	}
	auto room = static_cast<std::uint64_t>(rules.limit - column);
	if (room < run_block && b.lfs << (63 - room) == 0)
		ends |= std::uint64_t{1} << room;
	if (run_rest < run_block)
		ends |= ~std::uint64_t{0} << run_rest;
	return ends;
}

// A block that would be read past the readable bytes is read from a copy
// here instead: those bytes, then whatever an earlier copy left, which lies
// past the run, where stops ends it. Not on the stack, where every run
// would pay for a stack protector check.
unsigned char last[run_block];

// A run a block at a time: look copies a block to the output and gives its
// masks, and the run ends at the first byte that stops marks.
template <bool escapes, typename Look>
inline std::size_t copy_blocks(const Look &look, char *out, const unsigned char *in,
    std::size_t n, std::size_t readable, const run_rules &rules, int &column_io)
{
	int column = column_io;
	std::uint64_t carried = 0;
	for (std::size_t k = 0; k < n; k += run_block) {
		const unsigned char *block = in + k;
		if (readable - k < run_block) {
			std::memcpy(last, block, readable - k);
			block = last;
		}
		block_bits b = look(block, out + k);
		std::uint64_t ends = stops<escapes>(b, n - k, rules, column, carried);
		int stop = ends != 0 ? __builtin_ctzll(ends) : run_block;
		column = column_after(stop, b.lfs, column);
		if (ends != 0) {
			column_io = column;
			return k + stop;
		}
	}
	column_io = column;
	return n;
}

// The bytes of a block, a and b, equal to those of x and y, as bits.
__attribute__((target("avx2"))) std::uint64_t equal(__m256i a, __m256i b, __m256i x, __m256i y)
{
	return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, x)))
	    | std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(b, y)))} << 32;
}

// The bits of a block with AVX2. A byte set's table is looked up by a
// shuffle, which takes the low four bits of a byte below 0x80 and gives 0
// for the others.
struct look_avx2 {
	__m256i first, second, lf, cr, escape;
	bool two; // whether the second table has any entry

	__attribute__((target("avx2"))) explicit look_avx2(const run_rules &rules)
	{
		__m256i tables = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(rules.ends.by_low));
		first = _mm256_permute2x128_si256(tables, tables, 0x00);
		second = _mm256_permute2x128_si256(tables, tables, 0x11);
		lf = _mm256_set1_epi8('\n');
		cr = _mm256_set1_epi8('\r');
		escape = _mm256_set1_epi8(static_cast<char>(rules.escape));
		two = _mm256_movemask_epi8(second) != -1;
	}

	__attribute__((target("avx2"))) block_bits operator()(const unsigned char *in, char *out) const
	{
		__m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(in));
		__m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(in + 32));
		_mm256_storeu_si256(reinterpret_cast<__m256i *>(out), a);
		_mm256_storeu_si256(reinterpret_cast<__m256i *>(out + 32), b);
		std::uint64_t ends = equal(a, b, _mm256_shuffle_epi8(first, a), _mm256_shuffle_epi8(first, b));
		if (two)
			ends |= equal(a, b, _mm256_shuffle_epi8(second, a), _mm256_shuffle_epi8(second, b));
		return {ends, equal(a, b, lf, lf), equal(a, b, escape, escape), equal(a, b, cr, cr)};
	}
};

// The AVX2 run copier: everything inlined into one routine compiled for
// AVX2, with an instance of its own for runs that copy escapes.
template <bool escapes>
__attribute__((target("avx2,bmi"), flatten)) std::size_t copy_run_avx2(char *out,
    const unsigned char *in, std::size_t n, std::size_t readable,
    const run_rules &rules, int &column)
{
	return copy_blocks<escapes>(look_avx2(rules), out, in, n, readable, rules, column);
}
#endif

} // namespace

#if HAVE_COPY_RUN_AVX2
run_copier avx2_run_copier(const run_rules &rules)
{
	return rules.escape >= 0 ? copy_run_avx2<true> : copy_run_avx2<false>;
}
#endif

run_copier pick_run_copier([[maybe_unused]] const run_rules &rules)
{
#if HAVE_COPY_RUN_AVX2
	if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi"))
		return avx2_run_copier(rules);
#endif
	return copy_run_plain;
}

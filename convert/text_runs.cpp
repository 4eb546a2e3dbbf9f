// Runs of text bytes: a byte at a time, and, on x86-64 processors that have
// it, 64 bytes at a time with AVX2.
#include "convert/text_runs.h"

#include <cstdint>
#include <cstring>
#if defined(__GNUC__) && defined(__x86_64__) && !defined(SEGTOASC_NO_SIMD)
#define HAVE_COPY_RUN_AVX2 1
#include <immintrin.h>
#endif

namespace {

std::size_t copy_run_plain(char *out, const unsigned char *in, std::size_t n,
    std::size_t /*readable*/, const run_rules &rules, int &column)
{
	bool escaped = false; // in[k] is the second byte of an escape
	std::size_t k = 0;
	for (; k < n; k++) {
		int c = in[k];
		if (escaped ? c == '\r'
			    : rules.ends.has[c]
			&& !(c == rules.escape && k + 1 < n && column + rules.reach <= rules.limit))
			break;
		escaped = !escaped && c == rules.escape;
		if (c == '\n')
			column = 0;
		else if (column >= rules.limit)
			break;
		column++;
		out[k] = static_cast<char>(c);
	}
	return k;
}

#if HAVE_COPY_RUN_AVX2

// The bytes of a block, a and b, equal to those of x and y, as bits.
__attribute__((target("avx2"))) std::uint64_t equal(__m256i a, __m256i b, __m256i x, __m256i y)
{
	return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, x)))
	    | std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(b, y)))} << 32;
}

// The same for a byte, and, with a table of a byte set, for the bytes in the
// set: the shuffle takes the low four bits of a byte below 0x80, and gives
// 0 for the others.
__attribute__((target("avx2"))) std::uint64_t equal(__m256i a, __m256i b, char c)
{
	return equal(a, b, _mm256_set1_epi8(c), _mm256_set1_epi8(c));
}

__attribute__((target("avx2"))) std::uint64_t in_set(__m256i a, __m256i b, __m256i table)
{
	return equal(a, b, _mm256_shuffle_epi8(table, a), _mm256_shuffle_epi8(table, b));
}

// The bytes that the escape bytes escape: each one that is not escaped
// itself escapes the next. A run of them is told odd from even by the carry
// of an addition, as simdjson finds escaped quotes. carried says that the
// first byte is escaped, and is left saying whether the next block's is.
std::uint64_t escaped_by(std::uint64_t escapes, std::uint64_t &carried)
{
	constexpr std::uint64_t even = 0x5555555555555555;
	escapes &= ~carried;
	std::uint64_t follows = escapes << 1 | carried;
	std::uint64_t sum;
	carried = __builtin_add_overflow(escapes & ~even & ~follows, escapes, &sum);
	return (even ^ sum << 1) & follows;
}

// The last block of the readable bytes, padded with NULs: kept here, not on
// the stack, where it would cost every run a stack protector check.
unsigned char last[64];

// Each block of 64 bytes is copied whole, and the run ends at the first byte
// the rules end it at, or at n. The lines after an LF in a block are too
// short to reach the limit, so only the first is measured. Runs with escapes
// and runs without have a routine of their own.
template <bool escapes>
__attribute__((target("avx2,bmi"))) std::size_t copy_run_avx2(char *out,
    const unsigned char *in, std::size_t n, std::size_t readable,
    const run_rules &rules, int &column_io)
{
	__m256i tables[2];
	for (int t = 0; t < 2; t++)
		tables[t] = _mm256_broadcastsi128_si256(
		    _mm_loadu_si128(reinterpret_cast<const __m128i *>(rules.ends.by_low[t])));
	const bool two = rules.ends.tables > 1;
	const int limit = rules.limit, escape = rules.escape, reach = rules.reach;
	int column = column_io;
	std::uint64_t carried = 0;
	for (std::size_t k = 0; k < n; k += 64) {
		const unsigned char *block = in + k;
		if (readable - k < 64) {
			std::memset(last, 0, sizeof last);
			std::memcpy(last, block, readable - k);
			block = last;
		}
		__m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(block));
		__m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(block + 32));
		_mm256_storeu_si256(reinterpret_cast<__m256i *>(out + k), a);
		_mm256_storeu_si256(reinterpret_cast<__m256i *>(out + k + 32), b);
		std::uint64_t ends = in_set(a, b, tables[0]) | (two ? in_set(a, b, tables[1]) : 0);
		std::uint64_t lfs = equal(a, b, '\n');
		std::size_t left = n - k;
		std::uint64_t escaping = escapes ? equal(a, b, static_cast<char>(escape)) : 0;
		if (escaping != 0 || carried != 0) {
			std::uint64_t escaped = escaped_by(escaping, carried);
			std::uint64_t starts = escaping & ~escaped;
			ends &= ~starts & ~(escaped & ~equal(a, b, '\r'));
			int near = limit - column - reach + 1;
			std::uint64_t too_near = near < 64 ? ~std::uint64_t{0} << (near > 0 ? near : 0) : 0;
			too_near &= (lfs & -lfs) - 1; // the first line
			if (left <= 64)
				too_near |= std::uint64_t{1} << (left - 1);
			ends |= starts & too_near;
		}
		auto room = static_cast<std::uint64_t>(limit - column);
		if (room < _tzcnt_u64(lfs))
			ends |= std::uint64_t{1} << room;
		if (left < 64)
			ends |= ~std::uint64_t{0} << left;
		if (ends != 0) {
			std::uint64_t stop = _tzcnt_u64(ends);
			lfs &= (std::uint64_t{1} << stop) - 1;
			column_io = lfs != 0 ? static_cast<int>(stop) - (63 - __builtin_clzll(lfs))
					     : column + static_cast<int>(stop);
			return k + stop;
		}
		column = lfs != 0 ? __builtin_clzll(lfs) + 1 : column + 64;
	}
	column_io = column;
	return n;
}
#endif

} // namespace

run_copier pick_run_copier([[maybe_unused]] const run_rules &rules)
{
#if HAVE_COPY_RUN_AVX2
	if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi"))
		return rules.escape >= 0 ? copy_run_avx2<true> : copy_run_avx2<false>;
#endif
	return copy_run_plain;
}

// Runs of text bytes: a byte at a time, and, on x86-64 processors that have
// it, 64 bytes at a time with AVX2.
#include "convert/text_runs.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#if defined(__GNUC__) && defined(__x86_64__) && !defined(SEGTOASC_NO_SIMD)
#define HAVE_COPY_RUN_AVX2 1
#include <immintrin.h>
#endif

namespace {

// Bytes are copied up to the next one that needs a look, or to the limit.
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
			if (in[k] != '\r') { // which the next round stops at
				out[k] = static_cast<char>(in[k]);
				column = in[k++] == '\n' ? 1 : column + 1;
			}
		} else {
			return k;
		}
	}
}

#if HAVE_COPY_RUN_AVX2

// The bytes of a block, a and b, equal to those of x and y, as bits.
__attribute__((target("avx2"))) std::uint64_t equal(__m256i a, __m256i b, __m256i x, __m256i y)
{
	return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, x)))
	    | std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(b, y)))} << 32;
}

// The same with a table of a byte set, for the bytes in the set: the shuffle
// takes the low four bits of a byte below 0x80, and gives 0 for the others.
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
	carried = __builtin_add_overflow(escapes & ~even & ~follows, escapes, &sum) ? 1 : 0;
	return (even ^ sum << 1) & follows;
}

// The last block of the readable bytes, and past them bytes past the run:
// not on the stack, where every run would pay for a stack protector check.
unsigned char last[64];

// Each block of 64 bytes is copied whole; the run ends at the first byte the
// rules end it at. Lines after an LF in a block are too short to reach the
// limit: only the first is measured. Escapes get a routine of their own.
template <bool escapes>
__attribute__((target("avx2,bmi"))) std::size_t copy_run_avx2(char *out,
    const unsigned char *in, std::size_t n, std::size_t readable,
    const run_rules &rules, int &column_io)
{
	const __m256i tables = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(rules.ends.by_low));
	const __m256i first = _mm256_permute2x128_si256(tables, tables, 0x00);
	const __m256i second = _mm256_permute2x128_si256(tables, tables, 0x11);
	const __m256i lf = _mm256_set1_epi8('\n'), cr = _mm256_set1_epi8('\r');
	const __m256i escape_byte = _mm256_set1_epi8(static_cast<char>(rules.escape));
	const bool two = _mm256_movemask_epi8(second) != -1; // not all 0x80
	const int limit = rules.limit, reach = rules.reach;
	int column = column_io;
	std::uint64_t carried = 0;
	for (std::size_t k = 0; k < n; k += 64) {
		const unsigned char *block = in + k;
		if (readable - k < 64) {
			std::memcpy(last, block, readable - k);
			block = last;
		}
		__m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(block));
		__m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(block + 32));
		_mm256_storeu_si256(reinterpret_cast<__m256i *>(out + k), a);
		_mm256_storeu_si256(reinterpret_cast<__m256i *>(out + k + 32), b);
		std::uint64_t ends = in_set(a, b, first) | (two ? in_set(a, b, second) : 0);
		std::uint64_t lfs = equal(a, b, lf, lf);
		std::size_t left = n - k;
		std::uint64_t escaping = escapes ? equal(a, b, escape_byte, escape_byte) : 0;
		if (escaping != 0 || carried != 0) {
			std::uint64_t escaped = escaped_by(escaping, carried);
			std::uint64_t starts = escaping & ~escaped;
			ends &= ~starts & ~(escaped & ~equal(a, b, cr, cr));
			int near = limit - column - reach + 1;
			std::uint64_t too_near = (near < 64 ? ~std::uint64_t{0} << (near > 0 ? near : 0) : 0)
			    & ((lfs & -lfs) - 1); // on the first line
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

// Runs of text bytes: a byte at a time through a table, and, on x86-64
// processors that have it, 32 bytes at a time with AVX2.
#include "convert/text_runs.h"

#include <cstdint>
#if HAVE_COPY_RUN_AVX2
#include <immintrin.h>
#endif

std::size_t copy_run_plain(char *out, const unsigned char *in, std::size_t n,
    std::size_t /*readable*/, const byte_set &stops, int &column, int limit)
{
	std::size_t k = 0;
	for (; k < n && !stops.has[in[k]]; k++) {
		if (in[k] == '\n')
			column = 0;
		else if (column >= limit)
			break;
		column++;
		out[k] = static_cast<char>(in[k]);
	}
	return k;
}

#if HAVE_COPY_RUN_AVX2
namespace {

// The bytes of a block of 32 in the set, and the LFs among them, as bits.
__attribute__((target("avx2"))) inline void find(const __m256i &v,
    const __m256i &low, const __m256i &high, std::uint32_t &in_set,
    std::uint32_t &lfs)
{
	const __m256i half = _mm256_set1_epi8(0x0f);
	__m256i groups = _mm256_and_si256(_mm256_shuffle_epi8(low, _mm256_and_si256(v, half)),
	    _mm256_shuffle_epi8(high, _mm256_and_si256(_mm256_srli_epi16(v, 4), half)));
	in_set = ~static_cast<std::uint32_t>(
	    _mm256_movemask_epi8(_mm256_cmpeq_epi8(groups, _mm256_setzero_si256())));
	lfs = static_cast<std::uint32_t>(
	    _mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('\n'))));
}

} // namespace

// Each block of 64 bytes is copied whole, and the run ends at its first byte
// in the set, at the byte where its first line reaches the limit, or at n,
// whichever comes first. The lines after an LF in a block are shorter than
// the limit.
__attribute__((target("avx2,bmi"))) std::size_t copy_run_avx2(char *out,
    const unsigned char *in, std::size_t n, std::size_t readable,
    const byte_set &stops, int &column_io, int limit)
{
	const __m256i low = _mm256_broadcastsi128_si256(
	    _mm_loadu_si128(reinterpret_cast<const __m128i *>(stops.low)));
	const __m256i high = _mm256_broadcastsi128_si256(
	    _mm_loadu_si128(reinterpret_cast<const __m128i *>(stops.high)));
	int column = column_io;
	std::size_t k = 0;
	for (; k < n && k + 64 <= readable; k += 64) {
		__m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(in + k));
		__m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(in + k + 32));
		_mm256_storeu_si256(reinterpret_cast<__m256i *>(out + k), a);
		_mm256_storeu_si256(reinterpret_cast<__m256i *>(out + k + 32), b);
		std::uint32_t ends_a, ends_b, lfs_a, lfs_b;
		find(a, low, high, ends_a, lfs_a);
		find(b, low, high, ends_b, lfs_b);
		std::uint64_t ends = std::uint64_t{ends_b} << 32 | ends_a;
		std::uint64_t lfs = std::uint64_t{lfs_b} << 32 | lfs_a;
		auto room = static_cast<std::uint64_t>(limit - column);
		if (room < _tzcnt_u64(lfs))
			ends |= std::uint64_t{1} << room;
		if (n - k < 64)
			ends |= ~std::uint64_t{0} << (n - k);
		if (ends != 0) {
			std::uint64_t stop = _tzcnt_u64(ends);
			lfs &= (std::uint64_t{1} << stop) - 1;
			column = lfs != 0 ? static_cast<int>(stop) - (63 - __builtin_clzll(lfs))
					  : column + static_cast<int>(stop);
			column_io = column;
			return k + stop;
		}
		column = lfs != 0 ? __builtin_clzll(lfs) + 1 : column + 64;
	}
	column_io = column;
	return k + copy_run_plain(out + k, in + k, n > k ? n - k : 0, 0, stops, column_io, limit);
}
#endif

run_copier pick_run_copier()
{
#if HAVE_COPY_RUN_AVX2
	if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi"))
		return copy_run_avx2;
#endif
	return copy_run_plain;
}

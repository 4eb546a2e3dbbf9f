// Runs of text bytes: a byte at a time through a table, and, on x86-64
// processors that have it, 32 bytes at a time with AVX2.
#include "convert/text_runs.h"

#include <algorithm>
#include <array>
#include <cstdint>
#if HAVE_COPY_RUN_AVX2
#include <immintrin.h>
#endif

namespace {

constexpr int kinds = 4;

// The bytes that end a run of each kind, in the order of run_kind.
constexpr const char *run_ends[kinds] = {"()%\r\n", "()\\\r\n", "\r\n\f", " \t\f()%"};

// For each byte value, a bit for each kind of run it ends.
constexpr std::array<unsigned char, 256> end_table()
{
	std::array<unsigned char, 256> table{};
	for (int k = 0; k < kinds; k++)
		for (const char *s = run_ends[k]; *s != '\0'; s++)
			table[static_cast<unsigned char>(*s)] |= static_cast<unsigned char>(1u << k);
	return table;
}
constexpr std::array<unsigned char, 256> ends = end_table();

// Copies on from in[k] as copy_run_plain does.
std::size_t copy_bytes(char *out, const unsigned char *in, std::size_t k,
    std::size_t n, run_kind kind)
{
	unsigned bit = 1u << static_cast<unsigned>(kind);
	for (; k < n && (ends[in[k]] & bit) == 0; k++)
		out[k] = static_cast<char>(in[k]);
	return k;
}

} // namespace

std::size_t copy_run_plain(char *out, const unsigned char *in, std::size_t n,
    std::size_t /*readable*/, run_kind kind)
{
	return copy_bytes(out, in, 0, n, kind);
}

#if HAVE_COPY_RUN_AVX2
namespace {

// A byte is looked up by its halves: the table for its low four bits and the
// one for its high four bits each give a set of groups, and the byte is in
// the groups that both give. Bytes that end runs share a group when they
// have the same high half and end the same kinds of run; so a group holds
// exactly its own bytes, and each kind of run is ended by a few groups.
struct nibble_tables {
	unsigned char low[16], high[16], kind[kinds];
};

constexpr nibble_tables make_nibble_tables()
{
	nibble_tables t{};
	int groups = 0;
	for (int high = 0; high < 16; high++) {
		unsigned char group_of[1 << kinds] = {}; // by the kinds a byte ends
		for (int low = 0; low < 16; low++) {
			unsigned char ended = ends[static_cast<std::size_t>(high << 4 | low)];
			if (ended == 0)
				continue;
			if (group_of[ended] == 0) {
				group_of[ended] = static_cast<unsigned char>(1u << groups++);
				for (int k = 0; k < kinds; k++)
					if ((ended & 1u << k) != 0)
						t.kind[k] |= group_of[ended];
			}
			t.low[low] |= group_of[ended];
			t.high[high] |= group_of[ended];
		}
	}
	return groups <= 8 ? t : throw "more groups than bits in a byte";
}
constexpr nibble_tables nibbles = make_nibble_tables();

} // namespace

// Each block of 32 bytes is copied whole, and the run ends at its first byte
// in one of the kind's groups or at n, whichever comes first.
__attribute__((target("avx2"))) std::size_t copy_run_avx2(char *out,
    const unsigned char *in, std::size_t n, std::size_t readable, run_kind kind)
{
	const __m256i low = _mm256_broadcastsi128_si256(
	    _mm_loadu_si128(reinterpret_cast<const __m128i *>(nibbles.low)));
	const __m256i high = _mm256_broadcastsi128_si256(
	    _mm_loadu_si128(reinterpret_cast<const __m128i *>(nibbles.high)));
	const __m256i groups = _mm256_set1_epi8(
	    static_cast<char>(nibbles.kind[static_cast<int>(kind)]));
	const __m256i half = _mm256_set1_epi8(0x0f);
	std::size_t k = 0;
	for (; k < n && k + 32 <= readable; k += 32) {
		__m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(in + k));
		_mm256_storeu_si256(reinterpret_cast<__m256i *>(out + k), v);
		__m256i in_groups = _mm256_and_si256(
		    _mm256_shuffle_epi8(low, _mm256_and_si256(v, half)),
		    _mm256_shuffle_epi8(high, _mm256_and_si256(_mm256_srli_epi16(v, 4), half)));
		__m256i plain = _mm256_cmpeq_epi8(_mm256_and_si256(in_groups, groups),
		    _mm256_setzero_si256());
		std::uint64_t stops = ~static_cast<std::uint64_t>(
		    static_cast<unsigned>(_mm256_movemask_epi8(plain)));
		stops |= ~std::uint64_t{0} << std::min<std::size_t>(n - k, 63);
		if (static_cast<std::uint32_t>(stops) != 0)
			return k + static_cast<std::size_t>(__builtin_ctzll(stops));
	}
	return copy_bytes(out, in, k, n, kind);
}
#endif

run_copier pick_run_copier()
{
#if HAVE_COPY_RUN_AVX2
	if (__builtin_cpu_supports("avx2"))
		return copy_run_avx2;
#endif
	return copy_run_plain;
}

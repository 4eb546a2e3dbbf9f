// Hexadecimal lines, portable and, on x86-64 processors that have it, AVX2.
#include "convert/hex_lines.h"

#if HAVE_WRITE_LINES_AVX2
#include <immintrin.h>
#endif

// Written as arithmetic on each nibble, which the compiler vectorises.
void write_hex(char *out, const unsigned char *in, std::size_t n)
{
	for (std::size_t i = 0; i < n; i++) {
		unsigned hi = in[i] >> 4, lo = in[i] & 15u;
		out[2 * i] = static_cast<char>(hi + (hi > 9 ? 'a' - 10 : '0'));
		out[2 * i + 1] = static_cast<char>(lo + (lo > 9 ? 'a' - 10 : '0'));
	}
}

void write_lines(char *out, const unsigned char *in, std::size_t lines)
{
	for (; lines > 0; lines--, out += hex_line_size, in += hex_line_bytes) {
		out[0] = '\n';
		write_hex(out + 1, in, hex_line_bytes);
	}
}

#if HAVE_WRITE_LINES_AVX2
// The same with AVX2, where the processor has it: a table lookup per nibble,
// a line at a time.
static_assert(hex_line_bytes == 32, "write_lines_avx2 takes a line as one vector of 32 bytes");
__attribute__((target("avx2"))) void write_lines_avx2(char *out,
    const unsigned char *in, std::size_t lines)
{
	const __m256i low_nibble = _mm256_set1_epi8(0x0f);
	const __m256i table = _mm256_setr_epi8('0', '1', '2', '3', '4', '5',
	    '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f', '0', '1', '2', '3',
	    '4', '5', '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f');
	for (; lines > 0; lines--, out += hex_line_size, in += hex_line_bytes) {
		// The line's quarters in the order 0 2 1 3, so that the digits of
		// its first half and of its second come out of one unpacking each.
		__m256i v = _mm256_permute4x64_epi64(
		    _mm256_loadu_si256(reinterpret_cast<const __m256i *>(in)), 0xd8);
		__m256i hi = _mm256_shuffle_epi8(table,
		    _mm256_and_si256(_mm256_srli_epi16(v, 4), low_nibble));
		__m256i lo = _mm256_shuffle_epi8(table, _mm256_and_si256(v, low_nibble));
		out[0] = '\n';
		_mm256_storeu_si256(reinterpret_cast<__m256i *>(out + 1), _mm256_unpacklo_epi8(hi, lo));
		_mm256_storeu_si256(reinterpret_cast<__m256i *>(out + 33), _mm256_unpackhi_epi8(hi, lo));
	}
}
#endif

line_writer pick_line_writer()
{
#if HAVE_WRITE_LINES_AVX2
	if (__builtin_cpu_supports("avx2"))
		return write_lines_avx2;
#endif
	return write_lines;
}


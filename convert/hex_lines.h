// Whole lines of hexadecimal digits for binary packets, written by the
// fastest routine the processor can run.
#ifndef CONVERT_HEX_LINES_H
#define CONVERT_HEX_LINES_H

#include <cstddef>

// A line as write_lines writes it: a line feed, which ends the line before,
// then hex_line_bytes bytes, two digits each.
constexpr int hex_line_bytes = 32;
constexpr std::size_t hex_line_size = 1 + 2 * hex_line_bytes;

// Writes 2 * n lowercase hexadecimal digits at out for n bytes at in.
void write_hex(char *out, const unsigned char *in, std::size_t n);

// Writes lines * hex_line_size bytes at out for lines * hex_line_bytes
// bytes at in.
using line_writer = void (*)(char *out, const unsigned char *in, std::size_t lines);

void write_lines(char *out, const unsigned char *in, std::size_t lines);
#if defined(__GNUC__) && defined(__x86_64__) && !defined(SEGTOASC_NO_SIMD)
#define HAVE_WRITE_LINES_AVX2 1
void write_lines_avx2(char *out, const unsigned char *in, std::size_t lines);
#endif

// The fastest of the above that this processor runs.
line_writer pick_line_writer();

#endif

// Runs of text bytes that the reflow copies as they stand, found by the
// fastest routine the processor can run.
#ifndef CONVERT_TEXT_RUNS_H
#define CONVERT_TEXT_RUNS_H

#include <cstddef>

// Where a run stands, which decides the bytes that end it: in code "(",
// ")", "%" and the line ends; in a string "(", ")", the backslash and the
// line ends; in a comment the line ends and the form feed; in a token past
// the column limit the blanks, "(", ")" and "%".
enum class run_kind { code, string, comment, token };

// Copies the bytes at in to out up to the first that ends a run of the
// kind, at most n of them, and returns how many. It may read up to readable
// bytes at in (at least n) and write up to n + run_slack bytes at out.
constexpr std::size_t run_slack = 31;
using run_copier = std::size_t (*)(char *out, const unsigned char *in,
    std::size_t n, std::size_t readable, run_kind kind);

std::size_t copy_run_plain(char *out, const unsigned char *in, std::size_t n,
    std::size_t readable, run_kind kind);
#if defined(__GNUC__) && defined(__x86_64__) && !defined(SEGTOASC_NO_SIMD)
#define HAVE_COPY_RUN_AVX2 1
std::size_t copy_run_avx2(char *out, const unsigned char *in, std::size_t n,
    std::size_t readable, run_kind kind);
#endif

// The fastest of the above that this processor runs.
run_copier pick_run_copier();

#endif

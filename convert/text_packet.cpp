// Copies a text packet as PostScript program text. Line ends become LF, and a
// line that has reached the column limit is broken before its next character
// in the way that keeps the PostScript meaning: a backslash-newline inside a
// string, a new "%" line inside a comment, elsewhere the next blank.
#include "convert/text_packet.h"

#include <algorithm>
#include <array>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "cli/diagnostics.h"
#include "convert/byte_io.h"

namespace {

constexpr int column_limit = 78;
constexpr int no_byte = -2;

struct reflow {
	std::int32_t remaining;
	int string_depth;
	bool in_comment;
	int column;
	int current;
};

bool is_blank(int c)
{
	return c == ' ' || c == '\t' || c == '\f';
}

bool is_octal(int c)
{
	return c >= '0' && c <= '7';
}

int next(reflow &r)
{
	r.remaining--;
	return r.current = read_byte();
}

void need_byte(const reflow &r)
{
	if (r.current == end_of_input)
		fatal_error("end of file in text packet");
}

void put(reflow &r, int c)
{
	write_byte(c);
	r.column++;
}

// Bytes that may need more than a copy while the line is short.
constexpr unsigned char special_bytes[] = {'(', ')', '%', '\\', '\r', '\n'};

constexpr std::array<bool, 256> special_table()
{
	std::array<bool, 256> table{};
	for (unsigned char c : special_bytes)
		table[c] = true;
	return table;
}
constexpr std::array<bool, 256> special = special_table();

// The number of plain bytes that start the n bytes at p.
std::size_t plain_prefix(const unsigned char *p, std::size_t n)
{
	std::size_t k = 0;
#if defined(__SSE2__)
	for (; k + 16 <= n; k += 16) {
		__m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + k));
		__m128i hit = _mm_setzero_si128();
		for (unsigned char c : special_bytes)
			hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(c))));
		if (int mask = _mm_movemask_epi8(hit))
			return k + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
	}
#endif
	while (k < n && !special[p[k]])
		k++;
	return k;
}

// Copies the run of plain bytes that starts the rest of the packet, as far
// as the buffered input and the column limit allow: the same as handling
// them one by one, done in one step.
void copy_plain_run(reflow &r)
{
	if (!fill_input())
		return;
	std::size_t n = static_cast<std::size_t>(input.end - input.next);
	n = std::min(n, static_cast<std::size_t>(r.remaining));
	n = std::min(n, static_cast<std::size_t>(column_limit - r.column));
	const unsigned char *run = input.next;
	std::size_t k = plain_prefix(run, n);
	if (k == 0)
		return;
	std::memcpy(reserve_output(k), run, k);
	output.next += k;
	input.next += k;
	r.remaining -= static_cast<std::int32_t>(k);
	r.column += static_cast<int>(k);
	r.current = run[k - 1];
}

// Follows strings and comments: parentheses outside comments, "%" outside
// strings. Escapes are handled by the caller.
void lex(reflow &r)
{
	if (r.current == '(' && !r.in_comment)
		r.string_depth++;
	else if (r.current == ')' && !r.in_comment)
		r.string_depth--;
	else if (r.current == '%' && r.string_depth == 0)
		r.in_comment = true;
}

// Breaks the line at the next blank, copying the token before it as it
// stands. A string or comment that the token opens ends the copy at once, so
// that the break inside it is made by a continuation instead.
void blank_break(reflow &r)
{
	while (!is_blank(r.current)) {
		write_byte(r.current);
		if (r.string_depth > 0 || r.in_comment)
			return;
		if (r.remaining == 0)
			break;
		next(r);
		need_byte(r);
		lex(r);
	}
	write_byte('\n');
	r.column = 0;
}

} // namespace

void write_text_packet(std::int32_t length)
{
	reflow r = {length, 0, false, 0, no_byte};
	bool reread = false;

	while (reread || r.remaining > 0) {
		if (!reread) {
			if (r.column < column_limit) {
				copy_plain_run(r);
				if (r.remaining == 0)
					break;
			}
			next(r);
		}
		reread = false;
		int depth_before = r.string_depth;
		if (r.current == '\\' && r.string_depth != 0) {
			// An escape is copied whole, past the limit if need be.
			put(r, '\\');
			if (r.remaining == 0)
				break;
			next(r);
			if (is_octal(r.current)) {
				// The byte after the digits stands for itself.
				for (int n = 0; n < 3 && is_octal(r.current); n++) {
					reread = false;
					put(r, r.current);
					if (r.remaining == 0)
						break;
					next(r);
					reread = true;
				}
				continue;
			}
			if (r.current != '\r' && r.current != '\n') {
				need_byte(r);
				put(r, r.current);
				continue;
			}
		} else {
			lex(r);
		}
		need_byte(r);
		if (r.current == '\r') {
			if (r.remaining == 0)
				break;
			if (next(r) != '\n') {
				if (r.current != end_of_input)
					unread_byte();
				r.remaining++;
			}
			r.current = '\n';
		}
		if (r.current == '\n') {
			r.in_comment = false;
			write_byte('\n');
			r.column = 1;
		} else if (r.column < column_limit) {
			put(r, r.current);
		} else if (depth_before > 0 && r.string_depth > 0) {
			write_byte('\\');
			write_byte('\n');
			write_byte(r.current);
			r.column = 2;
		} else if (r.in_comment) {
			write_byte('\n');
			write_byte('%');
			write_byte(r.current);
			r.column = 3;
		} else {
			blank_break(r);
		}
	}
	if (r.current != '\n')
		write_byte('\n');
}

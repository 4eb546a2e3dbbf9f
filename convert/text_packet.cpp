// Copies a text packet as PostScript program text. Line ends become LF, and a
// line that has reached the column limit is broken before its next character
// in the way that keeps the PostScript meaning: a backslash-newline inside a
// string, a new "%" line inside a comment, elsewhere the next blank.
#include "convert/text_packet.h"

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
		if (!reread)
			next(r);
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

// Copies a text packet as PostScript program text. Line ends become LF, and a
// line that has reached the column limit is broken before its next character
// in the way that keeps the PostScript meaning: a backslash-newline inside a
// string, a new "%" line inside a comment, elsewhere the next blank.
//
// The reflow is a state machine. Each byte of the packet is taken once, by
// step, which says what the byte means where the reflow stands. Most bytes
// cannot change anything where they stand; copy_run copies those in runs,
// and the byte that ends a run goes to step.
#include "convert/text_packet.h"

#include <algorithm>

#include "cli/diagnostics.h"
#include "convert/byte_io.h"
#include "convert/text_runs.h"

namespace {

// A line is broken before a character once the column has reached this.
constexpr int column_limit = 78;

// Chosen at the first text packet, so that starting the program costs
// nothing.
run_copier runs_out;

// What the reflow waits for between two bytes.
enum class where {
	text,     // nothing: the next byte stands for itself
	escape,   // the byte that a backslash in a string escapes
	octal,    // more octal digits of an escape
	after_cr, // an LF that belongs to the CR just taken as a line end
	token,    // the blank that ends a token running past the limit
};

// The routines below are inline so that the state stays in registers: a
// packet takes millions of steps.
struct reflow {
	where at = where::text;
	int digits = 0;       // octal digits of the escape so far
	int string_depth = 0; // strings open; below 0 after unmatched ")"
	bool in_comment = false;
	// Characters on the line as the output has always counted them: the
	// line end before it counts as one, a continuation's too, but not a
	// blank break's. So the first line of a packet and a line after a blank
	// break carry 78 characters before a break, the others 77.
	int column = 0;
	int last = -1; // the last byte taken, a CR as LF; -1 for none
};

inline bool is_blank(int c)
{
	return c == ' ' || c == '\t' || c == '\f';
}

inline bool is_octal(int c)
{
	return c >= '0' && c <= '7';
}

inline void put(reflow &r, int c)
{
	write_byte(c);
	r.column++;
}

// Parentheses outside comments open and close strings; "%" outside strings
// starts a comment, and a form feed ends one as a line end does. Escapes
// are taken apart from this, by step.
inline void lex(reflow &r, int c)
{
	if (c == '(' && !r.in_comment)
		r.string_depth++;
	else if (c == ')' && !r.in_comment)
		r.string_depth--;
	else if (c == '%' && r.string_depth == 0)
		r.in_comment = true;
	else if (c == '\f')
		r.in_comment = false;
}

// The line end: LF, CR LF and a lone CR all become one LF, which ends a
// comment but not a string.
inline void end_line(reflow &r, int c)
{
	write_byte('\n');
	r.column = 1;
	r.in_comment = false;
	r.last = '\n';
	r.at = c == '\r' ? where::after_cr : where::text;
}

// The string continuation: PostScript reads a backslash-newline in a string
// as nothing at all.
inline void continue_string(reflow &r, int c)
{
	write_byte('\\');
	write_byte('\n');
	write_byte(c);
	r.column = 2;
}

// The comment continuation: the new line starts a comment of its own.
inline void continue_comment(reflow &r, int c)
{
	write_byte('\n');
	write_byte('%');
	write_byte(c);
	r.column = 3;
}

// The blank break: a token past the limit runs on as it stands, and the
// blank after it becomes the line end. A string or comment that the token
// opens is broken its own way, so the token ends there.
inline void break_at_blank(reflow &r, int c)
{
	if (is_blank(c)) {
		write_byte('\n');
		r.column = 0;
		r.at = where::text;
		return;
	}
	write_byte(c);
	r.at = r.string_depth > 0 || r.in_comment ? where::text : where::token;
}

// A byte that stands for itself.
inline void take(reflow &r, int c)
{
	// The escape is written whole, even past the limit: a break inside it
	// would change the character it stands for.
	if (c == '\\' && r.string_depth != 0) {
		put(r, c);
		r.at = where::escape;
		return;
	}
	int depth_before = r.string_depth;
	lex(r, c);
	if (c == '\r' || c == '\n') {
		end_line(r, c);
		return;
	}
	if (r.column < column_limit)
		put(r, c);
	// Only a byte inside the string on both of its sides: before the "("
	// that opens it, a backslash-newline would not be read as nothing.
	else if (depth_before > 0 && r.string_depth > 0)
		continue_string(r, c);
	else if (r.in_comment)
		continue_comment(r, c);
	else
		break_at_blank(r, c);
}

// Takes the next byte of the packet.
inline void step(reflow &r, int c)
{
	r.last = c;
	switch (r.at) {
	case where::text:
		break;
	case where::escape:
		if (c == '\r' || c == '\n') {
			end_line(r, c);
			return;
		}
		// The escaped byte is never a parenthesis, a comment or an escape.
		put(r, c);
		r.at = where::text;
		if (is_octal(c)) {
			r.digits = 1;
			r.at = where::octal;
		}
		return;
	case where::octal:
		if (r.digits < 3 && is_octal(c)) {
			put(r, c);
			r.digits++;
			return;
		}
		break; // the byte after the digits stands for itself
	case where::after_cr:
		if (c == '\n') {
			r.at = where::text;
			return;
		}
		break;
	case where::token:
		lex(r, c);
		break_at_blank(r, c);
		return;
	}
	r.at = where::text;
	take(r, c);
}

// Copies the bytes from p on, up to end, that cannot change the state where
// the reflow stands, and returns how many: below the limit, all but those
// that may open or close a string or a comment or end a line; in a token,
// all but those that may end it.
inline std::size_t copy_run(reflow &r, const unsigned char *p, const unsigned char *end)
{
	std::size_t n = static_cast<std::size_t>(end - p);
	run_kind kind;
	if (r.at == where::text && r.column < column_limit) {
		n = std::min(n, static_cast<std::size_t>(column_limit - r.column));
		kind = r.in_comment ? run_kind::comment
		    : r.string_depth != 0 ? run_kind::string : run_kind::code;
	} else if (r.at == where::token) {
		n = std::min(n, output_room - run_slack);
		kind = run_kind::token;
	} else {
		return 0;
	}
	std::size_t k = runs_out(reserve_output(n + run_slack), p, n,
	    static_cast<std::size_t>(input.end - p), kind);
	output.next += k;
	if (r.at == where::text)
		r.column += static_cast<int>(k);
	r.last = k > 0 ? p[k - 1] : r.last;
	return k;
}

// The packet's output ends with a line end. A token still waiting for its
// blank is broken there first; so is a packet whose last byte was the blank
// of a break, which is no line end itself: both end with an empty line.
inline void finish(const reflow &r)
{
	if (r.at == where::token)
		write_byte('\n');
	if (r.last != '\n')
		write_byte('\n');
}

} // namespace

void write_text_packet(std::int32_t length)
{
	if (runs_out == nullptr)
		runs_out = pick_run_copier();
	reflow r;
	std::int32_t remaining = length;

	while (remaining > 0) {
		if (!fill_input())
			fatal_error("end of file in text packet");
		std::size_t n = std::min(static_cast<std::size_t>(input.end - input.next),
		    static_cast<std::size_t>(remaining));
		const unsigned char *p = input.next, *end = p + n;
		while (p < end) {
			p += copy_run(r, p, end);
			if (p < end)
				step(r, *p++);
		}
		input.next = end;
		remaining -= static_cast<std::int32_t>(n);
	}
	finish(r);
}

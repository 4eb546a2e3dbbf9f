// Copies a text packet as PostScript program text. Line ends become LF, and a
// line that has reached the column limit is broken before its next character
// in the way that keeps the PostScript meaning: a backslash-newline inside a
// string, a new "%" line inside a comment, elsewhere the next blank.
//
// The reflow is a state machine: step takes each byte once and says what it
// means where the reflow stands. Bytes that change nothing there but the
// column are copied in runs, and the byte that ends a run goes to step.
#include "convert/text_packet.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "convert/byte_io.h"

namespace {

// What the reflow waits for between two bytes.
enum class where {
	text,     // nothing: the next byte stands for itself
	escape,   // the byte that a backslash in a string escapes
	octal,    // more octal digits of an escape
	after_cr, // an LF that belongs to the CR just taken as a line end
	token,    // the blank that ends a token running past the limit
};

// Where a byte stands in PostScript's terms.
struct lexical_state {
	int string_depth = 0; // strings open; below 0 after unmatched ")"
	bool in_comment = false;
};

// Compares every field. The structured bindings name each one, so a field
// added later stops the build here until it is compared too.
constexpr bool operator==(const lexical_state &a, const lexical_state &b)
{
	const auto &[a_depth, a_comment] = a;
	const auto &[b_depth, b_comment] = b;
	return a_depth == b_depth && a_comment == b_comment;
}

struct reflow {
	where at = where::text;
	int digits = 0; // octal digits of the escape so far
	lexical_state lexical;
	int column = 0;      // the line's characters, counted as start_line says
	bool broken = false; // the line was started by a blank break
};

constexpr bool is_line_end(int c)
{
	return c == '\n' || c == '\r';
}

constexpr bool is_blank(int c)
{
	return c == ' ' || c == '\t' || c == '\f';
}

constexpr bool is_octal(int c)
{
	return c >= '0' && c <= '7';
}

// A backslash escapes the next byte at any depth but 0, unmatched ")"
// included; a backslash-newline continues only a string that "(" opened.
constexpr bool escapes(const lexical_state &s)
{
	return s.string_depth != 0;
}

constexpr bool may_continue(const lexical_state &s)
{
	return s.string_depth > 0;
}

// Parentheses outside comments open and close strings; "%" at depth 0
// starts a comment, and a line end or a form feed ends it. Escapes are not
// taken here but by step, which keeps the escaped byte from lex.
constexpr void lex(lexical_state &s, int c)
{
	if (c == '(' && !s.in_comment)
		s.string_depth++;
	else if (c == ')' && !s.in_comment)
		s.string_depth--;
	else if (c == '%' && s.string_depth == 0)
		s.in_comment = true;
	else if (is_line_end(c) || c == '\f')
		s.in_comment = false;
}

// The lexical state after text read from a packet's start.
constexpr lexical_state after(const char *text)
{
	lexical_state s;
	while (*text != '\0')
		lex(s, *text++);
	return s;
}

void put(reflow &r, int c)
{
	write_byte(c);
	r.column++;
}

// Ends the output line. The new line's column starts at 1, as if the line
// end were a character on it, or at 0 after a blank break (counted false),
// as at a packet's start. A line is broken once its column reaches
// column_limit, so a packet's first line and a line after a blank break
// take column_limit characters before a break, and the others one fewer.
void start_line(reflow &r, bool counted)
{
	write_byte('\n');
	r.column = counted ? 1 : 0;
	r.broken = !counted;
}

// The line end: LF, CR LF and a lone CR all become one LF.
void end_line(reflow &r, int c)
{
	start_line(r, true);
	r.at = c == '\r' ? where::after_cr : where::text;
}

// The string continuation: PostScript reads a backslash-newline in a string
// as nothing at all.
void continue_string(reflow &r, int c)
{
	write_byte('\\');
	start_line(r, true);
	put(r, c);
}

// The comment continuation: the new line starts a comment of its own.
void continue_comment(reflow &r, int c)
{
	start_line(r, true);
	put(r, '%');
	put(r, c);
}

// Whether the output history before p ends in the token word and blanks
// after it, with the token at the start of a line or after a blank; p is
// moved back over the blanks. A line holds at most column_limit blanks, as
// they are written below the limit, but in a token past the limit after
// currentfile: the walk stops there, within the output history.
template <std::size_t size>
bool after_word(char *&p, const char (&word)[size])
{
	for (const char *end = p; is_blank(p[-1]) && end - p < column_limit;)
		p--;
	constexpr auto n = static_cast<std::ptrdiff_t>(size);
	return std::memcmp(p + 1 - n, word, size - 1) == 0 && (is_blank(p[-n]) || p[-n] == '\n');
}
static_assert(2 * column_limit + 1 + sizeof "eexec" <= output_history,
    "the output history must hold two walks over blanks, a line end and a word");

// Whether the output line ends in the token currentfile and blanks after
// it. Font readers look for "currentfile eexec" on one line, so these blanks
// take no blank break. Inside a token past the limit, a blank is written
// only after currentfile, so a blank written last settles it.
bool after_currentfile(const reflow &r)
{
	char *p = output.next;
	return (r.at == where::token && is_blank(p[-1])) || after_word(p, "currentfile");
}

// The blank break: a token past the limit runs on as it stands, and the
// blank after it becomes the line end. A string or comment that the token
// opens is broken its own way, so the token ends there, and so does a line
// end.
void break_at_blank(reflow &r, int c)
{
	if (is_blank(c) && !after_currentfile(r)) {
		start_line(r, false);
		r.at = where::text;
		return;
	}
	write_byte(c);
	r.at = may_continue(r.lexical) || r.lexical.in_comment ? where::text : where::token;
}

// A byte that stands for itself.
void take(reflow &r, int c)
{
	// The escape is written whole, even past the limit: a break inside it
	// would change the character it stands for.
	if (c == '\\' && escapes(r.lexical)) {
		put(r, c);
		r.at = where::escape;
		return;
	}
	// Only a byte with the string open on both of its sides takes a string
	// continuation. Before the "(" that opens it, a backslash-newline would
	// stand outside the string, where it is not read as nothing.
	bool was_open = may_continue(r.lexical);
	lex(r.lexical, c);
	if (is_line_end(c))
		end_line(r, c);
	else if (r.column < column_limit)
		put(r, c);
	else if (was_open && may_continue(r.lexical))
		continue_string(r, c);
	else if (r.lexical.in_comment)
		continue_comment(r, c);
	else
		break_at_blank(r, c);
}

// Takes the next byte of the packet.
void step(reflow &r, int c)
{
	switch (r.at) {
	case where::text:
		break;
	case where::escape:
		if (is_line_end(c)) {
			end_line(r, c);
			return;
		}
		// The escaped byte is never a parenthesis, a comment or an escape.
		put(r, c);
		r.at = is_octal(c) ? where::octal : where::text;
		r.digits = 1;
		return;
	case where::octal:
		if (r.digits < octal_digits && is_octal(c)) {
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
		if (is_line_end(c))
			break; // which ends the token as it ends any line
		lex(r.lexical, c);
		break_at_blank(r, c);
		return;
	}
	r.at = where::text;
	take(r, c);
}

// What a run does with each byte where the reflow stands: copies it, as a
// character or, for an LF, as a line end, which sets the column to 1, or
// ends before it.
enum run_action : unsigned char { copy_byte, copy_line_end, end_run_before };

// The rules of a run: the action for each byte; the column at which the run
// ends; and the escape byte that a run copies together with the byte after
// it, where the whole escape lies below the limit, or -1. An escaped line
// end is left to step: a CR takes the LF after it along, which only step
// can tell.
struct run_rules {
	run_action action[256];
	int limit;
	int escape;
};

// The rules where the reflow stands: a run ends before the bytes that step
// does more with than write and count. In code and in a string an LF is
// not one of them.
constexpr run_rules rules_at(where at, lexical_state s, int limit, int escape)
{
	run_rules rules{{}, limit, escape};
	for (int c = 0; c < 256; c++) {
		lexical_state next = s;
		lex(next, c);
		if (!(next == s) || (at == where::token ? is_blank(c) || is_line_end(c)
							: c == '\r' || (c == '\\' && escapes(s))))
			rules.action[c] = end_run_before;
		else if (c == '\n')
			rules.action[c] = copy_line_end;
	}
	return rules;
}

// The rules of each kind of run. Code, string and comment runs stand below
// the limit and count the column, and a string run copies escapes whole. Its
// rules, made at depth 1, serve every depth but 0, negative ones too: there
// the same bytes change the state, and a backslash escapes. A token run
// stands outside strings and comments, at depth 0 or below, and counts no
// column. Its rules, made at depth 0, take no escapes: in a token past the
// limit the blank break follows parentheses and "%" but takes a backslash
// as it stands, below depth 0 too. It ends at "%", which below depth 0 only
// costs a step.
constexpr run_rules code_run = rules_at(where::text, after(""), column_limit, -1);
constexpr run_rules string_run = rules_at(where::text, after("("), column_limit, '\\');
constexpr run_rules comment_run = rules_at(where::text, after("%"), column_limit, -1);
constexpr run_rules token_run = rules_at(where::token, after(""), std::numeric_limits<int>::max(), -1);

// Copies bytes from in to out until the rules end the run, at most n of
// them, and returns how many it copied, with the column counted on over
// them. Eight bytes are looked at together while none of them ends the run.
std::size_t copy(char *out, const unsigned char *in, std::size_t n, const run_rules &rules, reflow &r)
{
	const run_action *action = rules.action;
	int column = r.column;
	std::size_t k = 0;
	for (;;) {
		std::size_t from = k, end = std::min(n, k + static_cast<std::size_t>(rules.limit - column));
		for (; k + 8 <= end; k += 8) {
			unsigned looks = 0;
			for (std::size_t i = k; i < k + 8; i++)
				looks |= action[in[i]];
			if (looks != copy_byte)
				break;
			std::memcpy(out + k, in + k, 8);
		}
		for (; k < end && action[in[k]] == copy_byte; k++)
			out[k] = static_cast<char>(in[k]);
		column += static_cast<int>(k - from);
		// A line end, or an escape and the byte after it, is copied, and
		// the run goes on.
		if (k < n && action[in[k]] == copy_line_end) {
			out[k++] = '\n';
			column = 1;
			r.broken = false;
		} else if (k + 1 < n && in[k] == rules.escape && !is_line_end(in[k + 1])
		    && column + 1 + octal_digits <= rules.limit) {
			out[k] = static_cast<char>(in[k]);
			out[k + 1] = static_cast<char>(in[k + 1]);
			k += 2;
			column += 2;
		} else {
			break;
		}
	}
	r.column = column;
	return k;
}

// Copies the bytes from p on, up to end, that change nothing but the column
// where the reflow stands, and returns how many. In a token past the limit
// no column is counted.
std::size_t copy_run(reflow &r, const unsigned char *p, const unsigned char *end)
{
	const run_rules *rules = &token_run;
	if (r.at == where::text && r.column < column_limit)
		rules = r.lexical.in_comment ? &comment_run : escapes(r.lexical) ? &string_run : &code_run;
	else if (r.at != where::token)
		return 0;
	std::size_t n = std::min(static_cast<std::size_t>(end - p), output_room);
	int column = r.column;
	std::size_t k = copy(reserve_output(n), p, n, *rules, r);
	output.next += k;
	if (r.at == where::token)
		r.column = column;
	return k;
}

} // namespace

void write_text_packet(std::int32_t length)
{
	reflow r;
	int last = -1; // the packet's last byte
	read_packet(length, "end of file in text packet", [&](const unsigned char *p, std::size_t n) {
		const unsigned char *end = p + n;
		while (p < end) {
			p += copy_run(r, p, end);
			if (p < end)
				step(r, *p++);
		}
		last = end[-1];
	});
	// Font readers take the byte after "currentfile eexec" as its line end.
	// So where a packet outside strings and comments ends in the token eexec
	// and blanks, the blanks give way to the packet's line end, and so does
	// the blank break that started the last line, if only blanks follow it.
	char *p = output.next;
	if (r.lexical == lexical_state{} && (after_word(p, "eexec")
		|| (r.broken && p[-1] == '\n' && after_word(--p, "eexec"))))
		output.next = p;
	// The output ends with a line end. A token still waiting for its blank
	// is broken there first; so is a packet whose last byte was the blank of
	// a break, which is no line end itself: both end with an empty line. A
	// CR taken as a line end has written its LF already.
	if (r.at == where::token)
		write_byte('\n');
	if (last != '\n' && r.at != where::after_cr)
		write_byte('\n');
}

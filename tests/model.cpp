// The model converter: one byte in, one decision, no buffering tricks.
#include "tests/model.h"

#include "convert/packet_stream.h"
#include "convert/text_packet.h"

namespace {

constexpr int eof = -1;

struct failure {
	const char *message;
};

struct model {
	const unsigned char *data;
	std::size_t size;
	std::size_t pos = 0;
	std::string out;

	int get() { return pos < size ? data[pos++] : eof; }
	void unget() { pos--; }
	void put(int c) { out += static_cast<char>(c); }
};

bool blank(int c)
{
	return c == ' ' || c == '\t' || c == '\f';
}

bool octal(int c)
{
	return c >= '0' && c <= '7';
}

// The token word ends at out[end], at the start of a line or after a blank.
bool token_at(const std::string &out, std::size_t end, const std::string &word)
{
	std::size_t at = end + 1 - word.size(); // end is npos where there is no such byte
	return end + 1 >= word.size() && out.compare(at, word.size(), word) == 0
	    && (at == 0 || blank(out[at - 1]) || out[at - 1] == '\n');
}

void binary(model &m, long length)
{
	static const char hex[] = "0123456789abcdef";
	int on_line = 0;
	for (long i = 0; i < length; i++) {
		int c = m.get();
		if (c == eof)
			throw failure{"end of file in binary packet"};
		if (on_line == hex_line_bytes) {
			m.put('\n');
			on_line = 0;
		}
		m.put(hex[c >> 4]);
		m.put(hex[c & 15]);
		on_line++;
	}
	m.put('\n');
}

void text(model &m, long length)
{
	long left = length;
	int depth = 0;
	bool comment = false;
	int column = 0;
	int cur = -2;
	std::size_t broke = 0; // the output's size after the last blank break
	auto read = [&] { left--; cur = m.get(); };
	auto must = [&] { if (cur == eof) throw failure{"end of file in text packet"}; };
	auto lexical = [&] {
		if (cur == '(' && !comment)
			depth++;
		else if (cur == ')' && !comment)
			depth--;
		else if (cur == '%' && depth == 0)
			comment = true;
		else if (cur == '\f')
			comment = false;
	};

	bool have = false; // cur holds a byte not yet handled
	while (have || left > 0) {
		if (!have)
			read();
		have = false;
		int before = depth;
		bool lexed = true;
		if (cur == '\\' && depth != 0) {
			m.put('\\');
			column++;
			if (left == 0)
				break;
			read();
			if (octal(cur)) {
				int digits = 0;
				bool ended = false;
				while (digits < octal_digits && octal(cur)) {
					m.put(cur);
					column++;
					digits++;
					if (left == 0) {
						ended = true;
						break;
					}
					read();
				}
				if (ended)
					break;
				have = true;
				continue;
			}
			if (cur != '\r' && cur != '\n') {
				must();
				m.put(cur);
				column++;
				continue;
			}
			lexed = false;
		}
		if (lexed)
			lexical();
		must();
		if (cur == '\r') {
			if (left == 0)
				break;
			read();
			if (cur != '\n') {
				if (cur != eof)
					m.unget();
				left++;
			}
			cur = '\n';
		}
		if (cur == '\n') {
			comment = false;
			m.put('\n');
			column = 1;
		} else if (column < column_limit) {
			m.put(cur);
			column++;
		} else if (before > 0 && depth > 0) {
			m.put('\\');
			m.put('\n');
			m.put(cur);
			column = 2;
		} else if (comment) {
			m.put('\n');
			m.put('%');
			m.put(cur);
			column = 3;
		} else {
			bool ended = false; // by a string, a comment or a line end
			while (!blank(cur) || token_at(m.out, m.out.find_last_not_of(" \t\f"), "currentfile")) {
				m.put(cur);
				if (depth > 0 || comment) {
					ended = true;
					break;
				}
				if (left == 0)
					break;
				read();
				must();
				if (cur == '\r' || cur == '\n') {
					ended = have = true; // a line end like any other
					break;
				}
				lexical();
			}
			if (!ended) {
				m.put('\n');
				column = 0;
				broke = m.out.size();
			}
		}
	}
	// Blanks after a last token eexec, and one blank break among them, go.
	std::size_t end = m.out.find_last_not_of(" \t\f");
	if (end != std::string::npos && end + 1 == broke)
		end = m.out.find_last_not_of(" \t\f", end - 1);
	if (blank(cur) && depth == 0 && !comment && token_at(m.out, end, "eexec"))
		m.out.resize(end + 1);
	if (cur != '\n')
		m.put('\n');
}

} // namespace

model_result model_convert(const unsigned char *data, std::size_t size)
{
	model m{data, size, 0, {}};
	try {
		for (;;) {
			if (m.get() != 0x80)
				throw failure{"first byte of packet not 0x80"};
			int type = m.get();
			if (type == 3)
				return {m.out, 0, ""};
			if (type != 1 && type != 2)
				throw failure{"bad packet type"};
			unsigned long length = 0;
			for (int i = 0; i < 4; i++) {
				int c = m.get();
				if (c == eof)
					throw failure{"end of file in packet header"};
				length += static_cast<unsigned long>(c) << (8 * i);
			}
			if (length >= 0x80000000ul)
				throw failure{"negative packet length"};
			if (type == 1)
				text(m, static_cast<long>(length));
			else
				binary(m, static_cast<long>(length));
		}
	} catch (const failure &f) {
		return {m.out, 2, f.message};
	}
}

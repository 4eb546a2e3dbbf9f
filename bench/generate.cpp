// Writes a benchmark input to standard output.
//   generate binary SIZE   a short text packet, one binary packet of SIZE
//                          random bytes, the end packet
//   generate text SIZE     about SIZE bytes of PostScript-like text lines in
//                          text packets of 1 MiB, then the end packet
//   generate token SIZE    one text packet of one token of SIZE letters,
//                          which runs past the limit to its end
//   generate fonts SIZE FILE...
//                          the text packets of the fonts, as they stand,
//                          again and again up to about SIZE bytes, then the
//                          end packet
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace {

std::mt19937_64 rng(20261208);

unsigned pick(unsigned n)
{
	return static_cast<unsigned>(rng() % n);
}

void header(int type, unsigned long length)
{
	unsigned char h[6] = {0x80, static_cast<unsigned char>(type),
	    static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8),
	    static_cast<unsigned char>(length >> 16), static_cast<unsigned char>(length >> 24)};
	std::fwrite(h, 1, sizeof h, stdout);
}

void text_packet(const std::string &body)
{
	header(1, body.size());
	std::fwrite(body.data(), 1, body.size(), stdout);
}

void word(std::string &s)
{
	static const char *const words[] = {"dup", "def", "/Name", "exch", "put",
	    "readonly", "begin", "end", "currentfile", "eexec", "index", "get",
	    "1000", "-250", "0.001", "{pop}", "[0 0 1 1]", "<3f9a>", "bind"};
	s += words[pick(sizeof words / sizeof *words)];
}

// One line: a string with nested parentheses and escapes (15%), a comment
// (10%), or tokens; lengths spread well past the 78-column limit.
std::string line()
{
	std::string s;
	unsigned kind = pick(100);
	unsigned target = 20 + pick(140);
	if (kind < 15) {
		s = "/Notice (";
		while (s.size() < target) {
			unsigned r = pick(20);
			if (r == 0)
				s += "(nested)";
			else if (r == 1)
				s += "\\(";
			else if (r == 2)
				s += "\\251";
			else if (r == 3)
				s += "\\n";
			else if (r < 8)
				s += ' ';
			else
				s += static_cast<char>('a' + pick(26));
		}
		s += ") readonly def";
	} else if (kind < 25) {
		s = "% ";
		while (s.size() < target)
			s += pick(6) == 0 ? ' ' : static_cast<char>('a' + pick(26));
	} else {
		while (s.size() < target) {
			word(s);
			s += ' ';
		}
	}
	unsigned end = pick(3);
	s += end == 0 ? "\n" : end == 1 ? "\r\n" : "\r";
	return s;
}

// The text packets of a segmented font, each with its header.
std::string text_packets(const char *path)
{
	std::ifstream f(path, std::ios::binary);
	std::string font{std::istreambuf_iterator<char>(f), {}}, packets;
	for (std::size_t at = 0; at + 6 <= font.size() && font[at + 1] != 3;) {
		std::size_t length = 0;
		for (int i = 0; i < 4; i++)
			length |= static_cast<std::size_t>(static_cast<unsigned char>(font[at + 2 + i])) << (8 * i);
		if (font[at + 1] == 1)
			packets += font.substr(at, 6 + length);
		at += 6 + length;
	}
	return packets;
}

} // namespace

int main(int argc, char *argv[])
{
	if (argc < 3) {
		std::fprintf(stderr, "usage: generate binary|text|token|fonts SIZE [FILE...]\n");
		return 1;
	}
	unsigned long size = std::strtoul(argv[2], nullptr, 10);
	if (std::strcmp(argv[1], "binary") == 0) {
		text_packet("%!PS-AdobeFont-1.0: Bench 001.000\r/FontName /Bench def\rcurrentfile eexec\r");
		header(2, size);
		std::string block(1 << 16, '\0');
		for (unsigned long done = 0; done < size; done += block.size()) {
			for (char &c : block)
				c = static_cast<char>(rng());
			std::fwrite(block.data(), 1, std::min<unsigned long>(block.size(), size - done), stdout);
		}
	} else if (std::strcmp(argv[1], "token") == 0) {
		std::string body(size, 'a');
		for (std::size_t i = 0; i < size; i++)
			body[i] = static_cast<char>('a' + i % 26);
		text_packet(body);
	} else if (std::strcmp(argv[1], "fonts") == 0) {
		std::string all;
		for (int i = 3; i < argc; i++)
			all += text_packets(argv[i]);
		for (unsigned long done = 0; !all.empty() && done < size; done += all.size())
			std::fwrite(all.data(), 1, all.size(), stdout);
	} else {
		for (unsigned long done = 0; done < size;) {
			std::string body;
			while (body.size() < (1u << 20))
				body += line();
			text_packet(body);
			done += body.size();
		}
	}
	std::fputs("\x80\x03", stdout);
	return std::fclose(stdout) == 0 ? 0 : 1;
}

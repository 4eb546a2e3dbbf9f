// Runs the program on seeded random packet streams, and on any font files
// named, and checks every byte of output, the message and the status against
// the model; or, with --feed, runs it alone on files given one read each.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "convert/byte_io.h"
#include "convert/packet_stream.h"
#include "convert/text_packet.h"
#include "tests/model.h"

namespace {

std::string program;
std::string dir;

std::string slurp(const std::string &path)
{
	std::ifstream f(path, std::ios::binary);
	return {std::istreambuf_iterator<char>(f), {}};
}

void spill(const std::string &path, const std::string &data)
{
	std::ofstream(path, std::ios::binary) << data;
}

// Runs the program with the input on standard input, a pipe: each chunk
// ends where a cut is, and is read before the next is written, so that the
// program's reads end there.
model_result run(const std::string &input, const std::vector<std::size_t> &cuts, std::string &err)
{
	int in[2];
	if (pipe(in) != 0)
		return {"", 128, ""};
	pid_t pid = fork();
	if (pid == 0) {
		int out = open((dir + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
		int er = open((dir + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
		dup2(in[0], 0);
		dup2(out, 1);
		dup2(er, 2);
		close(in[1]);
		std::signal(SIGPIPE, SIG_DFL);
		execl(program.c_str(), program.c_str(), static_cast<char *>(nullptr));
		_exit(127);
	}
	close(in[0]);
	int status = 0, queued = 0;
	bool reaped = false;
	std::size_t at = 0;
	for (std::size_t cut : cuts) {
		while (at < cut) {
			ssize_t n = write(in[1], input.data() + at, cut - at);
			if (n < 0)
				break; // the program reads no further
			at += static_cast<std::size_t>(n);
		}
		while (!reaped && ioctl(in[1], FIONREAD, &queued) == 0 && queued > 0) {
			usleep(50);
			reaped = waitpid(pid, &status, WNOHANG) == pid;
		}
	}
	close(in[1]);
	if (!reaped)
		waitpid(pid, &status, 0);
	err = slurp(dir + "/err");
	return {slurp(dir + "/out"), WIFEXITED(status) ? WEXITSTATUS(status) : 128, ""};
}

// One byte of PostScript-like text, in one of several moods.
struct text_maker {
	std::mt19937 &rng;
	int pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

	std::string body(int length)
	{
		static const char *const pieces[] = {
		    "(", ")", "\\", "%", " ", "\t", "\f", "\r", "\n", "\r\n",
		    "\\(", "\\)", "\\\\", "\\n", "\\0", "\\12", "\\123", "\\1234", "\\18", "\\79",
		    "\\\r\n", "\\\n", "\\\r", "\\\\\\(", "\\\\\\\\)", "<48656c6c6f>",
		    "{dup mul}", "/Name", "1234", "-0.5", "\xff", "\x80", "\x00", "8", "9", "7",
		    " currentfile ", "currentfile eexec", "  \t"};
		std::string s;
		int mood = pick(4);
		while (static_cast<int>(s.size()) < length) {
			int roll = pick(100);
			if (roll < 10 + mood * 10) {
				s += pieces[pick(sizeof pieces / sizeof *pieces)];
			} else if (roll < 60) {
				int run = pick(8) == 0 ? column_limit - 18 + pick(60) : 1 + pick(12);
				for (int i = 0; i < run; i++)
					s += static_cast<char>('a' + pick(26));
			} else if (roll < 95) {
				s += ' ';
			} else {
				s += static_cast<char>(pick(256));
			}
		}
		if (pick(6) == 0) { // blanks after eexec end it, as font tools end the clear text
			char blank = " \t\f"[pick(3)]; // drawn first, so that any compiler makes the same streams
			s += " eexec" + std::string(static_cast<std::size_t>(pick(4) == 0 ? pick(170) : pick(3)), blank);
		}
		return s.substr(s.size() - static_cast<std::size_t>(length));
	}
};

int length_near(std::mt19937 &rng)
{
	constexpr int hex = hex_line_bytes, line = column_limit;
	static const int edges[] = {0, 1, 2, hex - 1, hex, hex + 1, line - 2, line - 1, line,
	    line + 1, line + 2, 2 * line - 1, 2 * line, 2 * line + 1};
	switch (rng() % 6) {
	case 0:
		return edges[rng() % (sizeof edges / sizeof *edges)];
	case 1:
		return static_cast<int>(rng() % 200);
	case 2:
		return static_cast<int>(rng() % 3000);
	case 3:
		return rng() % 20 == 0 ? static_cast<int>(buffer_size / 2 + rng() % buffer_size) : 500;
	default:
		return static_cast<int>(rng() % 800);
	}
}

std::string header(int type, unsigned long length)
{
	std::string h = "\x80";
	h += static_cast<char>(type);
	for (int i = 0; i < 4; i++)
		h += static_cast<char>((length >> (8 * i)) & 0xff);
	return h;
}

// A packet stream, whole or damaged.
std::string stream(std::mt19937 &rng)
{
	text_maker maker{rng};
	std::string s;
	int packets = 1 + static_cast<int>(rng() % 5);
	for (int i = 0; i < packets; i++) {
		int length = length_near(rng);
		if (rng() % 2) {
			s += header(1, static_cast<unsigned long>(length));
			s += maker.body(length);
		} else {
			s += header(2, static_cast<unsigned long>(length));
			for (int j = 0; j < length; j++)
				s += static_cast<char>(rng());
		}
	}
	s += "\x80\x03";
	switch (rng() % 10) {
	case 0: // cut short anywhere
		s.resize(rng() % (s.size() + 1));
		break;
	case 1: // one byte changed anywhere
		s[rng() % s.size()] = static_cast<char>(rng());
		break;
	case 2: { // a header promising more than there is
		unsigned long promised = rng() % 0x100000000ul; // drawn first, as for the blanks above
		s += header(1 + static_cast<int>(rng() % 2), promised) + "ab";
		std::swap(s[s.size() - 10], s[s.size() - 12]);
		break;
	}
	case 3: // no end packet
		s.resize(s.size() - 2);
		break;
	default:
		break;
	}
	return s;
}

// Where the chunks of an input end: up to seven places anywhere, and its end.
std::vector<std::size_t> cuts(std::size_t size, std::mt19937 rng)
{
	std::vector<std::size_t> at(rng() % 8);
	for (std::size_t &cut : at)
		cut = rng() % (size + 1);
	at.push_back(size);
	std::sort(at.begin(), at.end());
	return at;
}

bool same(const std::string &input, const std::string &name, const std::vector<std::size_t> &cuts)
{
	std::string err;
	model_result got = run(input, cuts, err);
	model_result want = model_convert(
	    reinterpret_cast<const unsigned char *>(input.data()), input.size());
	std::string want_err = want.status == 0 ? "" : program + ": " + want.message + "\n";
	if (got.out == want.out && got.status == want.status && err == want_err)
		return true;
	spill(dir + "/" + name + ".pfb", input);
	std::string ends;
	for (std::size_t cut : cuts)
		ends += " " + std::to_string(cut);
	std::printf("FAIL: %s differs from the model (input kept in %s/%s.pfb, read in"
		    " chunks ending at%s): status %d, expected %d; stderr \"%s\", expected"
		    " \"%s\"; output %s\n",
	    name.c_str(), dir.c_str(), name.c_str(), ends.c_str(), got.status, want.status,
	    err.c_str(), want_err.c_str(), got.out == want.out ? "same" : "differs");
	return false;
}

void remove_dir()
{
	if (std::system(("rm -rf " + dir).c_str()) != 0)
		std::fprintf(stderr, "differential: could not remove %s\n", dir.c_str());
}

} // namespace

int main(int argc, char *argv[])
{
	if (argc < 2) {
		std::fprintf(stderr, "usage: differential PROGRAM [-s SEED] [-n COUNT] [FILE...]\n"
				     "       differential PROGRAM --feed FILE...\n");
		return 2;
	}
	program = argv[1];
	unsigned long seed = 1;
	int count = 500;
	std::vector<std::string> files;
	for (int i = 2; i < argc; i++) {
		std::string a = argv[i];
		if (a == "-s" && i + 1 < argc)
			seed = std::strtoul(argv[++i], nullptr, 10);
		else if (a == "-n" && i + 1 < argc)
			count = std::atoi(argv[++i]);
		else
			files.push_back(a);
	}
	const char *tmp = std::getenv("TMPDIR");
	std::string tmpl = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/differential.XXXXXX";
	if (mkdtemp(&tmpl[0]) == nullptr)
		return 2;
	dir = tmpl;
	std::signal(SIGPIPE, SIG_IGN);
	if (!files.empty() && files[0] == "--feed") {
		// The program alone, on the files' bytes, each file in a read of its
		// own: its output, its messages and its status.
		std::string input, err;
		std::vector<std::size_t> ends;
		for (std::size_t i = 1; i < files.size(); i++)
			ends.push_back((input += slurp(files[i])).size());
		model_result got = run(input, ends, err);
		std::fwrite(got.out.data(), 1, got.out.size(), stdout);
		std::fwrite(err.data(), 1, err.size(), stderr);
		remove_dir();
		return got.status;
	}

	int passed = 0, failed = 0;
	for (int i = 0; i < count; i++) {
		std::mt19937 rng(static_cast<std::mt19937::result_type>(seed * 100003 + static_cast<unsigned long>(i)));
		std::string name = "seed-" + std::to_string(seed) + "-case-" + std::to_string(i);
		std::string input = stream(rng);
		(same(input, name, cuts(input.size(), rng)) ? passed : failed)++;
	}
	std::mt19937 rng(static_cast<std::mt19937::result_type>(seed));
	for (const std::string &f : files) {
		std::string input = slurp(f);
		(same(input, f.substr(f.find_last_of('/') + 1), cuts(input.size(), rng)) ? passed : failed)++;
	}

	// The inputs that failed stay in the folder.
	if (failed == 0)
		remove_dir();
	std::printf("%d passed, %d failed\n", passed, failed);
	return failed == 0 ? 0 : 1;
}

// A plain byte-at-a-time model of the whole conversion, written for clarity
// rather than speed, that the program is checked against.
#ifndef TESTS_MODEL_H
#define TESTS_MODEL_H

#include <cstddef>
#include <string>

struct model_result {
	std::string out;     // standard output
	int status;          // exit status
	std::string message; // the diagnostic without the program name, or ""
};

model_result model_convert(const unsigned char *data, std::size_t size);

#endif

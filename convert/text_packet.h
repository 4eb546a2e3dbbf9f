// The text packet writer.
#ifndef CONVERT_TEXT_PACKET_H
#define CONVERT_TEXT_PACKET_H

#include <cstdint>

// Copies the next length bytes of input as PostScript program text, with
// line ends made LF and long lines broken where the break keeps the meaning.
void write_text_packet(std::int32_t length);

// A line is broken before a character once the column has reached this.
constexpr int column_limit = 78;

// The octal digits an escape in a string may have after its backslash.
constexpr int octal_digits = 3;

#endif

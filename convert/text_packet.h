// The text packet writer.
#ifndef CONVERT_TEXT_PACKET_H
#define CONVERT_TEXT_PACKET_H

#include <cstdint>

// Copies the next length bytes of input as PostScript program text, with
// line ends made LF and long lines broken where the break keeps the meaning.
void write_text_packet(std::int32_t length);

#endif

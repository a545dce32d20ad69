// The output gain of an Ogg Opus stream's identification header (OpusHead, RFC 7845): a
// gain every player applies, in 1/256 dB, held in the stream's first page.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "common/error.h"

// The CRC-32 of an Ogg page (polynomial 0x04c11db7, not reflected, initial value 0) over
// `page` with its checksum field taken as zero.
uint32_t OggPageCrc(std::span<const uint8_t> page);

// Reads the output gain (Q7.8 dB) of the Opus stream in the file open at `fd`. Nothing when
// the file does not start with an Ogg page holding a whole OpusHead packet.
std::optional<int16_t> ReadOpusOutputGain(int fd);

// Sets the output gain of the OpusHead in the first page of the file open (read and write)
// at `fd`, and the page's checksum with it; the page keeps its length. A Format error when
// the file does not start with a whole OpusHead page, an Io error when it cannot be
// written.
Outcome WriteOpusOutputGain(int fd, int16_t gainQ78);

// `db` as Q7.8 (1/256 dB), rounded and kept within the 16 bits the header holds.
int16_t GainQ78(double db);

// ADTS frame headers: sync word, profile, sampling frequency, channels and frame length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "common/result.h"

namespace zbaac {

class BitReader;
struct SyntaxState;

struct AdtsHeader {
  int id = 0;                     // 0 MPEG-4, 1 MPEG-2
  int layer = 0;
  bool protectionAbsent = true;   // false: a CRC (and block positions) follow the header
  int profile = 0;                // object type - 1: 0 Main, 1 LC, 2 SSR, 3 LTP
  int samplingIndex = 0;
  int channelConfiguration = 0;
  int frameLengthBytes = 0;       // the whole frame, header included
  int bufferFullness = 0;
  int rawDataBlocks = 1;          // number_of_raw_data_blocks_in_frame + 1
  int headerBytes = 7;            // 7, or 9 and more when protected
};

enum class AdtsErrorKind {
  NoSync,               // the 12-bit sync word is not 0xFFF
  ReservedSampling,     // sampling index without a band table (12 .. 15)
  BadFrameLength,       // frame length shorter than its header
  Truncated,            // fewer bytes than the header needs
};

struct AdtsError {
  AdtsErrorKind kind;
  std::uint64_t byteOffset = 0;
};

// Reads one header (and its error-check fields when protected; the CRC is not checked)
// at the reader's position, which must be byte-aligned.
Result<AdtsHeader, AdtsError> ParseAdtsHeader(BitReader& reader);
// The same on bytes in memory, the header starting at `offset`.
Result<AdtsHeader, AdtsError> ParseAdtsHeader(std::span<const std::uint8_t> bytes, std::size_t offset);

// Takes the frame's sampling index and object type into the parse state.
void ApplyAdtsHeader(const AdtsHeader& header, SyntaxState& state);

}  // namespace zbaac

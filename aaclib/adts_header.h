// ADTS frame headers: sync word, profile, sampling frequency, channels and frame length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "common/error.h"

namespace zbaac {

class AacInput;
class BitReader;
struct SyntaxState;

// The longest header: the 7 fixed bytes, then for a protected frame up to three block
// positions and the CRC.
constexpr std::size_t kAdtsLongestHeaderBytes = 15;

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

// Why a header was refused; the search acts on a header cut off by the end of the input.
enum class AdtsFault {
  NoSync,               // the 12-bit sync word is not 0xFFF
  WrongLayer,           // layer is not 0 (the header of another MPEG audio layer)
  ReservedSampling,     // sampling index without a band table (12 .. 15)
  BadFrameLength,       // frame length shorter than its header
  Truncated,            // fewer bytes than the header needs
};

// Reads one header (and its error-check fields when protected; the CRC is not checked)
// at the reader's position, which must be byte-aligned. A refused header fails with a
// Format error at the header's first byte, its AdtsFault attached.
Expected<AdtsHeader> ParseAdtsHeader(BitReader& reader);
// The same on bytes in memory, the header starting at `offset` (the error's position).
Expected<AdtsHeader> ParseAdtsHeader(std::span<const std::uint8_t> bytes, std::size_t offset);

// True when the fields that stay the same through a stream (the fixed header: id, layer,
// protection, profile, sampling index, channel configuration) match.
inline bool SameFixedHeader(const AdtsHeader& a, const AdtsHeader& b) {
  return a.id == b.id && a.layer == b.layer && a.protectionAbsent == b.protectionAbsent && a.profile == b.profile &&
         a.samplingIndex == b.samplingIndex && a.channelConfiguration == b.channelConfiguration;
}

struct AdtsSync {
  std::uint64_t offset = 0;  // first byte of the header
  AdtsHeader header;
};

// Searches the input for the first frame header at or after byte `from` and before
// `limit` that matches `reference` in its fixed header (when given) and that what follows
// confirms: where the frame ends there is another header with the same fixed header, or,
// with `lastFrameConfirms`, the end of the input (or a header cut off by it). One header
// alone is too easily found by chance in damaged data or in raw blocks; so is a frame
// that merely ends at the end of the input, unless the fixed header was given to match.
std::optional<AdtsSync> FindAdtsFrame(const AacInput& input, std::uint64_t from, std::uint64_t limit,
                                      const AdtsHeader* reference, bool lastFrameConfirms);
// The header at `offset` when it is valid and matches `reference` (when given).
std::optional<AdtsHeader> AdtsHeaderAt(const AacInput& input, std::uint64_t offset, const AdtsHeader* reference);

// Takes the frame's sampling index and object type into the parse state.
void ApplyAdtsHeader(const AdtsHeader& header, SyntaxState& state);

}  // namespace zbaac

// The encoder delay and padding a stream states: the "iTunSMPB" text of an ID3v2 frame
// (COMM or TXXX) in the tag in front of the stream. ADTS and ADIF themselves have no field
// for it; a stream without the text is taken as it decodes.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zbaac {

class AacInput;

struct EncoderGap {
  std::uint32_t delayFrames = 0;    // priming: sample periods to drop at the start
  std::uint32_t paddingFrames = 0;  // sample periods the encoder added at the end
  std::uint64_t validFrames = 0;    // the audio that was encoded, in sample periods
};

// Reads " 00000000 00000840 000001CA 00000000003F31F6 ...": hexadecimal words (a reserved
// one, delay, padding, original length). Nothing when the words are missing or not
// hexadecimal, or when the length is 0.
std::optional<EncoderGap> ParseItunSmpb(std::string_view text);

// The gap stated by the ID3v2 tag (versions 2.3 and 2.4) of tagBytes bytes at the start of
// input, if any of its COMM or TXXX frames is described "iTunSMPB".
std::optional<EncoderGap> FindEncoderGap(const AacInput& input, std::uint64_t tagBytes);

}  // namespace zbaac

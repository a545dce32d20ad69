// What the decode of one stream came to: what was decoded, skipped and left, and the verdict
// that the library's callers all take over, so that they judge a stream alike.
#pragma once

#include <cstdint>

namespace zbaac {

enum class DecodeVerdict {
  Running,       // the decode has not come to its end
  Ok,            // decoded to its end; nothing lost
  OkWithLosses,  // decoded to its end; a small share was skipped, unread or cut off (warn)
  NoAudio,       // no audio found: nothing decoded, or the stream failed within its first blocks
  Damaged,       // more than the tolerated share of the input did not decode
  CannotRead,    // the input could not be opened or read
};

struct DecodeReport {
  std::uint64_t inputBytes = 0;
  std::uint64_t blocksDecoded = 0;   // blocks of the stream with channel elements
  std::uint64_t blocksEmpty = 0;     // blocks of the stream without channel elements (silence)
  std::uint64_t blocksSilent = 0;    // blocks of silence in place of lost frames
  std::uint64_t framesSkipped = 0;   // damaged frames, and frames taken to be lost in a gap
  std::uint64_t bytesSkipped = 0;    // damaged frames, and bytes without a frame before or between frames
  std::uint64_t bytesUnread = 0;     // after the last block: trailing junk, or the rest of a stream that stopped
  std::uint64_t bytesTruncated = 0;  // an incomplete last block or frame that the end of the input cut off
  std::uint64_t bytesMetadata = 0;   // ID3 tags in front of and behind the stream
  int errorNumber = 0;               // errno when the input could not be opened or read
  bool ended = false;                // Decode has given its last block
};

// A decode is an error when more than one part in kLostShareDivisor of its input (tags
// aside) did not decode. One frame is 21 to 23 ms at 44.1 and 48 kHz: a few damaged frames
// per minute cost a few clicks and leave the rest worth keeping (what a player makes of
// such a file), while one part in 20 is three seconds of every minute lost, which is no
// longer the recording the file was.
inline constexpr std::uint64_t kLostShareDivisor = 20;
// A stream that loses more than the share before this many blocks have decoded held no
// audio in the first place: random bytes can pass for a block or two.
inline constexpr std::uint64_t kFirstBlocks = 8;

// Bytes that did not decode: skipped, unread (a truncated last block is not lost).
std::uint64_t LostBytes(const DecodeReport& report);
// The share of the input (tags aside) that did not decode, in thousandths (0 .. 1000).
std::uint32_t LostPerMille(const DecodeReport& report);
DecodeVerdict Judge(const DecodeReport& report);

}  // namespace zbaac

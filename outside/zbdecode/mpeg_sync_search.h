// Finding where the MPEG audio of an input starts, past leading junk and tags.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The input is fed in order, in pieces of any size. A sync word alone proves nothing:
// random bytes, PCM samples and the boxes of other formats hold one every few kilobytes,
// and pairs of plausible headers are common enough that a lenient decoder turns such
// files into noise. So the audio starts at the first frame header that begins a chain of
// kChainFrames frames of one stream, each header where the frame before it ends; a
// shorter chain counts only when it runs into the end of the input or a tag behind the
// audio (a file of two or three frames). ID3v2 tags at the start are stepped over by
// their size. The whole input is searched: there is no limit on the junk before the
// audio. Memory stays within a few frames whatever the input's size.
class MpegSyncSearch {
 public:
  enum class State {
    NeedMore,  // feed more (or call FeedEnd)
    Found,     // StartOffset() is the first frame
    NotFound,  // the input ended without MPEG audio
  };
  static constexpr int kChainFrames = 4;

  // Appends the next bytes of the input.
  void Feed(const uint8_t* data, size_t bytes);
  // The input has ended: Search then gives Found or NotFound.
  void FeedEnd() { ended_ = true; }
  State Search();

  // When Found: the input offset of the first frame, and the bytes already fed from
  // there on, which the decoder must read before the rest of the input.
  uint64_t StartOffset() const { return cursor_; }
  std::vector<uint8_t> TakeBytesFromStart();
  // Input bytes fed so far.
  uint64_t FedBytes() const { return bufferStart_ + buffer_.size(); }

 private:
  enum class Chain { Confirmed, Broken, NeedMore };
  Chain CheckChain(uint64_t at) const;
  bool Have(uint64_t offset, size_t bytes) const { return offset >= bufferStart_ && offset + bytes <= FedBytes(); }
  const uint8_t* At(uint64_t offset) const { return buffer_.data() + (offset - bufferStart_); }
  // The size of the ID3v2 tag at the cursor, 0 when there is none.
  uint64_t Id3v2TagBytes() const;

  std::vector<uint8_t> buffer_;  // input bytes from bufferStart_ on
  uint64_t bufferStart_ = 0;
  uint64_t cursor_ = 0;          // the next candidate position
  uint64_t tagCheckAt_ = 0;      // where an ID3v2 tag may start; UINT64_MAX when none may
  bool ended_ = false;
};

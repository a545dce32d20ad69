// The search for the first frame of an MPEG audio stream.
#include "outside/zbdecode/mpeg_sync_search.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "outside/zbdecode/mpeg_frame_header.h"

namespace {

// Free-format frames state no size: it is the distance to the next header of the stream,
// looked for within these bounds (640 kbit/s at 32000 Hz needs 2880 bytes).
constexpr uint64_t kFreeFormatShortestFrame = 16;
constexpr uint64_t kFreeFormatLongestFrame = 4096;
constexpr uint64_t kNoTag = std::numeric_limits<uint64_t>::max();

// Tags that may follow the audio: ID3v1, APEv2, Lyrics3, an appended ID3v2.
bool IsTrailingTag(const uint8_t* b) {
  return std::memcmp(b, "TAG", 3) == 0 || std::memcmp(b, "APET", 4) == 0 || std::memcmp(b, "LYRI", 4) == 0 ||
         std::memcmp(b, "ID3", 3) == 0;
}

}  // namespace

void MpegSyncSearch::Feed(const uint8_t* data, size_t bytes) {
  // Bytes inside a tag the cursor has stepped over are not kept.
  if (buffer_.empty() && cursor_ > bufferStart_) {
    const uint64_t skip = std::min<uint64_t>(bytes, cursor_ - bufferStart_);
    data += skip;
    bytes -= static_cast<size_t>(skip);
    bufferStart_ += skip;
  }
  buffer_.insert(buffer_.end(), data, data + bytes);
}

uint64_t MpegSyncSearch::Id3v2TagBytes() const {
  const uint8_t* b = At(cursor_);
  if (std::memcmp(b, "ID3", 3) != 0 || b[3] == 0xFF || b[4] == 0xFF) return 0;
  uint64_t size = 0;
  for (int i = 6; i < 10; ++i) {
    if (b[i] & 0x80) return 0;  // the size is stored 7 bits a byte
    size = (size << 7) | b[i];
  }
  const bool footer = (b[5] & 0x10) != 0;
  return 10 + size + (footer ? 10 : 0);
}

MpegSyncSearch::State MpegSyncSearch::Search() {
  for (;;) {
    if (cursor_ == tagCheckAt_) {
      if (!Have(cursor_, 10) && !ended_) break;
      const uint64_t tag = Have(cursor_, 10) ? Id3v2TagBytes() : 0;
      if (tag == 0) {
        tagCheckAt_ = kNoTag;
      } else {
        // Tags may follow one another; the audio starts behind the last.
        cursor_ += tag;
        tagCheckAt_ = cursor_;
        if (cursor_ >= FedBytes()) {
          bufferStart_ = FedBytes();
          buffer_.clear();
        }
        continue;
      }
    }
    if (!Have(cursor_, 4)) {
      if (ended_) return State::NotFound;
      break;
    }
    const uint8_t* b = At(cursor_);
    if (b[0] == 0xFF && (b[1] & 0xE0) == 0xE0) {
      const Chain chain = CheckChain(cursor_);
      if (chain == Chain::Confirmed) return State::Found;
      if (chain == Chain::NeedMore) break;
    }
    ++cursor_;
  }
  // Keep only what a later chain check can still need.
  if (cursor_ > bufferStart_ && cursor_ <= FedBytes()) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(cursor_ - bufferStart_));
    bufferStart_ = cursor_;
  }
  return State::NeedMore;
}

MpegSyncSearch::Chain MpegSyncSearch::CheckChain(uint64_t at) const {
  const std::optional<MpegFrameHeader> first = ParseMpegFrameHeader(At(at));
  if (!first) return Chain::Broken;
  uint64_t freeFrameBytes = 0;  // free format: the frame size without padding
  uint64_t next = at + first->frameBytes;
  if (first->bitRateKbps == 0) {
    uint64_t found = 0;
    for (uint64_t q = at + kFreeFormatShortestFrame; q <= at + kFreeFormatLongestFrame && found == 0; ++q) {
      if (!Have(q, 4)) return ended_ ? Chain::Broken : Chain::NeedMore;
      const std::optional<MpegFrameHeader> h = ParseMpegFrameHeader(At(q));
      if (h && SameMpegStream(*first, *h)) found = q;
    }
    if (found == 0) return Chain::Broken;
    freeFrameBytes = found - at - first->paddingBytes;
    next = found;
  }
  // A chain that reaches the end of the input (the last frame may be cut) or a tag behind
  // the audio is a short file, once two headers agree. A free-format second header agrees
  // by construction (it was searched for in a window of 4 KB, which other data matches
  // often enough: the index of an MP4 file does), so there the third is the first
  // independent check.
  const int shortFileHeaders = first->bitRateKbps == 0 ? 3 : 2;
  for (int headers = 1;; ++headers) {
    if (headers == kChainFrames) return Chain::Confirmed;
    if (ended_ && next + 4 > FedBytes()) return headers >= shortFileHeaders ? Chain::Confirmed : Chain::Broken;
    if (!Have(next, 4)) return Chain::NeedMore;
    if (IsTrailingTag(At(next))) return headers >= shortFileHeaders ? Chain::Confirmed : Chain::Broken;
    const std::optional<MpegFrameHeader> h = ParseMpegFrameHeader(At(next));
    if (!h || !SameMpegStream(*first, *h)) return Chain::Broken;
    next += h->bitRateKbps == 0 ? freeFrameBytes + h->paddingBytes : h->frameBytes;
  }
}

std::vector<uint8_t> MpegSyncSearch::TakeBytesFromStart() {
  std::vector<uint8_t> bytes;
  const uint64_t fed = FedBytes();
  if (cursor_ >= bufferStart_ && cursor_ <= fed) {
    bytes.assign(buffer_.begin() + static_cast<std::ptrdiff_t>(cursor_ - bufferStart_), buffer_.end());
  }
  buffer_.clear();
  bufferStart_ = fed;
  return bytes;
}

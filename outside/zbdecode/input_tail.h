// The part of an input from a start offset on, as the decoder library reads it.
#pragma once

#include <cstdint>
#include <vector>

#include "outside/zbdecode/input_source.h"

// Offsets are counted from the start offset, so the library sees a stream that begins
// with the first frame. Bytes already read from the source while looking for that frame
// are served first, then small reads are served from larger reads of the source; a seek
// (possible only when the source can seek) drops the bytes read ahead and moves the
// source itself.
class InputTail {
 public:
  // source is positioned at start + pending.size().
  InputTail(InputSource& source, uint64_t start, std::vector<uint8_t> pending);

  // Bytes read, 0 at the end, negative on failure.
  int64_t Read(void* buffer, uint32_t bytes);
  // The new offset from the start, or -1 (an offset before the start included).
  int64_t Seek(int64_t offset, int whence);
  // The offset in the whole input of the byte `tailOffset` of this tail.
  uint64_t InputOffset(int64_t tailOffset) const { return start_ + uint64_t(tailOffset > 0 ? tailOffset : 0); }

 private:
  InputSource& source_;
  uint64_t start_;
  std::vector<uint8_t> pending_;
  size_t pendingAt_ = 0;
  uint64_t position_ = 0;  // offset from the start of the next byte Read gives
};

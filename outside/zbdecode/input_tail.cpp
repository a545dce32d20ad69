// Reading an input from the offset of its first frame on.
#include "outside/zbdecode/input_tail.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// The decoder library asks for a frame's header, then for the rest of the frame: reading
// ahead this much serves a hundred and more of its small reads with one read of the source.
constexpr size_t kReadAheadBytes = 64 * 1024;

}  // namespace

InputTail::InputTail(InputSource& source, uint64_t start, std::vector<uint8_t> pending)
    : source_(source), start_(start), pending_(std::move(pending)) {}

int64_t InputTail::Read(void* buffer, uint32_t bytes) {
  if (pendingAt_ >= pending_.size() && bytes < kReadAheadBytes) {
    // A small read: the source's next bytes become the pending ones (a stream gives what
    // it has, no more).
    pending_.resize(kReadAheadBytes);
    const int64_t got = source_.Read(pending_.data(), uint32_t(kReadAheadBytes));
    pending_.resize(got > 0 ? size_t(got) : 0);
    pendingAt_ = 0;
    if (got <= 0) return got;
  }
  if (pendingAt_ < pending_.size()) {
    const size_t count = std::min<size_t>(bytes, pending_.size() - pendingAt_);
    std::memcpy(buffer, pending_.data() + pendingAt_, count);
    pendingAt_ += count;
    position_ += count;
    return int64_t(count);
  }
  const int64_t got = source_.Read(buffer, bytes);
  if (got > 0) position_ += uint64_t(got);
  return got;
}

int64_t InputTail::Seek(int64_t offset, int whence) {
  const uint64_t sourceAt = start_ + position_ + (pending_.size() - pendingAt_);
  int64_t target = -1;
  if (whence == SEEK_END) {
    target = source_.Seek(offset, SEEK_END);
  } else if (whence == SEEK_SET || whence == SEEK_CUR) {
    const int64_t from = whence == SEEK_SET ? 0 : int64_t(position_);
    if (from + offset < 0) return -1;
    target = source_.Seek(int64_t(start_) + from + offset, SEEK_SET);
  }
  if (target < 0) return -1;
  if (uint64_t(target) < start_) {
    // Before the first frame: put the source back where it was.
    source_.Seek(int64_t(sourceAt), SEEK_SET);
    return -1;
  }
  pending_.clear();
  pendingAt_ = 0;
  position_ = uint64_t(target) - start_;
  return int64_t(position_);
}

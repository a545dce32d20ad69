// File and memory input of the AAC decoder, in buffer loads.
#include "aaclib/aac_input.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

namespace zbaac {

Expected<AacInput> AacInput::OpenFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return Fail(IoError(errno, path, "cannot open " + path));
  // A folder opens for reading on Linux, and then every read fails.
  struct stat info {};
  if (::fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode)) {
    std::fclose(file);
    return Fail(IoError(EISDIR, path, "cannot open " + path));
  }
  AacInput input;
  input.file_ = file;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    long size = std::ftell(file);
    if (size > 0) input.sizeBytes_ = static_cast<std::uint64_t>(size);
  }
  std::fseek(file, 0, SEEK_SET);
  input.buffer_.resize(kBufferBytes);
  input.fill_ = std::fread(input.buffer_.data(), 1, kBufferBytes, file);
  if (input.fill_ == 0) {
    input.endOfInput_ = true;
    if (std::ferror(file)) input.readError_ = errno;
  }
  return input;
}

AacInput AacInput::FromBytes(std::vector<std::uint8_t> bytes) {
  AacInput input;
  input.sizeBytes_ = bytes.size();
  input.fill_ = bytes.size();
  input.buffer_ = std::move(bytes);
  input.endOfInput_ = input.fill_ == 0;
  input.inMemory_ = true;
  return input;
}

AacInput::AacInput(AacInput&& other) noexcept { *this = std::move(other); }

AacInput& AacInput::operator=(AacInput&& other) noexcept {
  if (this == &other) return *this;
  if (file_ != nullptr) std::fclose(file_);
  file_ = std::exchange(other.file_, nullptr);
  buffer_ = std::move(other.buffer_);
  fill_ = std::exchange(other.fill_, 0);
  bytesBeforeBuffer_ = std::exchange(other.bytesBeforeBuffer_, 0);
  sizeBytes_ = std::exchange(other.sizeBytes_, 0);
  endOfInput_ = std::exchange(other.endOfInput_, false);
  inMemory_ = std::exchange(other.inMemory_, false);
  readError_ = std::exchange(other.readError_, 0);
  return *this;
}

AacInput::~AacInput() {
  if (file_ != nullptr) std::fclose(file_);
}

bool AacInput::LoadNext() {
  if (endOfInput_) return false;
  bytesBeforeBuffer_ += fill_;
  fill_ = 0;
  if (file_ != nullptr) {
    fill_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    if (fill_ == 0 && std::ferror(file_)) readError_ = errno;
  }
  if (fill_ == 0) endOfInput_ = true;
  return fill_ != 0;
}

std::uint64_t AacInput::SeekTo(std::uint64_t offset) {
  if (inMemory_) {
    // One load holds the whole stream.
    bytesBeforeBuffer_ = 0;
    fill_ = buffer_.size();
    endOfInput_ = fill_ == 0;
    return 0;
  }
  bytesBeforeBuffer_ = offset;
  fill_ = 0;
  endOfInput_ = true;
  if (file_ == nullptr || offset > static_cast<std::uint64_t>(std::numeric_limits<long>::max())) return offset;
  if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) {
    readError_ = errno;
    return offset;
  }
  fill_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
  if (fill_ == 0 && std::ferror(file_)) readError_ = errno;
  endOfInput_ = fill_ == 0;
  return offset;
}

std::size_t AacInput::ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t count) const {
  if (inMemory_) {
    if (offset >= buffer_.size()) return 0;
    const std::size_t n = std::min<std::size_t>(count, buffer_.size() - static_cast<std::size_t>(offset));
    std::memcpy(out, buffer_.data() + offset, n);
    return n;
  }
  if (file_ == nullptr) return 0;
  const std::uint64_t loadStart = bytesBeforeBuffer_;
  const std::uint64_t loadEnd = bytesBeforeBuffer_ + fill_;
  std::size_t got = 0;
  while (got < count) {
    const std::uint64_t at = offset + got;
    if (at >= loadStart && at < loadEnd) {
      // Bytes the current load holds come from it, as the reader sees them.
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count - got, loadEnd - at));
      std::memcpy(out + got, buffer_.data() + (at - loadStart), n);
      got += n;
      continue;
    }
    // The rest from the file, up to the load when it lies ahead; pread leaves the file
    // position of the loads alone.
    const std::size_t want =
        at < loadStart && fill_ > 0 ? static_cast<std::size_t>(std::min<std::uint64_t>(count - got, loadStart - at))
                                    : count - got;
    const ssize_t n = ::pread(fileno(file_), out + got, want, static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

}  // namespace zbaac

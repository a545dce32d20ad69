// File and memory input of the AAC decoder, taken two bytes at a time.
#include "aaclib/aac_input.h"

#include <cerrno>
#include <utility>

namespace zbaac {

Result<AacInput, InputError> AacInput::OpenFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return Fail(InputError{path, errno});
  AacInput input;
  input.file_ = file;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    long size = std::ftell(file);
    if (size > 0) input.sizeBytes_ = static_cast<std::uint64_t>(size);
  }
  std::fseek(file, 0, SEEK_SET);
  input.buffer_.resize(kBufferBytes);
  input.fill_ = std::fread(input.buffer_.data(), 1, kBufferBytes, file);
  return input;
}

AacInput AacInput::FromBytes(std::vector<std::uint8_t> bytes) {
  AacInput input;
  input.sizeBytes_ = bytes.size();
  input.fill_ = bytes.size();
  input.buffer_ = std::move(bytes);
  input.memory_ = true;
  return input;
}

AacInput::AacInput(AacInput&& other) noexcept { *this = std::move(other); }

AacInput& AacInput::operator=(AacInput&& other) noexcept {
  if (this == &other) return *this;
  if (file_ != nullptr) std::fclose(file_);
  file_ = std::exchange(other.file_, nullptr);
  buffer_ = std::move(other.buffer_);
  fill_ = std::exchange(other.fill_, 0);
  readPos_ = std::exchange(other.readPos_, 0);
  bytesBeforeBuffer_ = std::exchange(other.bytesBeforeBuffer_, 0);
  sizeBytes_ = std::exchange(other.sizeBytes_, 0);
  fetchedBits_ = std::exchange(other.fetchedBits_, 0);
  lastWordBytes_ = std::exchange(other.lastWordBytes_, 0);
  endOfInput_ = std::exchange(other.endOfInput_, false);
  memory_ = std::exchange(other.memory_, false);
  return *this;
}

AacInput::~AacInput() {
  if (file_ != nullptr) std::fclose(file_);
}

bool AacInput::Refill() {
  bytesBeforeBuffer_ += fill_;
  readPos_ = 0;
  fill_ = 0;
  if (file_ != nullptr && !memory_) {
    fill_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
  }
  if (fill_ == 0) endOfInput_ = true;
  return fill_ != 0;
}

int AacInput::NextByte() {
  if (endOfInput_) return -1;
  if (readPos_ >= fill_ && !Refill()) return -1;
  return buffer_[readPos_++];
}

std::uint16_t AacInput::FetchWordAcrossLoads() {
  if (endOfInput_) {
    // Past the end every word is zero and still counted, so a caller that keeps
    // reading sees its bit count grow.
    lastWordBytes_ = 0;
    fetchedBits_ += 16;
    return 0;
  }
  int high = NextByte();
  if (high < 0) {
    lastWordBytes_ = 0;
    return 0;
  }
  int low = NextByte();
  fetchedBits_ += 16;
  if (low < 0) {
    // An odd-sized input: the last byte arrives alone, with zero bits below it.
    lastWordBytes_ = 1;
    return static_cast<std::uint16_t>(high << 8);
  }
  lastWordBytes_ = 2;
  return static_cast<std::uint16_t>((high << 8) | low);
}

}  // namespace zbaac

// File and memory input of the AAC decoder, in buffer loads.
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
  if (input.fill_ == 0) input.endOfInput_ = true;
  return input;
}

AacInput AacInput::FromBytes(std::vector<std::uint8_t> bytes) {
  AacInput input;
  input.sizeBytes_ = bytes.size();
  input.fill_ = bytes.size();
  input.buffer_ = std::move(bytes);
  input.endOfInput_ = input.fill_ == 0;
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
  return *this;
}

AacInput::~AacInput() {
  if (file_ != nullptr) std::fclose(file_);
}

bool AacInput::LoadNext() {
  if (endOfInput_) return false;
  bytesBeforeBuffer_ += fill_;
  fill_ = 0;
  if (file_ != nullptr) fill_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
  if (fill_ == 0) endOfInput_ = true;
  return fill_ != 0;
}

}  // namespace zbaac

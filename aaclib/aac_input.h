// The byte source of the AAC bit reader: a file read in 128 KiB loads, or bytes in memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "common/result.h"

namespace zbaac {

struct InputError {
  std::string path;
  int errnoValue = 0;  // errno of the failed fopen
};

// Owns the input of one stream. Move-only (it owns the FILE*).
//
// The bytes come in loads: the current load is Bytes(); LoadNext() replaces it with the
// next part of the file. Once a load finds no byte the input is at its end and stays there.
class AacInput {
 public:
  static constexpr std::size_t kBufferBytes = 0x20000;

  AacInput() = default;
  // Opens `path` for reading and fills the first buffer load.
  static Result<AacInput, InputError> OpenFile(const std::string& path);
  // A stream held in memory (tests, tools, streams unpacked from a container): one load.
  static AacInput FromBytes(std::vector<std::uint8_t> bytes);

  AacInput(AacInput&& other) noexcept;
  AacInput& operator=(AacInput&& other) noexcept;
  AacInput(const AacInput&) = delete;
  AacInput& operator=(const AacInput&) = delete;
  ~AacInput();

  // The bytes of the current load (empty at the end of the input).
  std::span<const std::uint8_t> Bytes() const { return {buffer_.data(), fill_}; }
  // Replaces the current load with the next one; false (and EndOfInput()) when the file
  // has no byte more. The bytes of the load it replaces must all have been taken.
  bool LoadNext();

  bool EndOfInput() const { return endOfInput_; }
  bool IsFile() const { return file_ != nullptr; }
  // Bytes of the loads before the current one.
  std::uint64_t BytesBeforeBuffer() const { return bytesBeforeBuffer_; }
  // Size of the file (or of the memory stream) in bytes, as measured when opened.
  std::uint64_t SizeBytes() const { return sizeBytes_; }

 private:
  std::FILE* file_ = nullptr;
  std::vector<std::uint8_t> buffer_;
  std::size_t fill_ = 0;
  std::uint64_t bytesBeforeBuffer_ = 0;
  std::uint64_t sizeBytes_ = 0;
  bool endOfInput_ = false;
};

}  // namespace zbaac

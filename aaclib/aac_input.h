// The byte source of the AAC bit reader: a file read in 128 KiB loads, or bytes in memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "common/error.h"

namespace zbaac {

// Owns the input of one stream. Move-only (it owns the FILE*).
//
// The bytes come in loads: the current load is Bytes(); LoadNext() replaces it with the
// next part of the file. Once a load finds no byte the input is at its end and stays there.
class AacInput {
 public:
  static constexpr std::size_t kBufferBytes = 0x20000;

  AacInput() = default;
  // Opens `path` for reading and fills the first buffer load. Fails with an Io error
  // ("cannot open PATH: REASON", errnum the fopen's errno); a folder fails with EISDIR.
  static Expected<AacInput> OpenFile(const std::string& path);
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

  // Makes the current load start at the load that holds `offset` (for a file, the bytes
  // from `offset` on), so that a reader can go on from any byte, backwards included.
  // Returns the offset of the load's first byte.
  std::uint64_t SeekTo(std::uint64_t offset);
  // Copies up to `count` bytes from `offset` into `out`, whatever the current load; fewer
  // at the end of the input, 0 past it or on a read error. Leaves the loads as they are.
  // Bytes the current load holds are copied from it; only the others are read from the file.
  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t count) const;

  bool EndOfInput() const { return endOfInput_; }
  bool IsFile() const { return file_ != nullptr; }
  // Bytes of the loads before the current one.
  std::uint64_t BytesBeforeBuffer() const { return bytesBeforeBuffer_; }
  // Size of the file (or of the memory stream) in bytes, as measured when opened.
  std::uint64_t SizeBytes() const { return sizeBytes_; }
  // errno of a read that failed (EISDIR for a folder), else 0.
  int ReadError() const { return readError_; }

 private:
  std::FILE* file_ = nullptr;
  std::vector<std::uint8_t> buffer_;
  std::size_t fill_ = 0;
  std::uint64_t bytesBeforeBuffer_ = 0;
  std::uint64_t sizeBytes_ = 0;
  bool endOfInput_ = false;
  bool inMemory_ = false;
  int readError_ = 0;
};

}  // namespace zbaac

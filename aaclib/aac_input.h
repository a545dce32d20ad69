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
// Words are taken two bytes at a time, the first byte high. A load of the buffer may fall
// between the two bytes of a word. Once a load reads no byte the input is at its end:
// that fetch yields 0 and is not counted; every later fetch yields 0 without reading and
// counts 16 bits, so a parse that runs over the end sees zero bits and terminates.
class AacInput {
 public:
  static constexpr std::size_t kBufferBytes = 0x20000;

  AacInput() = default;
  // Opens `path` for reading and fills the first buffer load.
  static Result<AacInput, InputError> OpenFile(const std::string& path);
  // A stream held in memory (tests, tools, streams unpacked from a container).
  static AacInput FromBytes(std::vector<std::uint8_t> bytes);

  AacInput(AacInput&& other) noexcept;
  AacInput& operator=(AacInput&& other) noexcept;
  AacInput(const AacInput&) = delete;
  AacInput& operator=(const AacInput&) = delete;
  ~AacInput();

  // The next two bytes as one word (first byte high); 0 at end of input (see above).
  // Adds 16 to FetchedBits() for every word delivered.
  std::uint16_t FetchWord() {
    // Both bytes in the current load: the common case, without the end-of-load checks.
    if (readPos_ + 2 <= fill_ && !endOfInput_) {
      const std::uint8_t* at = buffer_.data() + readPos_;
      readPos_ += 2;
      fetchedBits_ += 16;
      lastWordBytes_ = 2;
      return static_cast<std::uint16_t>((at[0] << 8) | at[1]);
    }
    return FetchWordAcrossLoads();
  }

  bool EndOfInput() const { return endOfInput_; }
  // Input bytes that the last FetchWord() delivered (2, or 1 or 0 at the end of input).
  int LastWordBytes() const { return lastWordBytes_; }
  bool IsFile() const { return file_ != nullptr; }
  // Bits fetched since the last ResetFetchedBits(), 16 per word.
  std::uint32_t FetchedBits() const { return fetchedBits_; }
  void ResetFetchedBits() { fetchedBits_ = 0; }
  // Bytes of earlier buffer loads (the current load's fill count is added at each refill).
  std::uint64_t BytesBeforeBuffer() const { return bytesBeforeBuffer_; }
  // Bytes taken from the input so far.
  std::uint64_t BytesTaken() const { return bytesBeforeBuffer_ + readPos_; }
  // Size of the file (or of the memory stream) in bytes, as measured when opened.
  std::uint64_t SizeBytes() const { return sizeBytes_; }

 private:
  bool Refill();
  int NextByte();  // -1 at end of input
  std::uint16_t FetchWordAcrossLoads();  // FetchWord where a load ends or at the end of input

  std::FILE* file_ = nullptr;
  std::vector<std::uint8_t> buffer_;
  std::size_t fill_ = 0;
  std::size_t readPos_ = 0;
  std::uint64_t bytesBeforeBuffer_ = 0;
  std::uint64_t sizeBytes_ = 0;
  std::uint32_t fetchedBits_ = 0;
  int lastWordBytes_ = 0;
  bool endOfInput_ = false;
  bool memory_ = false;  // the whole stream is in buffer_; a refill finds nothing more
};

}  // namespace zbaac

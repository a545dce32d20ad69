// MSB-first bit reader over an AacInput: 16-bit fetches into a 32-bit reservoir.
#pragma once

#include <cstdint>
#include <utility>

#include "aaclib/aac_input.h"

namespace zbaac {

// Reads the fields of the AAC syntax. Past the end of the input every bit reads as 0,
// so callers never read outside a buffer; they check EndOfInput() where it matters.
class BitReader {
 public:
  BitReader() = default;
  explicit BitReader(AacInput input) : input_(std::move(input)) {}

  // The next `bits` bits (0 .. 32), most significant first. Fields wider than 16 bits
  // are taken in two parts, high part first.
  std::uint32_t ReadBits(int bits) {
    if (bits <= 16) return ReadNarrow(bits);
    const std::uint32_t high = ReadNarrow(bits - 16);
    return (high << 16) | ReadNarrow(16);
  }
  bool ReadBit() { return ReadNarrow(1) != 0; }
  // Drops the unread bits before the next byte boundary of the input; returns how many.
  int ByteAlign();
  // Skips `bits` bits (any count), 16 at a time.
  void SkipBits(std::uint64_t bits);

  // Bits consumed since the stream start (position of the next unread bit).
  std::uint64_t BitPosition() const { return bitsIntoReservoir_ - static_cast<std::uint64_t>(bitCount_); }
  bool EndOfInput() const { return input_.EndOfInput(); }
  // True once reads have gone beyond the last bit of the input (they returned zeros).
  bool PastEnd() const { return input_.EndOfInput() && BitPosition() > dataEndBit_; }
  AacInput& Input() { return input_; }
  const AacInput& Input() const { return input_; }

  // The reservoir itself, for tests and for code that checks the documented state.
  std::uint32_t Reservoir() const { return reservoir_; }
  int BitCount() const { return bitCount_; }

 private:
  // 0 .. 16 bits. Inline because the codeword search reads a few bits at a time; a
  // word is fetched only when no more than 16 bits are left, whatever the read size.
  std::uint32_t ReadNarrow(int bits) {
    if (bits <= 0) return 0;
    if (bitCount_ <= 16) TopUp();
    bitCount_ -= bits;
    return (reservoir_ >> bitCount_) & ((1u << bits) - 1u);
  }
  void TopUp();

  AacInput input_;
  std::uint32_t reservoir_ = 0;
  int bitCount_ = 0;
  std::uint64_t bitsIntoReservoir_ = 0;
  std::uint64_t dataEndBit_ = 0;  // valid once the input is at its end
};

}  // namespace zbaac

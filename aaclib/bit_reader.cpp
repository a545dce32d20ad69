// MSB-first bit reading with a 32-bit reservoir fed by 16-bit words.
#include "aaclib/bit_reader.h"

namespace zbaac {

void BitReader::TopUp() {
  bool wasAtEnd = input_.EndOfInput();
  std::uint16_t word = input_.FetchWord();
  if (!wasAtEnd && input_.EndOfInput()) {
    dataEndBit_ = bitsIntoReservoir_ + 8u * static_cast<std::uint64_t>(input_.LastWordBytes());
  }
  reservoir_ = (reservoir_ << 16) | word;
  bitCount_ += 16;
  bitsIntoReservoir_ += 16;
}

int BitReader::ByteAlign() {
  if (bitCount_ <= 16) TopUp();
  int dropped = bitCount_ % 8;
  bitCount_ -= dropped;
  return dropped;
}

void BitReader::SkipBits(std::uint64_t bits) {
  while (bits > 16) {
    ReadNarrow(16);
    bits -= 16;
  }
  ReadNarrow(static_cast<int>(bits));
}

}  // namespace zbaac

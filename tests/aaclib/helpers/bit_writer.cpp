// Hand-built bitstreams for the parser tests.
#include "tests/aaclib/helpers/bit_writer.h"

#include <array>
#include <span>
#include <stdexcept>

#include "aaclib/aac_tables_huffman.h"

namespace zbaac::test {
std::span<const CodeEntry> SpectrumTable(int codebook) {
  switch (codebook) {
    case 1: return kSpectrumCodes1;
    case 2: return kSpectrumCodes2;
    case 3: return kSpectrumCodes3;
    case 4: return kSpectrumCodes4;
    case 5: return kSpectrumCodes5;
    case 6: return kSpectrumCodes6;
    case 7: return kSpectrumCodes7;
    case 8: return kSpectrumCodes8;
    case 9: return kSpectrumCodes9;
    case 10: return kSpectrumCodes10;
    case 11: return kSpectrumCodes11;
    default: throw std::invalid_argument("no table for this codebook");
  }
}

BitWriter& BitWriter::Put(std::uint32_t value, int bits) {
  for (int i = bits - 1; i >= 0; --i) {
    if (bitCount_ % 8 == 0) bytes_.push_back(0);
    if ((value >> i) & 1u) bytes_.back() |= static_cast<std::uint8_t>(0x80u >> (bitCount_ % 8));
    ++bitCount_;
  }
  return *this;
}

BitWriter& BitWriter::SpectrumCode(int codebook, int index) {
  const CodeEntry& entry = SpectrumTable(codebook)[static_cast<std::size_t>(index)];
  return Put(static_cast<std::uint32_t>(entry.codeword), entry.length);
}

BitWriter& BitWriter::ScalefactorCode(int difference) {
  const CodeEntry& entry = kScalefactorCodes[static_cast<std::size_t>(difference + 60)];
  return Put(static_cast<std::uint32_t>(entry.codeword), entry.length);
}

BitWriter& BitWriter::Align() {
  while (bitCount_ % 8 != 0) Put(0, 1);
  return *this;
}

}  // namespace zbaac::test

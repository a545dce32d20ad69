// Builds bitstreams by hand for the parser tests: fields, codewords and whole elements.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "aaclib/huffman_codebooks.h"

namespace zbaac::test {

// The table of spectrum codebook 1 .. 11 in index order.
std::span<const CodeEntry> SpectrumTable(int codebook);

class BitWriter {
 public:
  // Appends the low `bits` bits of `value`, most significant first (bits 0 .. 32).
  BitWriter& Put(std::uint32_t value, int bits);
  BitWriter& Bit(bool value) { return Put(value ? 1u : 0u, 1); }
  // Appends the codeword of `index` in spectrum codebook `codebook` (1 .. 11).
  BitWriter& SpectrumCode(int codebook, int index);
  // Appends the scalefactor codeword of the difference -60 .. 60.
  BitWriter& ScalefactorCode(int difference);
  // Pads with zero bits to the next byte boundary.
  BitWriter& Align();

  std::uint64_t BitCount() const { return bitCount_; }
  // The bytes written so far, the last one zero-padded.
  std::vector<std::uint8_t> Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::uint64_t bitCount_ = 0;
};

}  // namespace zbaac::test

// The spectrum and scalefactor codebooks, sorted for the length-ordered symbol search.
#pragma once

#include <span>

#include "aaclib/aac_tables_huffman.h"

namespace zbaac {

struct SpectrumCodebook {
  int number = 0;           // 1 .. 11
  int entryCount = 0;       // modulus ^ dimension
  int dimension = 0;        // 4 or 2
  int largestValue = 0;     // largest magnitude coded directly (16 in codebook 11 means escape)
  int modulus = 0;          // 2 x largestValue + 1 when signed, largestValue + 1 when not
  int offset = 0;           // largestValue when signed, 0 when not
  bool isSigned = false;    // false: sign bits follow the codeword
  std::span<const CodeEntry> entries;  // ascending length, then ascending codeword
};

// Codebook `number` 1 .. 11. Other numbers have no table; the caller must not ask for them.
const SpectrumCodebook& SpectrumCodebookFor(int number);

// The scalefactor codebook, sorted like the spectrum codebooks; index - 60 is the difference.
std::span<const CodeEntry> ScalefactorCodebook();

// The order of the symbol search: shorter codewords first, then smaller codewords.
constexpr bool CodeEntryBefore(const CodeEntry& a, const CodeEntry& b) {
  return a.length < b.length || (a.length == b.length && a.codeword < b.codeword);
}

}  // namespace zbaac

// The spectrum and scalefactor codebooks, sorted for the length-ordered symbol search.
#pragma once

#include <cstdint>
#include <span>

#include "aaclib/aac_tables_huffman.h"

namespace zbaac {

// The entries of one codeword length within a sorted table: positions [first, end) and
// the largest of their codewords, so that the search can pass over a whole length with
// one comparison when the bits read lie above every codeword of that length.
struct CodeLengthRun {
  int length = 0;
  int first = 0;
  int end = 0;
  std::uint32_t lastCodeword = 0;
};

// A sorted table prepared for the search: its entries, their codewords alone in the same
// order (a compact array for the walk within one length), and its length runs.
struct CodeSearchTable {
  std::span<const CodeEntry> entries;
  std::span<const std::uint32_t> codewords;
  std::span<const CodeLengthRun> runs;
};

struct SpectrumCodebook {
  int number = 0;           // 1 .. 11
  int entryCount = 0;       // modulus ^ dimension
  int dimension = 0;        // 4 or 2
  int largestValue = 0;     // largest magnitude coded directly (16 in codebook 11 means escape)
  int modulus = 0;          // 2 x largestValue + 1 when signed, largestValue + 1 when not
  int offset = 0;           // largestValue when signed, 0 when not
  bool isSigned = false;    // false: sign bits follow the codeword
  std::span<const CodeEntry> entries;  // ascending length, then ascending codeword
  CodeSearchTable search;              // `entries` with their codewords and length runs
};

// Codebook `number` 1 .. 11. Other numbers have no table; the caller must not ask for them.
const SpectrumCodebook& SpectrumCodebookFor(int number);

// The scalefactor codebook, sorted like the spectrum codebooks; index - 60 is the difference.
std::span<const CodeEntry> ScalefactorCodebook();
// ScalefactorCodebook() prepared for the search.
const CodeSearchTable& ScalefactorSearch();

// The order of the symbol search: shorter codewords first, then smaller codewords.
constexpr bool CodeEntryBefore(const CodeEntry& a, const CodeEntry& b) {
  return a.length < b.length || (a.length == b.length && a.codeword < b.codeword);
}

}  // namespace zbaac

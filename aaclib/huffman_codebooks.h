// The spectrum and scalefactor codebooks, sorted for the length-ordered symbol search.
#pragma once

#include <algorithm>
#include <array>
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

// The sorted tables, built at compile time, for searches specialised per codebook:
// `Book` 1 .. 11 for the spectrum codebooks, 0 for the scalefactor codebook.
namespace search_tables {

template <std::size_t N>
constexpr std::array<CodeEntry, N> SortedForSearch(const std::array<CodeEntry, N>& table) {
  std::array<CodeEntry, N> sorted = table;
  std::sort(sorted.begin(), sorted.end(), CodeEntryBefore);
  return sorted;
}

template <std::size_t N>
constexpr std::size_t CountLengths(const std::array<CodeEntry, N>& sorted) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < N; ++i) {
    if (i == 0 || sorted[i].length != sorted[i - 1].length) ++count;
  }
  return count;
}

// Splits a sorted table into its runs of equal codeword length.
template <std::size_t Runs, std::size_t N>
constexpr std::array<CodeLengthRun, Runs> LengthRuns(const std::array<CodeEntry, N>& sorted) {
  std::array<CodeLengthRun, Runs> runs{};
  std::size_t r = 0;
  for (std::size_t i = 0; i < N; ++i) {
    if (i > 0 && sorted[i].length != sorted[i - 1].length) ++r;
    if (i == 0 || sorted[i].length != sorted[i - 1].length) {
      runs[r].length = sorted[i].length;
      runs[r].first = static_cast<int>(i);
    }
    runs[r].end = static_cast<int>(i) + 1;
    runs[r].lastCodeword = static_cast<std::uint32_t>(sorted[i].codeword);  // ascending within a length
  }
  return runs;
}

template <std::size_t N>
constexpr std::array<std::uint32_t, N> CodewordsOf(const std::array<CodeEntry, N>& sorted) {
  std::array<std::uint32_t, N> codewords{};
  for (std::size_t i = 0; i < N; ++i) codewords[i] = static_cast<std::uint32_t>(sorted[i].codeword);
  return codewords;
}

template <int Book>
constexpr const auto& StandardTable() {
  static_assert(Book >= 0 && Book <= 11, "no table for this codebook");
  if constexpr (Book == 0) return kScalefactorCodes;
  else if constexpr (Book == 1) return kSpectrumCodes1;
  else if constexpr (Book == 2) return kSpectrumCodes2;
  else if constexpr (Book == 3) return kSpectrumCodes3;
  else if constexpr (Book == 4) return kSpectrumCodes4;
  else if constexpr (Book == 5) return kSpectrumCodes5;
  else if constexpr (Book == 6) return kSpectrumCodes6;
  else if constexpr (Book == 7) return kSpectrumCodes7;
  else if constexpr (Book == 8) return kSpectrumCodes8;
  else if constexpr (Book == 9) return kSpectrumCodes9;
  else if constexpr (Book == 10) return kSpectrumCodes10;
  else return kSpectrumCodes11;
}

template <int Book>
inline constexpr auto kSorted = SortedForSearch(StandardTable<Book>());
template <int Book>
inline constexpr auto kCodewords = CodewordsOf(kSorted<Book>);
template <int Book>
inline constexpr auto kRuns = LengthRuns<CountLengths(kSorted<Book>)>(kSorted<Book>);

}  // namespace search_tables

}  // namespace zbaac

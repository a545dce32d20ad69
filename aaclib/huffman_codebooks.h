// The spectrum and scalefactor codebooks, sorted for the length-ordered symbol search.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "aaclib/aac_tables_huffman.h"

namespace zbaac {

// The entries of one codeword length within a sorted table: positions [first, end) and
// the smallest and largest of their codewords, so that the search can pass over a whole
// length with one comparison when the bits read lie outside that range.
struct CodeLengthRun {
  int length = 0;
  int first = 0;
  int end = 0;
  std::uint32_t firstCodeword = 0;
  std::uint32_t lastCodeword = 0;
};

// The values of one tuple as the codebook's index stands for them (before sign bits and
// escapes), and how many of them are not zero (the sign bits an unsigned codebook sends).
struct TupleValues {
  std::array<std::int8_t, 4> values{};
  std::int8_t nonZero = 0;
};

// The form of a spectrum codebook: tuple size, largest value coded directly, and whether
// the values carry their sign in the index.
struct CodebookForm {
  int dimension = 0;
  int largestValue = 0;
  bool isSigned = false;
  constexpr int Modulus() const { return isSigned ? 2 * largestValue + 1 : largestValue + 1; }
  constexpr int Offset() const { return isSigned ? largestValue : 0; }
};

// Indexed by codebook number 1 .. 11 (entry 0 is unused).
inline constexpr std::array<CodebookForm, 12> kCodebookForms = {{
    {0, 0, false},
    {4, 1, true}, {4, 1, true}, {4, 2, false}, {4, 2, false},
    {2, 4, true}, {2, 4, true}, {2, 7, false}, {2, 7, false},
    {2, 12, false}, {2, 12, false}, {2, 16, false},
}};

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
      runs[r].firstCodeword = static_cast<std::uint32_t>(sorted[i].codeword);
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

// The tuple values of each entry of a sorted spectrum table, unpacked from its index once
// at compile time: the digits of the index in base `modulus`, most significant first,
// less `offset`.
template <std::size_t N>
constexpr std::array<TupleValues, N> UnpackedTuples(const std::array<CodeEntry, N>& sorted, CodebookForm form) {
  std::array<TupleValues, N> tuples{};
  for (std::size_t i = 0; i < N; ++i) {
    int index = sorted[i].index;
    for (int k = form.dimension - 1; k >= 0; --k) {
      const int value = index % form.Modulus() - form.Offset();
      index /= form.Modulus();
      tuples[i].values[static_cast<std::size_t>(k)] = static_cast<std::int8_t>(value);
      tuples[i].nonZero = static_cast<std::int8_t>(tuples[i].nonZero + (value != 0));
    }
  }
  return tuples;
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
template <int Book>
inline constexpr auto kTuples = UnpackedTuples(kSorted<Book>, kCodebookForms[Book]);
// The longest codeword of the table: the search peeks this many bits at once.
template <int Book>
inline constexpr int kMaxLength = kRuns<Book>.back().length;

// True when each codeword of a sorted table follows from the one before it as in a
// canonical code: the next value, shifted left by the growth in length. The codewords of
// one length are then consecutive, and the codewords left-aligned to a common width
// ascend through the whole table.
template <std::size_t N>
constexpr bool IsCanonical(const std::array<CodeEntry, N>& sorted) {
  for (std::size_t i = 1; i < N; ++i) {
    const std::uint32_t previous = static_cast<std::uint32_t>(sorted[i - 1].codeword);
    if (static_cast<std::uint32_t>(sorted[i].codeword) != (previous + 1) << (sorted[i].length - sorted[i - 1].length)) {
      return false;
    }
  }
  return true;
}

// What the search keeps of each length: the first `width`-bit value above its
// codewords (`width` the longest length), and how a prefix of the length turns into the
// entry's position in the sorted table.
template <std::size_t Runs>
struct LengthLimits {
  std::array<std::uint32_t, Runs> limit{};     // left-aligned end of the length's codewords
  std::array<std::uint8_t, Runs> shift{};      // width - length
  std::array<std::uint8_t, Runs> length{};
  std::array<std::int32_t, Runs> base{};       // position of the length's first entry - its codeword
  std::array<std::uint8_t, Runs> growth{};     // length of the next length's codewords - this length
};

template <std::size_t Runs>
constexpr LengthLimits<Runs> LimitsOf(const std::array<CodeLengthRun, Runs>& runs) {
  LengthLimits<Runs> limits;
  const int width = runs.back().length;
  for (std::size_t r = 0; r < Runs; ++r) {
    limits.shift[r] = static_cast<std::uint8_t>(width - runs[r].length);
    limits.length[r] = static_cast<std::uint8_t>(runs[r].length);
    limits.limit[r] = (runs[r].lastCodeword + 1) << limits.shift[r];
    limits.base[r] = runs[r].first - static_cast<std::int32_t>(runs[r].firstCodeword);
    limits.growth[r] = static_cast<std::uint8_t>(r + 1 < Runs ? runs[r + 1].length - runs[r].length : 0);
  }
  return limits;
}

template <int Book>
inline constexpr auto kLimits = LimitsOf(kRuns<Book>);

}  // namespace search_tables

}  // namespace zbaac

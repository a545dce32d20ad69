// The spectrum and scalefactor codebooks, sorted for the length-ordered symbol search.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "aaclib/aac_tables_huffman.h"

namespace zbaac {

// The entries of one codeword length within a sorted table: positions [first, end) and
// the largest of their codewords.
struct CodeLengthRun {
  int length = 0;
  int first = 0;
  int end = 0;
  std::uint32_t lastCodeword = 0;

  constexpr int Count() const { return end - first; }
};

// The values of one tuple as the codebook's index stands for them (before sign bits and
// escapes), and which of the sign bits that an unsigned codebook sends (one per value
// that is not zero) belongs to each value: the sign bits are peeked as `dimension` bits,
// the first one highest, and value k is negative when its `signBit` is set there (0 for
// a zero value, which has no sign bit). Eight bytes, one load.
struct alignas(8) TupleValues {
  std::array<std::int8_t, 4> values{};
  std::array<std::uint8_t, 4> signBit{};

  constexpr int NonZero() const {
    int count = 0;
    for (const std::int8_t value : values) count += value != 0;
    return count;
  }
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
    }
    runs[r].end = static_cast<int>(i) + 1;
    runs[r].lastCodeword = static_cast<std::uint32_t>(sorted[i].codeword);  // ascending within a length
  }
  return runs;
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
    }
    int sent = 0;
    for (int k = 0; k < form.dimension; ++k) {
      if (tuples[i].values[static_cast<std::size_t>(k)] == 0) continue;
      tuples[i].signBit[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(1 << (form.dimension - 1 - sent));
      ++sent;
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

}  // namespace search_tables

}  // namespace zbaac

// Sorts the codebooks of the standard by codeword length at compile time and marks where
// each length begins and ends.
#include "aaclib/huffman_codebooks.h"

#include <algorithm>
#include <array>
#include <cassert>

namespace zbaac {
namespace {

template <std::size_t N>
constexpr std::array<CodeEntry, N> SortedForSearch(const std::array<CodeEntry, N>& table) {
  std::array<CodeEntry, N> sorted = table;
  std::sort(sorted.begin(), sorted.end(), CodeEntryBefore);
  return sorted;
}

constexpr auto kSortedScalefactor = SortedForSearch(kScalefactorCodes);
constexpr auto kSorted1 = SortedForSearch(kSpectrumCodes1);
constexpr auto kSorted2 = SortedForSearch(kSpectrumCodes2);
constexpr auto kSorted3 = SortedForSearch(kSpectrumCodes3);
constexpr auto kSorted4 = SortedForSearch(kSpectrumCodes4);
constexpr auto kSorted5 = SortedForSearch(kSpectrumCodes5);
constexpr auto kSorted6 = SortedForSearch(kSpectrumCodes6);
constexpr auto kSorted7 = SortedForSearch(kSpectrumCodes7);
constexpr auto kSorted8 = SortedForSearch(kSpectrumCodes8);
constexpr auto kSorted9 = SortedForSearch(kSpectrumCodes9);
constexpr auto kSorted10 = SortedForSearch(kSpectrumCodes10);
constexpr auto kSorted11 = SortedForSearch(kSpectrumCodes11);

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

constexpr auto kRunsScalefactor = LengthRuns<CountLengths(kSortedScalefactor)>(kSortedScalefactor);
constexpr auto kRuns1 = LengthRuns<CountLengths(kSorted1)>(kSorted1);
constexpr auto kRuns2 = LengthRuns<CountLengths(kSorted2)>(kSorted2);
constexpr auto kRuns3 = LengthRuns<CountLengths(kSorted3)>(kSorted3);
constexpr auto kRuns4 = LengthRuns<CountLengths(kSorted4)>(kSorted4);
constexpr auto kRuns5 = LengthRuns<CountLengths(kSorted5)>(kSorted5);
constexpr auto kRuns6 = LengthRuns<CountLengths(kSorted6)>(kSorted6);
constexpr auto kRuns7 = LengthRuns<CountLengths(kSorted7)>(kSorted7);
constexpr auto kRuns8 = LengthRuns<CountLengths(kSorted8)>(kSorted8);
constexpr auto kRuns9 = LengthRuns<CountLengths(kSorted9)>(kSorted9);
constexpr auto kRuns10 = LengthRuns<CountLengths(kSorted10)>(kSorted10);
constexpr auto kRuns11 = LengthRuns<CountLengths(kSorted11)>(kSorted11);

constexpr auto kCodewordsScalefactor = CodewordsOf(kSortedScalefactor);
constexpr auto kCodewords1 = CodewordsOf(kSorted1);
constexpr auto kCodewords2 = CodewordsOf(kSorted2);
constexpr auto kCodewords3 = CodewordsOf(kSorted3);
constexpr auto kCodewords4 = CodewordsOf(kSorted4);
constexpr auto kCodewords5 = CodewordsOf(kSorted5);
constexpr auto kCodewords6 = CodewordsOf(kSorted6);
constexpr auto kCodewords7 = CodewordsOf(kSorted7);
constexpr auto kCodewords8 = CodewordsOf(kSorted8);
constexpr auto kCodewords9 = CodewordsOf(kSorted9);
constexpr auto kCodewords10 = CodewordsOf(kSorted10);
constexpr auto kCodewords11 = CodewordsOf(kSorted11);

static_assert(kSortedScalefactor[0].index == 60 && kSortedScalefactor[0].length == 1);
static_assert(kRunsScalefactor.back().length == 19 && kRunsScalefactor.back().end == 121);
static_assert(kSorted1[0].index == 40 && kSorted1[0].length == 1);

constexpr SpectrumCodebook Make(int number, int dimension, int largestValue, bool isSigned,
                                std::span<const CodeEntry> entries, std::span<const std::uint32_t> codewords,
                                std::span<const CodeLengthRun> runs) {
  SpectrumCodebook book;
  book.number = number;
  book.dimension = dimension;
  book.largestValue = largestValue;
  book.isSigned = isSigned;
  book.modulus = isSigned ? 2 * largestValue + 1 : largestValue + 1;
  book.offset = isSigned ? largestValue : 0;
  int count = 1;
  for (int d = 0; d < dimension; ++d) count *= book.modulus;
  book.entryCount = count;
  book.entries = entries;
  book.search = CodeSearchTable{entries, codewords, runs};
  return book;
}

const std::array<SpectrumCodebook, 12> kCodebooks = {
    SpectrumCodebook{},
    Make(1, 4, 1, true, kSorted1, kCodewords1, kRuns1),
    Make(2, 4, 1, true, kSorted2, kCodewords2, kRuns2),
    Make(3, 4, 2, false, kSorted3, kCodewords3, kRuns3),
    Make(4, 4, 2, false, kSorted4, kCodewords4, kRuns4),
    Make(5, 2, 4, true, kSorted5, kCodewords5, kRuns5),
    Make(6, 2, 4, true, kSorted6, kCodewords6, kRuns6),
    Make(7, 2, 7, false, kSorted7, kCodewords7, kRuns7),
    Make(8, 2, 7, false, kSorted8, kCodewords8, kRuns8),
    Make(9, 2, 12, false, kSorted9, kCodewords9, kRuns9),
    Make(10, 2, 12, false, kSorted10, kCodewords10, kRuns10),
    Make(11, 2, 16, false, kSorted11, kCodewords11, kRuns11),
};

}  // namespace

const SpectrumCodebook& SpectrumCodebookFor(int number) {
  assert(number >= 1 && number <= 11 && "no table for this codebook");
  return kCodebooks[static_cast<std::size_t>(number)];
}

std::span<const CodeEntry> ScalefactorCodebook() { return kSortedScalefactor; }

const CodeSearchTable& ScalefactorSearch() {
  static constexpr CodeSearchTable kSearch{kSortedScalefactor, kCodewordsScalefactor, kRunsScalefactor};
  return kSearch;
}

}  // namespace zbaac

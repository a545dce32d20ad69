// Sorts the codebooks of the standard by codeword length at compile time.
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

static_assert(kSortedScalefactor[0].index == 60 && kSortedScalefactor[0].length == 1);
static_assert(kSorted1[0].index == 40 && kSorted1[0].length == 1);

constexpr SpectrumCodebook Make(int number, int dimension, int largestValue, bool isSigned,
                                std::span<const CodeEntry> entries) {
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
  return book;
}

const std::array<SpectrumCodebook, 12> kCodebooks = {
    SpectrumCodebook{},
    Make(1, 4, 1, true, kSorted1),
    Make(2, 4, 1, true, kSorted2),
    Make(3, 4, 2, false, kSorted3),
    Make(4, 4, 2, false, kSorted4),
    Make(5, 2, 4, true, kSorted5),
    Make(6, 2, 4, true, kSorted6),
    Make(7, 2, 7, false, kSorted7),
    Make(8, 2, 7, false, kSorted8),
    Make(9, 2, 12, false, kSorted9),
    Make(10, 2, 12, false, kSorted10),
    Make(11, 2, 16, false, kSorted11),
};

}  // namespace

const SpectrumCodebook& SpectrumCodebookFor(int number) {
  assert(number >= 1 && number <= 11 && "no table for this codebook");
  return kCodebooks[static_cast<std::size_t>(number)];
}

std::span<const CodeEntry> ScalefactorCodebook() { return kSortedScalefactor; }

}  // namespace zbaac

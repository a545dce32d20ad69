// The codebook records over the tables sorted at compile time.
#include "aaclib/huffman_codebooks.h"

#include <array>
#include <cassert>

namespace zbaac {
namespace {

using search_tables::kCodewords;
using search_tables::kRuns;
using search_tables::kSorted;

static_assert(kSorted<0>[0].index == 60 && kSorted<0>[0].length == 1);
static_assert(kSorted<1>[0].index == 40 && kSorted<1>[0].length == 1);
static_assert(kRuns<0>.back().length == 19 && kRuns<0>.back().end == 121);

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
    Make(1, 4, 1, true, kSorted<1>, kCodewords<1>, kRuns<1>),
    Make(2, 4, 1, true, kSorted<2>, kCodewords<2>, kRuns<2>),
    Make(3, 4, 2, false, kSorted<3>, kCodewords<3>, kRuns<3>),
    Make(4, 4, 2, false, kSorted<4>, kCodewords<4>, kRuns<4>),
    Make(5, 2, 4, true, kSorted<5>, kCodewords<5>, kRuns<5>),
    Make(6, 2, 4, true, kSorted<6>, kCodewords<6>, kRuns<6>),
    Make(7, 2, 7, false, kSorted<7>, kCodewords<7>, kRuns<7>),
    Make(8, 2, 7, false, kSorted<8>, kCodewords<8>, kRuns<8>),
    Make(9, 2, 12, false, kSorted<9>, kCodewords<9>, kRuns<9>),
    Make(10, 2, 12, false, kSorted<10>, kCodewords<10>, kRuns<10>),
    Make(11, 2, 16, false, kSorted<11>, kCodewords<11>, kRuns<11>),
};

}  // namespace

const SpectrumCodebook& SpectrumCodebookFor(int number) {
  assert(number >= 1 && number <= 11 && "no table for this codebook");
  return kCodebooks[static_cast<std::size_t>(number)];
}

std::span<const CodeEntry> ScalefactorCodebook() { return kSorted<0>; }

const CodeSearchTable& ScalefactorSearch() {
  static constexpr CodeSearchTable kSearch{kSorted<0>, kCodewords<0>, kRuns<0>};
  return kSearch;
}

}  // namespace zbaac

// The codebook records over the tables sorted at compile time.
#include "aaclib/huffman_codebooks.h"

#include <array>
#include <cassert>

namespace zbaac {
namespace {

using search_tables::kRuns;
using search_tables::kSorted;

static_assert(kSorted<0>[0].index == 60 && kSorted<0>[0].length == 1);
static_assert(kSorted<1>[0].index == 40 && kSorted<1>[0].length == 1);
static_assert(kRuns<0>.back().length == 19 && kRuns<0>.back().end == 121);

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
    Make(1, 4, 1, true, kSorted<1>),
    Make(2, 4, 1, true, kSorted<2>),
    Make(3, 4, 2, false, kSorted<3>),
    Make(4, 4, 2, false, kSorted<4>),
    Make(5, 2, 4, true, kSorted<5>),
    Make(6, 2, 4, true, kSorted<6>),
    Make(7, 2, 7, false, kSorted<7>),
    Make(8, 2, 7, false, kSorted<8>),
    Make(9, 2, 12, false, kSorted<9>),
    Make(10, 2, 12, false, kSorted<10>),
    Make(11, 2, 16, false, kSorted<11>),
};

}  // namespace

const SpectrumCodebook& SpectrumCodebookFor(int number) {
  assert(number >= 1 && number <= 11 && "no table for this codebook");
  return kCodebooks[static_cast<std::size_t>(number)];
}

std::span<const CodeEntry> ScalefactorCodebook() { return kSorted<0>; }

}  // namespace zbaac

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

constexpr SpectrumCodebook Make(int number, std::span<const CodeEntry> entries) {
  const CodebookForm form = kCodebookForms[static_cast<std::size_t>(number)];
  SpectrumCodebook book;
  book.number = number;
  book.dimension = form.dimension;
  book.largestValue = form.largestValue;
  book.isSigned = form.isSigned;
  book.modulus = form.Modulus();
  book.offset = form.Offset();
  int count = 1;
  for (int d = 0; d < form.dimension; ++d) count *= book.modulus;
  book.entryCount = count;
  book.entries = entries;
  return book;
}

const std::array<SpectrumCodebook, 12> kCodebooks = {
    SpectrumCodebook{},
    Make(1, kSorted<1>),
    Make(2, kSorted<2>),
    Make(3, kSorted<3>),
    Make(4, kSorted<4>),
    Make(5, kSorted<5>),
    Make(6, kSorted<6>),
    Make(7, kSorted<7>),
    Make(8, kSorted<8>),
    Make(9, kSorted<9>),
    Make(10, kSorted<10>),
    Make(11, kSorted<11>),
};

}  // namespace

const SpectrumCodebook& SpectrumCodebookFor(int number) {
  assert(number >= 1 && number <= 11 && "no table for this codebook");
  return kCodebooks[static_cast<std::size_t>(number)];
}

std::span<const CodeEntry> ScalefactorCodebook() { return kSorted<0>; }

}  // namespace zbaac

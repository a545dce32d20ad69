// The length-ordered codeword search over the sorted tables, for the spectral data and
// the scalefactors, and what it derives from the tables at compile time.
//
// The search walks the codeword lengths in ascending order without a tree or a lookup
// table: it peeks the bits of the longest codeword once, compares them with the end of
// each length's codewords, and finds the prefix of the length it lands on among that
// length's codewords by its distance from the first of them (the codewords of one length
// are consecutive in a canonical table).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <tuple>
#include <utility>

#include "aaclib/huffman_codebooks.h"

namespace zbaac {

namespace search_tables {

// What the search keeps of each length: the first `width`-bit value above its
// codewords (`width` the longest length), its length, and the growth to the next one.
template <std::size_t Runs>
struct LengthLimits {
  std::array<std::uint32_t, Runs> limit{};  // left-aligned end of the length's codewords
  std::array<std::uint8_t, Runs> length{};
  std::array<std::uint8_t, Runs> growth{};  // next length - this length (0 for the last)
};

template <std::size_t Runs>
constexpr LengthLimits<Runs> LimitsOf(const std::array<CodeLengthRun, Runs>& runs) {
  LengthLimits<Runs> limits;
  const int width = runs.back().length;
  for (std::size_t r = 0; r < Runs; ++r) {
    limits.limit[r] = (runs[r].lastCodeword + 1) << (width - runs[r].length);
    limits.length[r] = static_cast<std::uint8_t>(runs[r].length);
    limits.growth[r] = static_cast<std::uint8_t>(r + 1 < Runs ? runs[r + 1].length - runs[r].length : 0);
  }
  return limits;
}

// A length's share of the code space, in units of 2^-width: its count of codewords times
// 2^-length. The shares sum to 2^width for a complete code; they are the frequencies the
// code was made for.
constexpr std::uint64_t Share(const CodeLengthRun& run, int width) {
  return static_cast<std::uint64_t>(run.Count()) << (width - run.length);
}

template <std::size_t Runs>
constexpr std::uint64_t TotalShare(const std::array<CodeLengthRun, Runs>& runs) {
  std::uint64_t total = 0;
  for (const CodeLengthRun& run : runs) total += Share(run, runs.back().length);
  return total;
}

// The fewest shortest lengths that hold at least 15/16 of the code space: the lengths the
// search compares before it asks whether the bits lie beyond them.
template <std::size_t Runs>
constexpr int CommonLengths(const std::array<CodeLengthRun, Runs>& runs) {
  std::uint64_t served = 0;
  for (std::size_t r = 0; r < Runs; ++r) {
    served += Share(runs[r], runs.back().length);
    if (16 * served >= 15 * TotalShare(runs)) return static_cast<int>(r + 1);
  }
  return static_cast<int>(Runs);
}

// The payload of each entry of codebook `Book`: its index for the scalefactor codebook;
// the sign bits its tuple takes for the others (none for the signed codebooks, one per
// value that is not zero for the unsigned ones).
template <int Book>
constexpr auto PayloadsOf() {
  std::array<std::uint8_t, kSorted<Book>.size()> payloads{};
  for (std::size_t i = 0; i < payloads.size(); ++i) {
    if constexpr (Book == 0) {
      payloads[i] = static_cast<std::uint8_t>(kSorted<Book>[i].index);
    } else if (!kCodebookForms[Book].isSigned) {
      payloads[i] = static_cast<std::uint8_t>(kTuples<Book>[i].NonZero());
    }
  }
  return payloads;
}

template <int Book>
inline constexpr auto kLimits = LimitsOf(kRuns<Book>);
template <int Book>
inline constexpr int kCommonLengths = CommonLengths(kRuns<Book>);
template <int Book>
inline constexpr auto kPayloads = PayloadsOf<Book>();

// What the search adds for each length end the window reaches: the step in the shift
// that leaves a codeword's prefix (the longest length less its own) and the step in its
// bias, the length's first position in the sorted table less its first codeword, shifted
// left by that shift. A prefix's position is then (window + bias) >> shift: the bias has
// no bits below the shift, so adding it before the shift equals adding it after.
// The sums wrap around, as the steps may be negative.
template <std::size_t Runs>
struct LengthSteps {
  std::uint64_t firstShift = 0;
  std::uint64_t firstBias = 0;
  std::array<std::uint64_t, Runs> shift{};  // from length r to length r + 1
  std::array<std::uint64_t, Runs> bias{};
};

template <std::size_t Runs, std::size_t N>
constexpr LengthSteps<Runs> StepsOf(const std::array<CodeLengthRun, Runs>& runs, const std::array<CodeEntry, N>& sorted) {
  const int width = runs.back().length;
  auto shiftOf = [&](std::size_t r) { return static_cast<std::uint64_t>(width - runs[r].length); };
  auto biasOf = [&](std::size_t r) {
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(runs[r].first - sorted[runs[r].first].codeword))
           << shiftOf(r);
  };
  LengthSteps<Runs> steps;
  steps.firstShift = shiftOf(0);
  steps.firstBias = biasOf(0);
  for (std::size_t r = 0; r + 1 < Runs; ++r) {
    steps.shift[r] = shiftOf(r + 1) - shiftOf(r);
    steps.bias[r] = biasOf(r + 1) - biasOf(r);
  }
  return steps;
}
template <int Book>
inline constexpr auto kSteps = StepsOf(kRuns<Book>, kSorted<Book>);

// The sum of `terms`, added as a balanced tree so that its depth grows with the log of
// their number. The compiler would otherwise add them one after the other; the empty
// statements hide the two halves' sums from it, so that it keeps them apart.
template <typename T, std::size_t N>
[[gnu::always_inline]] inline T TreeSum(const std::array<T, N>& terms) {
  if constexpr (N == 0) {
    return T{};
  } else if constexpr (N == 1) {
    return terms[0];
  } else {
    std::array<T, N / 2> low{};
    std::array<T, N - N / 2> high{};
    for (std::size_t i = 0; i < N / 2; ++i) low[i] = terms[i];
    for (std::size_t i = N / 2; i < N; ++i) high[i - N / 2] = terms[i];
    T lowSum = TreeSum(low);
    T highSum = TreeSum(high);
    asm("" : "+r"(lowSum), "+r"(highSum));
    return lowSum + highSum;
  }
}

}  // namespace search_tables

// The position in the sorted table of codebook `Book` (1 .. 11, or 0 for the scalefactor
// codebook) of the codeword at the top of `window`, the next kMaxLength<Book> bits; its
// length goes to `length`. The standard's tables are complete codes, so every window
// starts with a codeword.
//
// The prefixes lie beyond the codewords of every length shorter than the codeword's own
// and within those of its own, so the length ends the window reaches tell its length and
// where that length's codewords start in the table. Both are summed from the comparisons
// (each end passed adds the step to the next length), which are independent, so that they
// run side by side and the position waits for no table read; the codewords of one length
// are consecutive in a canonical table, so the prefix less the first of them is its place
// among them. The lengths past the common ones are compared only when the window lies
// beyond those.
template <int Book>
[[gnu::always_inline]] inline std::size_t LocateSorted(std::uint32_t window, int& length) {
  using namespace search_tables;
  static_assert(IsCanonical(kSorted<Book>), "the search needs a canonical table");
  static_assert(TotalShare(kRuns<Book>) == std::uint64_t{1} << kMaxLength<Book> && kSorted<Book>[0].codeword == 0,
                "the search needs a complete code");
  constexpr auto& limits = kLimits<Book>;
  constexpr auto& steps = kSteps<Book>;
  // The window never reaches the last length's end.
  constexpr std::size_t ends = limits.limit.size() - 1;
  constexpr std::size_t common = std::min<std::size_t>(kCommonLengths<Book>, ends);
  // Summed are the steps of the ends the window stays below (a compare-and-borrow gives
  // that mask in one step), the shifts and the biases each as a tree; they are taken from
  // the sums of all the steps, which the window's own bias joins before the tree is done.
  auto below = [&]<std::size_t First, std::size_t... R>(std::integral_constant<std::size_t, First>,
                                                        std::index_sequence<R...>) __attribute__((always_inline)) {
    const std::array<std::uint64_t, sizeof...(R)> masks = {
        (std::uint64_t{0} - static_cast<std::uint64_t>(window < limits.limit[First + R]))...};
    return std::pair{TreeSum(std::array<std::uint64_t, sizeof...(R)>{(masks[R] & steps.shift[First + R])...}),
                     TreeSum(std::array<std::uint64_t, sizeof...(R)>{(masks[R] & steps.bias[First + R])...})};
  };
  auto stepSums = [&]<std::size_t... R>(std::index_sequence<R...>) constexpr {
    return std::pair{steps.firstShift + (steps.shift[R] + ... + 0), steps.firstBias + (steps.bias[R] + ... + 0)};
  };
  constexpr auto commonSums = stepSums(std::make_index_sequence<common>{});
  constexpr auto allSums = stepSums(std::make_index_sequence<ends>{});
  auto [shiftBelow, biasBelow] = below(std::integral_constant<std::size_t, 0>{}, std::make_index_sequence<common>{});
  std::uint64_t shift = commonSums.first;
  std::uint64_t biased = window + commonSums.second;
  if constexpr (common < ends) {
    // Beyond every common end: those steps are all taken, and the others' are summed.
    if (window >= limits.limit[common - 1]) [[unlikely]] {
      std::tie(shiftBelow, biasBelow) =
          below(std::integral_constant<std::size_t, common>{}, std::make_index_sequence<ends - common>{});
      shift = allSums.first;
      biased = window + allSums.second;
    }
  }
  shift -= shiftBelow;
  length = kMaxLength<Book> - static_cast<int>(shift);
  return static_cast<std::size_t>((biased - biasBelow) >> shift);
}

// The position in the sorted table of codebook `Book` of the next codeword, which it
// consumes. `payload` gets the entry's payload (its index for the scalefactor codebook,
// the number of sign bits its tuple takes for the others). `Bits` is the BitReader or a
// cursor over it, and must hold kMaxLength<Book> bits.
template <int Book, typename Bits>
inline int FindSorted(Bits& reader, int& payload) {
  int length = 0;
  const std::size_t position = LocateSorted<Book>(reader.Peek(search_tables::kMaxLength<Book>), length);
  reader.Skip(length);
  payload = search_tables::kPayloads<Book>[position];
  return static_cast<int>(position);
}

// The next scalefactor difference (-60 .. 60). `Bits` is the BitReader or a cursor over it.
template <typename Bits>
inline int ScalefactorDifference(Bits& reader) {
  if (reader.BitsAvailable() < search_tables::kMaxLength<0>) reader.Refill();
  int index = 0;
  FindSorted<0>(reader, index);
  return index - 60;
}

}  // namespace zbaac

// The length-ordered codeword search over the sorted tables, for the spectral data and
// the scalefactors, and what it derives from the tables at compile time.
//
// The search walks the codeword lengths in ascending order without a tree or a lookup
// table: it peeks the bits of the longest codeword once, compares their prefix of each
// length with the end of that length's codewords, and finds the prefix of the length it
// lands on among that length's codewords by bisection.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
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

// Halvings of a bisection over `count` sorted entries: the smallest d with 2^d >= count.
constexpr int BisectionSteps(int count) {
  int steps = 0;
  while ((1 << steps) < count) ++steps;
  return steps;
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

// The fewest shortest lengths that hold at least 7/8 of the code space: the lengths the
// search compares before it asks whether the bits lie beyond them.
template <std::size_t Runs>
constexpr int CommonLengths(const std::array<CodeLengthRun, Runs>& runs) {
  std::uint64_t served = 0;
  for (std::size_t r = 0; r < Runs; ++r) {
    served += Share(runs[r], runs.back().length);
    if (8 * served >= 7 * TotalShare(runs)) return static_cast<int>(r + 1);
  }
  return static_cast<int>(Runs);
}

// The fewest halvings that serve the lengths holding at least 7/8 of the code space: the
// halvings every search takes, the others only for the lengths that need them.
template <std::size_t Runs>
constexpr int CommonSteps(const std::array<CodeLengthRun, Runs>& runs) {
  for (int steps = 0;; ++steps) {
    std::uint64_t served = 0;
    for (const CodeLengthRun& run : runs) {
      if (BisectionSteps(run.Count()) <= steps) served += Share(run, runs.back().length);
    }
    if (8 * served >= 7 * TotalShare(runs)) return steps;
  }
}

template <std::size_t Runs>
constexpr int WidestSteps(const std::array<CodeLengthRun, Runs>& runs) {
  int steps = 0;
  for (const CodeLengthRun& run : runs) steps = std::max(steps, BisectionSteps(run.Count()));
  return steps;
}

template <std::size_t Runs>
constexpr std::array<std::uint8_t, Runs> RunStepsOf(const std::array<CodeLengthRun, Runs>& runs) {
  std::array<std::uint8_t, Runs> steps{};
  for (std::size_t r = 0; r < Runs; ++r) steps[r] = static_cast<std::uint8_t>(BisectionSteps(runs[r].Count()));
  return steps;
}

// The keys the bisection among the codewords of one length compares: the codeword
// shifted left by kPayloadBits<Book>, with a payload below it that the search delivers
// with the match: for the spectrum codebooks the count of sign bits the entry's tuple
// takes, for the scalefactor codebook the entry's index. One row per length, ascending
// like the codewords, each as long as the widest length's bisection needs; the places
// past a length's last codeword hold a key above every codeword's, where the bisection
// never stops.
template <int Book>
inline constexpr int kPayloadBits = Book == 0 ? 7 : 3;

template <std::size_t Runs, int Steps>
struct LengthRows {
  std::array<std::array<std::uint32_t, std::size_t{1} << Steps>, Runs> keys{};
};

template <int Steps, int PayloadBits, std::size_t Runs, std::size_t N>
constexpr LengthRows<Runs, Steps> RowsOf(const std::array<CodeLengthRun, Runs>& runs,
                                         const std::array<CodeEntry, N>& sorted,
                                         const std::array<std::uint8_t, N>& payloads) {
  LengthRows<Runs, Steps> rows;
  for (std::size_t r = 0; r < Runs; ++r) {
    auto& row = rows.keys[r];
    for (std::size_t i = 0; i < row.size(); ++i) {
      const std::size_t at = static_cast<std::size_t>(runs[r].first) + i;
      row[i] = at < static_cast<std::size_t>(runs[r].end)
                   ? static_cast<std::uint32_t>(sorted[at].codeword) << PayloadBits | payloads[at]
                   : ~std::uint32_t{0};
    }
  }
  return rows;
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
inline constexpr int kBisectionSteps = WidestSteps(kRuns<Book>);
template <int Book>
inline constexpr int kCommonSteps = CommonSteps(kRuns<Book>);
template <int Book>
inline constexpr auto kRunSteps = RunStepsOf(kRuns<Book>);
template <int Book>
inline constexpr auto kRows = RowsOf<kBisectionSteps<Book>, kPayloadBits<Book>>(kRuns<Book>, kSorted<Book>, PayloadsOf<Book>());

static_assert(kSorted<0>.size() <= (1u << kPayloadBits<0>), "every scalefactor index fits the payload");

}  // namespace search_tables

// The halvings of a bisection over a row of ascending keys with 2^High places, from the
// half of 2^(High - 1) places down to that of 2^Low: each moves `at` up by the half when
// the key there is not above `key`. The result is the last place whose key is not above
// `key`, when the row's first key is not.
template <int High, int Low>
inline std::size_t Halvings(const std::uint32_t* row, std::uint32_t key, std::size_t at) {
  if constexpr (High > Low) {
    constexpr std::size_t half = std::size_t{1} << (High - 1);
    at += row[at + half] <= key ? half : 0;
    return Halvings<High - 1, Low>(row, key, at);
  } else {
    return at;
  }
}

// The same halvings two at a time, for searches whose result the next codeword waits
// for: the pivot of the first halving and both pivots the second may take are compared
// at once, and the number of them not above `key` is how many quarters `at` moves up
// (they ascend, so the second pivot is passed only when the first is). One halving
// alone first when their count is odd.
template <int High, int Low>
inline std::size_t PairedHalvings(const std::uint32_t* row, std::uint32_t key, std::size_t at, std::uint32_t& found) {
  if constexpr ((High - Low) % 2 == 1) {
    constexpr std::size_t half = std::size_t{1} << (High - 1);
    const std::uint32_t p = row[at + half];
    const bool c = p <= key;
    at += c ? half : 0;
    found = c ? p : found;
    return PairedHalvings<High - 1, Low>(row, key, at, found);
  } else if constexpr (High > Low) {
    constexpr std::size_t quarter = std::size_t{1} << (High - 2);
    const std::uint32_t p1 = row[at + quarter];
    const std::uint32_t p2 = row[at + 2 * quarter];
    const std::uint32_t p3 = row[at + 3 * quarter];
    const bool c1 = p1 <= key, c2 = p2 <= key, c3 = p3 <= key;
    const std::size_t passed = static_cast<std::size_t>(c1) + static_cast<std::size_t>(c2) + static_cast<std::size_t>(c3);
    found = c1 ? p1 : found;
    found = c2 ? p2 : found;
    found = c3 ? p3 : found;
    return PairedHalvings<High - 2, Low>(row, key, at + passed * quarter, found);
  } else {
    return at;
  }
}

// The position in the sorted table of codebook `Book` (1 .. 11, or 0 for the scalefactor
// codebook) of the next codeword, which it consumes; -1 (after consuming the longest
// length) when none matches. `payload` gets the entry's payload (its index for the
// scalefactor codebook, the number of sign bits its tuple takes for the others). `Bits` is
// the BitReader or a cursor over it, and must hold kMaxLength<Book> bits.
template <int Book, typename Bits>
inline int FindSorted(Bits& reader, int& payload) {
  using namespace search_tables;
  // Canonical tables (as the standard's are) give the length by counting length ends.
  static_assert(IsCanonical(kSorted<Book>), "the search needs a canonical table");
  constexpr auto& limits = kLimits<Book>;
  constexpr int lengths = static_cast<int>(limits.limit.size());
  const std::uint32_t window = reader.Peek(kMaxLength<Book>);
  // The prefixes lie beyond the codewords of every length shorter than the codeword's
  // own and within those of its own, so the number of length ends the bits reach is the
  // length's place in the walk. The comparisons are independent, so that they run side by
  // side rather than one after the other, and the codeword's length is summed from them
  // (each end passed adds the growth to the next length), so that the next codeword's
  // bits wait for no table read. The lengths past the common ones are compared only when
  // the bits lie beyond those.
  constexpr int common = kCommonLengths<Book>;
  int run = 0;
  int length = limits.length[0];
  [&]<std::size_t... R>(std::index_sequence<R...>) {
    run = (static_cast<int>(window >= limits.limit[R]) + ...);
    length += ((static_cast<int>(window >= limits.limit[R]) * limits.growth[R]) + ...);
  }(std::make_index_sequence<common>{});
  if constexpr (common < lengths) {
    if (run == common) [[unlikely]] {
      [&]<std::size_t... R>(std::index_sequence<R...>) {
        run += (static_cast<int>(window >= limits.limit[common + R]) + ...);
        length += ((static_cast<int>(window >= limits.limit[common + R]) * limits.growth[common + R]) + ...);
      }(std::make_index_sequence<lengths - common>{});
    }
  }
  if (run >= lengths) {
    // Above every codeword: only a table that is not a complete code leaves such bits.
    reader.Skip(kMaxLength<Book>);
    payload = 0;
    return -1;
  }
  reader.Skip(length);
  const auto r = static_cast<std::size_t>(run);
  const std::uint32_t prefix = window >> (kMaxLength<Book> - length);
  // Bisection over the length's keys for the last one not above the prefix's (whatever
  // its payload). The halvings that only the lengths with many codewords need are
  // taken on a branch of their own, so that the usual lengths run through no more than
  // they need.
  constexpr int steps = kBisectionSteps<Book>;
  constexpr int commonSteps = kCommonSteps<Book>;
  const std::uint32_t* row = kRows<Book>.keys[r].data();
  constexpr std::uint32_t payloadMask = (1u << kPayloadBits<Book>) - 1;
  const std::uint32_t key = prefix << kPayloadBits<Book> | payloadMask;
  std::size_t at = 0;
  if constexpr (steps > commonSteps) {
    if (kRunSteps<Book>[r] > commonSteps) [[unlikely]] at = Halvings<steps, commonSteps>(row, key, at);
  }
  // The sign bits of an unsigned codebook's tuple come with the match, and the next
  // codeword starts after them: there the halvings go two at a time. Elsewhere nothing
  // waits for the match, and single halvings take fewer instructions.
  std::uint32_t found;
  if constexpr (Book != 0 && !kCodebookForms[Book].isSigned) {
    found = row[at];
    at = PairedHalvings<commonSteps, 0>(row, key, at, found);
  } else {
    at = Halvings<commonSteps, 0>(row, key, at);
    found = row[at];
  }
  payload = static_cast<int>(found & payloadMask);
  if ((found >> kPayloadBits<Book>) != prefix) return -1;
  return kRuns<Book>[r].first + static_cast<int>(at);
}

// What ScalefactorDifference gives when no codeword matches.
inline constexpr int kNoScalefactorCodeword = -1000;

// The next scalefactor difference (-60 .. 60), or kNoScalefactorCodeword. `Bits` is the
// BitReader or a cursor over it.
template <typename Bits>
inline int ScalefactorDifference(Bits& reader) {
  if (reader.BitsAvailable() < search_tables::kMaxLength<0>) reader.Refill();
  int index = 0;
  if (FindSorted<0>(reader, index) < 0) return kNoScalefactorCodeword;
  return index - 60;
}

}  // namespace zbaac

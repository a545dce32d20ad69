// The length-ordered codeword search over the sorted tables, for the spectral data and
// the scalefactors, and what it derives from the tables at compile time.
//
// The search walks the codeword lengths in ascending order without a tree or a lookup
// table: it peeks the bits of the longest codeword once, compares their prefix of each
// length with the end of that length's codewords, and finds the prefix of the length it
// lands on among that length's codewords by its distance from the first of them (the
// codewords of one length are consecutive in a canonical table).
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

// The first codeword of each length.
template <std::size_t Runs, std::size_t N>
constexpr std::array<std::uint32_t, Runs> FirstCodewordsOf(const std::array<CodeLengthRun, Runs>& runs,
                                                          const std::array<CodeEntry, N>& sorted) {
  std::array<std::uint32_t, Runs> first{};
  for (std::size_t r = 0; r < Runs; ++r) first[r] = static_cast<std::uint32_t>(sorted[runs[r].first].codeword);
  return first;
}

// The number of codewords of each length.
template <std::size_t Runs>
constexpr std::array<std::uint32_t, Runs> CountsOf(const std::array<CodeLengthRun, Runs>& runs) {
  std::array<std::uint32_t, Runs> counts{};
  for (std::size_t r = 0; r < Runs; ++r) counts[r] = static_cast<std::uint32_t>(runs[r].Count());
  return counts;
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
inline constexpr auto kFirstCodewords = FirstCodewordsOf(kRuns<Book>, kSorted<Book>);
template <int Book>
inline constexpr auto kCounts = CountsOf(kRuns<Book>);
template <int Book>
inline constexpr auto kPayloads = PayloadsOf<Book>();

}  // namespace search_tables

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
  // The codewords of one length are consecutive, so the prefix's place among them is its
  // distance from the first; the bits lie within the length's end and above the ends of
  // the shorter lengths, so only bits below the table's first codeword fall outside.
  const std::uint32_t at = prefix - kFirstCodewords<Book>[r];
  if (at >= kCounts<Book>[r]) [[unlikely]] {
    payload = 0;
    return -1;
  }
  const int position = kRuns<Book>[r].first + static_cast<int>(at);
  payload = kPayloads<Book>[static_cast<std::size_t>(position)];
  return position;
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

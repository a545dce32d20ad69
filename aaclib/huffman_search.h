// The length-ordered codeword search over the sorted tables, for the spectral data and
// the scalefactors, and what it derives from the tables at compile time.
//
// The search goes by the codeword lengths in ascending order, without a tree or a lookup
// table: it peeks the bits of the longest codeword once, compares them with the ends of
// the lengths' codewords (halving over the lengths), and finds the prefix of the length it
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

// The end of each length's codewords: the first `width`-bit value above them (`width` the
// longest length), left-aligned.
template <std::size_t Runs>
constexpr std::array<std::uint32_t, Runs> LimitsOf(const std::array<CodeLengthRun, Runs>& runs) {
  std::array<std::uint32_t, Runs> limits{};
  const int width = runs.back().length;
  for (std::size_t r = 0; r < Runs; ++r) limits[r] = (runs[r].lastCodeword + 1) << (width - runs[r].length);
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

// For each length r, what makes a window's place from it when the codeword has that
// length: the window shifted left by the length's growth over the shortest one, plus the
// length's first position less its first codeword, shifted left by the longest length
// less the shortest. Either way the sum, shifted right by that last amount, is the place:
// the window's prefix of length r plus the length's offset into the table.
template <std::size_t Runs>
struct LengthPlaces {
  int shift = 0;                           // the longest length less the shortest
  std::array<std::uint8_t, Runs> scale{};  // this length less the shortest
  std::array<std::uint64_t, Runs> offset{};
};

template <std::size_t Runs, std::size_t N>
constexpr LengthPlaces<Runs> PlacesOf(const std::array<CodeLengthRun, Runs>& runs,
                                      const std::array<CodeEntry, N>& sorted) {
  LengthPlaces<Runs> places;
  places.shift = runs.back().length - runs.front().length;
  for (std::size_t r = 0; r < Runs; ++r) {
    places.scale[r] = static_cast<std::uint8_t>(runs[r].length - runs.front().length);
    const std::int64_t offset = runs[r].first - sorted[runs[r].first].codeword;
    places.offset[r] = static_cast<std::uint64_t>(offset) << places.shift;
  }
  return places;
}
template <int Book>
inline constexpr auto kPlaces = PlacesOf(kRuns<Book>, kSorted<Book>);

// The length of each entry's codeword.
template <int Book>
constexpr auto CodewordLengthsOf() {
  std::array<std::uint8_t, kSorted<Book>.size()> lengths{};
  for (std::size_t i = 0; i < lengths.size(); ++i) lengths[i] = static_cast<std::uint8_t>(kSorted<Book>[i].length);
  return lengths;
}
template <int Book>
inline constexpr auto kCodewordLengths = CodewordLengthsOf<Book>();

}  // namespace search_tables

// `high` when `window` is at or beyond `limit`, else `low`, by a conditional move: the
// compiler turns the plain form into jumps, which the unpredictable windows would
// mispredict.
[[gnu::always_inline]] inline std::uint64_t PickAtOrBeyond(std::uint32_t window, std::uint32_t limit,
                                                            std::uint64_t low, std::uint64_t high) {
#if defined(__x86_64__) && defined(__GNUC__)
  asm("cmpl %[limit], %[window]\n\tcmovae %[high], %[low]"
      : [low] "+r"(low)
      : [window] "r"(window), [limit] "ri"(limit), [high] "r"(high)
      : "cc");
  return low;
#else
  return window >= limit ? high : low;
#endif
}

// The position in the sorted table of codebook `Book` (1 .. 11, or 0 for the scalefactor
// codebook) of the codeword at the top of `window`, the next kMaxLength<Book> bits. The
// standard's tables are complete codes, so every window starts with a codeword.
//
// The prefixes lie beyond the codewords of every length shorter than the codeword's own
// and within those of its own, so the length ends the window reaches tell its length and
// where that length's codewords start in the table; the codewords of one length are
// consecutive in a canonical table, so the prefix less the first of them is its place
// among them. The lengths past the common ones are considered only when the window lies
// beyond those.
template <int Book>
[[gnu::always_inline]] inline std::size_t LocateSorted(std::uint32_t window) {
  using namespace search_tables;
  static_assert(IsCanonical(kSorted<Book>), "the search needs a canonical table");
  static_assert(TotalShare(kRuns<Book>) == std::uint64_t{1} << kMaxLength<Book> && kSorted<Book>[0].codeword == 0,
                "the search needs a complete code");
  constexpr auto& limits = kLimits<Book>;
  constexpr auto& places = kPlaces<Book>;
  // The window never reaches the last length's end.
  constexpr std::size_t ends = limits.size() - 1;
  constexpr std::size_t common = std::min<std::size_t>(kCommonLengths<Book>, ends);
  // The place as each of the lengths First .. Last would make it, and the one of the
  // length the window falls in, picked by halving: the window is at or beyond the end of
  // length Middle exactly when its length is one of those after Middle. The places are
  // made side by side with the comparisons, and the picks are conditional moves, so the
  // place waits only for the depth of the halving.
  const std::uint64_t wide = window;
  auto pick = [&]<std::size_t First, std::size_t Last>(auto& self) __attribute__((always_inline)) -> std::uint64_t {
    if constexpr (First == Last) {
      return (wide << places.scale[First]) + places.offset[First];
    } else {
      constexpr std::size_t middle = (First + Last) / 2;
      const std::uint64_t low = self.template operator()<First, middle>(self);
      const std::uint64_t high = self.template operator()<middle + 1, Last>(self);
      return PickAtOrBeyond(window, limits[middle], low, high);
    }
  };
  std::uint64_t place = 0;
  if constexpr (common < ends) {
    if (window >= limits[common - 1]) [[unlikely]] {
      place = pick.template operator()<common, ends>(pick);
    } else {
      place = pick.template operator()<0, common - 1>(pick);
    }
  } else {
    place = pick.template operator()<0, ends>(pick);
  }
  return static_cast<std::size_t>(place >> places.shift);
}

// The position in the sorted table of codebook `Book` of the next codeword, which it
// consumes. `payload` gets the entry's payload (its index for the scalefactor codebook,
// the number of sign bits its tuple takes for the others). `Bits` is the BitReader or a
// cursor over it, and must hold kMaxLength<Book> bits.
template <int Book, typename Bits>
inline int FindSorted(Bits& reader, int& payload) {
  const std::size_t position = LocateSorted<Book>(reader.Peek(search_tables::kMaxLength<Book>));
  reader.Skip(search_tables::kCodewordLengths<Book>[position]);
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

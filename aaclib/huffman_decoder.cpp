// Spectral data: the codeword search per codebook (huffman_search.h), tuple values, sign
// bits, escapes and the dequantized spectrum; pulses; the plain walk the search is held to.
#include "aaclib/huffman_decoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

#include "aaclib/aac_dequantize.h"
#include "aaclib/bit_reader.h"
#include "aaclib/huffman_search.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif


namespace zbaac {
namespace {

// Reads the escape sequence of a magnitude-16 value: a prefix of N - 4 one bits ended by
// a zero bit, then N bits w; the magnitude is 2^N + w. Returns -1 beyond the limit.
[[gnu::always_inline]] inline int ReadEscape(BitReader::Cursor& reader) {
  constexpr int kLongestPrefix = kMaxEscapeExponent - 4 + 1;  // the ones and the ending zero
  if (reader.BitsAvailable() < kLongestPrefix + kMaxEscapeExponent) reader.Refill();
  const std::uint32_t prefix = reader.Peek(kLongestPrefix) << (32 - kLongestPrefix);
  const int ones = std::countl_one(prefix);
  if (ones >= kLongestPrefix) {
    reader.Skip(kLongestPrefix);
    return -1;
  }
  reader.Skip(ones + 1);
  const int exponent = 4 + ones;
  const int w = static_cast<int>(reader.Peek(exponent));
  reader.Skip(exponent);
  return (1 << exponent) + w;
}

}  // namespace

int DecodeSymbol(BitReader& reader, std::span<const CodeEntry> sorted) {
  if (sorted.empty()) return -1;
  std::size_t i = 0;
  int length = sorted[0].length;
  std::uint32_t code = reader.ReadBits(length);
  while (code != static_cast<std::uint32_t>(sorted[i].codeword)) {
    ++i;
    if (i == sorted.size()) return -1;
    int extra = sorted[i].length - length;
    if (extra > 0) {
      code = (code << extra) | reader.ReadBits(extra);
      length = sorted[i].length;
    }
  }
  return sorted[i].index;
}

namespace {

// DecodeSymbol over the sorted table of codebook `Book`.
template <int Book>
inline int DecodeSymbolOf(BitReader& reader) {
  if (reader.BitsAvailable() < search_tables::kMaxLength<Book>) reader.Refill();
  int payload = 0;
  return search_tables::kSorted<Book>[static_cast<std::size_t>(FindSorted<Book>(reader, payload))].index;
}

}  // namespace

int DecodeCodebookSymbol(BitReader& reader, int book) {
  switch (book) {
    case 0: return DecodeSymbolOf<0>(reader);
    case 1: return DecodeSymbolOf<1>(reader);
    case 2: return DecodeSymbolOf<2>(reader);
    case 3: return DecodeSymbolOf<3>(reader);
    case 4: return DecodeSymbolOf<4>(reader);
    case 5: return DecodeSymbolOf<5>(reader);
    case 6: return DecodeSymbolOf<6>(reader);
    case 7: return DecodeSymbolOf<7>(reader);
    case 8: return DecodeSymbolOf<8>(reader);
    case 9: return DecodeSymbolOf<9>(reader);
    case 10: return DecodeSymbolOf<10>(reader);
    default:
      assert(book == kEscHcb && "no table for this codebook");
      return DecodeSymbolOf<11>(reader);
  }
}

int DecodeScalefactorDifference(BitReader& reader) { return ScalefactorDifference(reader); }

namespace {

// sign(q) x |q|^(4/3) x gain for |q| within the power table: the sign goes into the sign
// bit of the product, which is the same value as the product with the negated gain (the
// sign of a product never affects its rounding), without a branch on the sign.
inline float DequantizeInTable(const float* power, int q, float gain) {
  const std::uint32_t sign = static_cast<std::uint32_t>(q) & 0x80000000u;
  const int magnitude = q < 0 ? -q : q;
  return std::bit_cast<float>(std::bit_cast<std::uint32_t>(power[magnitude] * gain) ^ sign);
}

// The values of every quad of the quad codebooks (1 .. 4) raised to the power 4/3, sign
// kept, in the order of the sorted tables: a quad's coefficients are then its entry times
// the band's gain, which equals the power table's value times the gain with the sign put in.
class TuplePowers {
 public:
  TuplePowers() {
    [&]<int... Book>(std::integer_sequence<int, Book...>) { (Fill<Book + 1>(), ...); }(
        std::make_integer_sequence<int, 4>{});
  }
  // Four values for each entry of codebook `book`'s sorted table.
  const float* Of(int book) const { return values_[static_cast<std::size_t>(book)].data(); }

 private:
  template <int Book>
  void Fill() {
    const float* power = Powers().quantPower.data();
    static_assert(kCodebookForms[Book].dimension == 4);
    auto& values = values_[Book];
    for (const TupleValues& tuple : search_tables::kTuples<Book>) {
      for (int k = 0; k < 4; ++k) {
        const int q = tuple.values[static_cast<std::size_t>(k)];
        values.push_back(q < 0 ? -power[-q] : power[q]);
      }
    }
  }

  std::array<std::vector<float>, 5> values_;
};

const TuplePowers& TuplePowersTable() {
  static const TuplePowers table;
  return table;
}

// A pair codebook's tuple with its signs applied: its two values and their powers 4/3
// with the values' signs (a line's coefficient is its power times the band's gain). An
// unsigned codebook has one for each entry of the sorted table and each pair of bits that
// can follow its codeword, so that the sign bits pick the values with one index: the
// entry's position times four plus the two bits (the second of them unused when the
// tuple takes one sign bit, none when it takes none). A signed codebook has one per entry.
struct alignas(16) SignedPair {
  std::array<std::int32_t, 2> values{};
  std::array<float, 2> powers{};
};

template <int Book>
constexpr unsigned SignVariants() {
  return kCodebookForms[Book].isSigned ? 1u : 4u;
}

class SignedPairs {
 public:
  SignedPairs() {
    [&]<int... Book>(std::integer_sequence<int, Book...>) { (Fill<Book + kFirstPairCodebook>(), ...); }(
        std::make_integer_sequence<int, kEscHcb - kFirstPairCodebook + 1>{});
  }
  const SignedPair* Of(int book) const { return pairs_[static_cast<std::size_t>(book)].data(); }

 private:
  static constexpr int kFirstPairCodebook = 5;

  template <int Book>
  void Fill() {
    static_assert(kCodebookForms[Book].dimension == 2);
    const float* power = Powers().quantPower.data();
    auto& pairs = pairs_[Book];
    for (const TupleValues& tuple : search_tables::kTuples<Book>) {
      for (unsigned bits = 0; bits < SignVariants<Book>(); ++bits) {
        SignedPair pair;
        for (std::size_t k = 0; k < 2; ++k) {
          const int q = (bits & tuple.signBit[k]) != 0 ? -tuple.values[k] : tuple.values[k];
          pair.values[k] = q;
          pair.powers[k] = q < 0 ? -power[-q] : power[q];
        }
        pairs.push_back(pair);
      }
    }
  }

  std::array<std::vector<SignedPair>, kEscHcb + 1> pairs_;
};

const SignedPairs& SignedPairsTable() {
  static const SignedPairs table;
  return table;
}

// The bits each entry of codebook `Book`'s sorted table takes: its codeword and its sign
// bits. Escapes come after these.
template <int Book>
constexpr auto TupleBitsOf() {
  std::array<std::uint8_t, search_tables::kSorted<Book>.size()> bits{};
  for (std::size_t i = 0; i < bits.size(); ++i) {
    bits[i] = static_cast<std::uint8_t>(search_tables::kSorted<Book>[i].length + search_tables::kPayloads<Book>[i]);
  }
  return bits;
}
template <int Book>
inline constexpr auto kTupleBitsOf = TupleBitsOf<Book>();

// For each entry of the escape codebook's sorted table, whether either value is the
// escape magnitude 16.
constexpr auto EscapesOf() {
  std::array<bool, search_tables::kSorted<kEscHcb>.size()> escapes{};
  for (std::size_t i = 0; i < escapes.size(); ++i) {
    for (const std::int8_t value : search_tables::kTuples<kEscHcb>[i].values) escapes[i] = escapes[i] || value == 16;
  }
  return escapes;
}
inline constexpr auto kEscapes = EscapesOf();

// True when codebook `Book`'s shortest codeword is the single bit 0 and stands for the
// all-zero tuple: a run of 0 bits is then a run of zero tuples.
template <int Book>
constexpr bool ZeroTupleIsOneBit() {
  constexpr auto& sorted = search_tables::kSorted<Book>;
  constexpr auto& tuples = search_tables::kTuples<Book>;
  if (sorted[0].length != 1 || sorted[0].codeword != 0) return false;
  for (const std::int8_t value : tuples[0].values) {
    if (value != 0) return false;
  }
  return true;
}

// Passes the run of zero tuples of `Dimension` lines at `pos` in a codebook whose all-zero
// tuple is the one-bit codeword 0: one count of the leading 0 bits, at most the tuples
// left before `tupleEnd`, and only as many bits as leave `reserve` in the cache (bits past
// the available ones may read as 0; a zero tuple beyond them is decoded as any other).
// False when the run reaches `tupleEnd`.
template <int Dimension>
[[gnu::always_inline]] inline bool PassZeroTuples(BitReader::Cursor& reader, int& pos, int tupleEnd, int reserve) {
  const int left = std::min((tupleEnd - pos) / Dimension, reader.BitsAvailable() - reserve);
  const int zeros = std::min(std::countl_zero(reader.Peek(32)), left);
  reader.Skip(zeros);
  pos += zeros * Dimension;
  return pos < tupleEnd;
}

// The quads of codebook `Book` (1 .. 4) for the lines `start` .. `tupleEnd` of the spectrum
// (one band, or the bands of a section that lie one after the other; whole quads within
// the frame): the quantized values
// into `spectrum`, the values dequantized with their line's gain in `gains` into `coefs`.
// Both arrays are zero beforehand, and zero quads leave them so: where the all-zero quad
// is the one-bit codeword, a run of them is passed with one count of the leading 0 bits.
// The codeword and its sign bits are taken in one step. The arrays are declared unaliased
// so that the reader's cache stays in registers across the stores.
template <int Book>
[[gnu::always_inline]] inline void DecodeQuads(BitReader::Cursor& reader, int start, int tupleEnd,
                                                  std::int32_t* __restrict spectrum, float* __restrict coefs,
                                                  const float* __restrict gains,
                                                  const float* __restrict tuplePowers) {
  constexpr CodebookForm form = kCodebookForms[Book];
  static_assert(form.dimension == 4);
  constexpr auto& tuples = search_tables::kTuples<Book>;
  constexpr auto& tupleBits = kTupleBitsOf<Book>;
  // The bits a quad takes at most; the cache is refilled below this.
  constexpr int quadBits = search_tables::kMaxLength<Book> + 4;
  static_assert(quadBits <= BitReader::kRefillBits, "a quad fits one refill");
  for (int pos = start; pos < tupleEnd; pos += 4) {
    if (reader.BitsAvailable() < quadBits) reader.Refill();
    if constexpr (ZeroTupleIsOneBit<Book>()) {
      if (!PassZeroTuples<4>(reader, pos, tupleEnd, quadBits)) break;
    }
    const std::size_t position = LocateSorted<Book>(reader.Peek(search_tables::kMaxLength<Book>));
    // The sign bits, peeked at once: value k is negative when its bit is set.
    std::uint32_t signs = 0;
    if constexpr (!form.isSigned) signs = reader.Peek(search_tables::kCodewordLengths<Book>[position] + 4) & 15u;
    reader.Skip(tupleBits[position]);
    const TupleValues& tuple = tuples[position];
    const float* powers = tuplePowers + position * 4;
#if defined(__SSE2__)
    // The quad's eight bytes: its values, then the bits of their signs.
    const __m128i packed = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&tuple));
    __m128i values = packed;
    if constexpr (!form.isSigned) {
      // Each value byte meets its sign bit; -1 in the bytes to negate.
      const __m128i set = _mm_and_si128(_mm_cvtsi32_si128(static_cast<int>(signs * 0x01010101u)),
                                        _mm_srli_si128(packed, 4));
      const __m128i flip = _mm_cmpgt_epi8(set, _mm_setzero_si128());
      values = _mm_sub_epi8(_mm_xor_si128(packed, flip), flip);
    }
    const __m128i bytes = _mm_unpacklo_epi8(values, values);
    const __m128i ints = _mm_srai_epi32(_mm_unpacklo_epi16(bytes, bytes), 24);
    __m128 scaled = _mm_mul_ps(_mm_loadu_ps(powers), _mm_loadu_ps(gains + pos));
    // The powers of an unsigned codebook are those of the magnitudes: the sign is the value's.
    if constexpr (!form.isSigned) {
      scaled = _mm_xor_ps(scaled, _mm_castsi128_ps(_mm_and_si128(ints, _mm_set1_epi32(INT32_MIN))));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(spectrum + pos), ints);
    _mm_storeu_ps(coefs + pos, scaled);
#else
    for (int k = 0; k < 4; ++k) {
      // -1 where the sign bit makes the value negative, else 0.
      const int negate = -static_cast<int>((signs & tuple.signBit[static_cast<std::size_t>(k)]) != 0);
      const int q = tuple.values[static_cast<std::size_t>(k)];
      spectrum[pos + k] = (q ^ negate) - negate;
      const std::uint32_t sign = static_cast<std::uint32_t>(negate) & 0x80000000u;
      coefs[pos + k] = std::bit_cast<float>(std::bit_cast<std::uint32_t>(powers[k] * gains[pos + k]) ^ sign);
    }
#endif
  }
}

// The pairs of codebook `Book` (5 .. 11) for the lines `start` .. `tupleEnd`, as
// DecodeQuads does for the quads: values into `spectrum`, dequantized values into `coefs`, both zero
// beforehand. Each pair's values, signs applied, come from `pairs` by its position and the
// bits after its codeword, and the codeword and its sign bits are taken in one step.
template <int Book>
[[gnu::always_inline]] inline Outcome DecodePairs(BitReader::Cursor& reader, int start, int tupleEnd,
                                                  std::int32_t* __restrict spectrum, float* __restrict coefs,
                                                  const float* __restrict gains, const SignedPair* __restrict pairs,
                                                  const float* __restrict quantPower) {
  constexpr int maxLength = search_tables::kMaxLength<Book>;
  constexpr auto& tupleBits = kTupleBitsOf<Book>;
  // The bits a pair takes at most before its escapes; the cache is refilled below this,
  // so that a refill serves about three pairs.
  constexpr int pairBits = maxLength + 2;
  static_assert(pairBits <= BitReader::kRefillBits, "a pair fits one refill");
  for (int pos = start; pos < tupleEnd; pos += 2) {
    if (reader.BitsAvailable() < pairBits) reader.Refill();
    if constexpr (ZeroTupleIsOneBit<Book>()) {
      if (!PassZeroTuples<2>(reader, pos, tupleEnd, pairBits)) break;
    }
    const std::size_t position = LocateSorted<Book>(reader.Peek(maxLength));
    std::size_t variant = position;
    if constexpr (SignVariants<Book>() > 1u) {
      variant = 4 * variant + (reader.Peek(search_tables::kCodewordLengths<Book>[position] + 2) & 3u);
    }
    reader.Skip(tupleBits[position]);
    const SignedPair& pair = pairs[variant];
#if defined(__SSE2__)
    _mm_storel_epi64(reinterpret_cast<__m128i*>(spectrum + pos),
                     _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pair.values.data())));
    _mm_storel_pi(reinterpret_cast<__m64*>(coefs + pos),
                  _mm_mul_ps(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(pair.powers.data()))),
                             _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(gains + pos)))));
#else
    for (std::size_t k = 0; k < 2; ++k) {
      spectrum[pos + static_cast<int>(k)] = pair.values[k];
      coefs[pos + static_cast<int>(k)] = pair.powers[k] * gains[pos + static_cast<int>(k)];
    }
#endif
    if constexpr (Book == kEscHcb) {
      if (kEscapes[position]) [[unlikely]] {
        for (int k = 0; k < 2; ++k) {
          const int q = pair.values[static_cast<std::size_t>(k)];
          if (q != 16 && q != -16) continue;
          const int magnitude = ReadEscape(reader);
          if (magnitude < 0) return Fail(SyntaxErrorAt(reader.Reader(), SyntaxFault::EscapeTooLong));
          spectrum[pos + k] = q < 0 ? -magnitude : magnitude;
          coefs[pos + k] = DequantizeInTable(quantPower, spectrum[pos + k], gains[pos + k]);
        }
      }
    }
  }
  return Done{};
}

// The bands `firstBand` .. `endBand` of one window group, all coded with codebook `Book`,
// their lines' gains in `gains`. A band's values arrive window after window of the group;
// each window's share goes straight to that window's lines, which undoes the
// interleaving. A group of one window holds the section's lines one after the other, and
// they are decoded in one run.
template <int Book>
[[gnu::noinline]] Outcome DecodeSection(BitReader& reader, ChannelStream& channel, int firstWindow, int groupLength,
                                        int firstBand, int endBand, const float* gains) {
  const float* quantPower = Powers().quantPower.data();
  BitReader::Cursor bits(reader);
  auto decode = [&](int start, int end) __attribute__((always_inline)) -> Outcome {
    constexpr int dimension = kCodebookForms[Book].dimension;
    // Whole tuples, so the last one may end past `end` (band widths are multiples of 4).
    const int tupleEnd = start + (end - start + dimension - 1) / dimension * dimension;
    if (start < 0 || tupleEnd > kFrameLength) {
      return Fail(SyntaxErrorAt(bits.Reader(), SyntaxFault::SpectrumOverflow, start < 0 ? start : tupleEnd));
    }
    if constexpr (dimension == 2) {
      return DecodePairs<Book>(bits, start, tupleEnd, channel.spectrum.data(), channel.coefs.data(), gains,
                               SignedPairsTable().Of(Book), quantPower);
    } else {
      DecodeQuads<Book>(bits, start, tupleEnd, channel.spectrum.data(), channel.coefs.data(), gains,
                        TuplePowersTable().Of(Book));
      return Done{};
    }
  };
  if (groupLength == 1) {
    const int base = firstWindow * channel.windowLength;
    return decode(base + channel.swbOffset[firstBand], base + channel.swbOffset[endBand]);
  }
  for (int band = firstBand; band < endBand; ++band) {
    for (int w = firstWindow; w < firstWindow + groupLength; ++w) {
      const int base = w * channel.windowLength;
      auto decoded = decode(base + channel.swbOffset[band], base + channel.swbOffset[band + 1]);
      if (!decoded) return decoded;
    }
  }
  return Done{};
}

// Lines whose gain FillLineGains writes at once: at least the widest band of the long
// window at the common sampling rates, so that a band takes one step.
constexpr int kGainBlock = 32;

// The gain of each line of the bands with spectral data in the windows `firstWindow` ..
// `firstWindow + groupLength - 1`, from their scalefactors. Each band writes whole blocks
// from its start; a block running into the next band is overwritten by that band, since
// the bands are taken in order (`gains` holds kGainBlock lines past the frame).
void FillLineGains(const ChannelStream& channel, int firstWindow, int groupLength, float* gains) {
  const PowerTables& powers = Powers();
  for (int w = firstWindow; w < firstWindow + groupLength; ++w) {
    float* window = gains + w * channel.windowLength;
    for (int band = 0; band < channel.info.maxSfb; ++band) {
      const int cb = channel.codebook[w][band];
      if (cb < 1 || cb > kEscHcb) continue;
      const float gain = powers.ScalefactorGain(channel.scalefactor[w][band]);
      const int start = channel.swbOffset[band];
      const int width = channel.swbOffset[band + 1] - start;
      // A band beyond the frame is refused by its decoding; nothing is written for it.
      if (w * channel.windowLength + start + width > kFrameLength) continue;
      for (int block = 0; block < width; block += kGainBlock) {
        std::fill_n(window + start + block, kGainBlock, gain);
      }
    }
  }
}

// Calls `visit` with the number (as a constant) of codebook `cb` (1 .. 11).
template <typename Visit>
auto WithCodebook(int cb, Visit&& visit) {
  switch (cb) {
    case 1: return visit(std::integral_constant<int, 1>{});
    case 2: return visit(std::integral_constant<int, 2>{});
    case 3: return visit(std::integral_constant<int, 3>{});
    case 4: return visit(std::integral_constant<int, 4>{});
    case 5: return visit(std::integral_constant<int, 5>{});
    case 6: return visit(std::integral_constant<int, 6>{});
    case 7: return visit(std::integral_constant<int, 7>{});
    case 8: return visit(std::integral_constant<int, 8>{});
    case 9: return visit(std::integral_constant<int, 9>{});
    case 10: return visit(std::integral_constant<int, 10>{});
    default:
      assert(cb == kEscHcb && "no table for this codebook");
      return visit(std::integral_constant<int, 11>{});
  }
}

}  // namespace

std::array<int, 4> UnpackTuple(const SpectrumCodebook& book, int index) {
  // Digits of the index in base `modulus`, most significant first, less `offset`.
  std::array<int, 4> values{};
  for (int k = book.dimension - 1; k >= 0; --k) {
    values[static_cast<std::size_t>(k)] = index % book.modulus - book.offset;
    index /= book.modulus;
  }
  return values;
}

Outcome DecodeSpectralData(BitReader& reader, ChannelStream& channel) {
  const IcsInfo& info = channel.info;
  // Not cleared: only the lines of bands with spectral data are read, and those are set.
  alignas(16) std::array<float, kFrameLength + kGainBlock> gains;
  int window = 0;
  for (int g = 0; g < info.numWindowGroups; ++g) {
    const int groupLength = info.windowGroupLength[g];
    FillLineGains(channel, window, groupLength, gains.data());
    const auto& codebooks = channel.codebook[window];
    // One run of bands with the same codebook at a time, so that the codebook is chosen
    // once per run rather than per band.
    for (int band = 0; band < info.maxSfb;) {
      const int cb = codebooks[band];
      int end = band + 1;
      while (end < info.maxSfb && codebooks[end] == cb) ++end;
      const bool noData = cb == kZeroHcb || cb == kNoiseHcb || cb == kIntensityHcb || cb == kIntensityHcb2 ||
                          cb == kNoiseCorrelatedHcb;
      if (!noData) {
        if (cb == kReservedHcb || cb > kEscHcb) return Fail(SyntaxErrorAt(reader, SyntaxFault::ReservedCodebook, cb));
        auto decoded = WithCodebook(cb, [&](auto number) {
          return DecodeSection<decltype(number)::value>(reader, channel, window, groupLength, band, end,
                                                         gains.data());
        });
        if (!decoded) return decoded;
      }
      band = end;
    }
    window += groupLength;
  }
  return ApplyPulseData(channel);
}

Outcome ApplyPulseData(ChannelStream& channel) {
  const PulseData& pulse = channel.pulse;
  if (!pulse.present) return Done{};
  if (channel.info.windowSequence == WindowSequence::EightShort || pulse.startSfb > channel.numSwb) {
    return Fail(SyntaxFailure(SyntaxFault::PulseOutOfRange, ErrorPosition{}, pulse.startSfb));
  }
  const PowerTables& powers = Powers();
  int position = channel.swbOffset[pulse.startSfb];
  int band = pulse.startSfb;
  for (int i = 0; i < pulse.numberPulse; ++i) {
    position += pulse.offset[i];
    if (position >= kFrameLength) return Fail(SyntaxFailure(SyntaxFault::PulseOutOfRange, ErrorPosition{}, position));
    std::int32_t& value = channel.spectrum[position];
    value = value > 0 ? value + pulse.amp[i] : value - pulse.amp[i];
    // The line's coefficient follows its new value, in the bands that carry spectral data.
    while (band < channel.numSwb && channel.swbOffset[band + 1] <= position) ++band;
    const int cb = band < channel.numSwb ? channel.codebook[0][band] : static_cast<int>(kZeroHcb);
    if (cb >= 1 && cb <= kEscHcb) {
      channel.coefs[position] = powers.Dequantize(value) * powers.ScalefactorGain(channel.scalefactor[0][band]);
    }
  }
  return Done{};
}

}  // namespace zbaac

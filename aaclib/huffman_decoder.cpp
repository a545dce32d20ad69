// Length-ordered linear codeword search, tuple unpacking, sign bits and escapes.
//
// No tree or lookup table: the codebooks are walked in ascending codeword length, which
// finds the frequent short codewords after few comparisons. More bits are read only when
// the length grows, so each length costs one short read; within one length the
// codewords ascend, so the walk leaves a length at the first codeword above the bits
// read (or skips it whole when they lie above its last codeword) without changing which
// entry matches first. The decoder runs the walk specialised per codebook at compile
// time, so that each length's size, position and last codeword are constants.
#include "aaclib/huffman_decoder.h"

#include <cassert>
#include <cstdlib>
#include <type_traits>
#include <utility>

#include "aaclib/bit_reader.h"

namespace zbaac {
namespace {

// Reads the escape sequence of a magnitude-16 value: a prefix of N - 4 one bits ended by
// a zero bit, then N bits w; the magnitude is 2^N + w. Returns -1 beyond the limit.
int ReadEscape(BitReader& reader) {
  int exponent = 4;
  while (reader.ReadBit()) {
    ++exponent;
    if (exponent > kMaxEscapeExponent) return -1;
  }
  return (1 << exponent) + static_cast<int>(reader.ReadBits(exponent));
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

// One length of the search over codebook `Book` with everything about the length known
// at compile time: reads the bits the length adds, passes the length when they lie above
// its last codeword, else walks its codewords up to the first one not below them. Sets
// `index` and returns true on a match.
template <int Book, std::size_t Run>
inline bool SearchLength(BitReader& reader, std::uint32_t& code, int& index) {
  constexpr auto& runs = search_tables::kRuns<Book>;
  constexpr auto& codewords = search_tables::kCodewords<Book>;
  constexpr CodeLengthRun run = runs[Run];
  constexpr int extra = run.length - (Run == 0 ? 0 : runs[Run - 1].length);
  static_assert(extra > 0 && extra <= 16, "one narrow read per length");
  code = (code << extra) | reader.ReadBits(extra);
  if (code > run.lastCodeword) return false;
  std::size_t i = static_cast<std::size_t>(run.first);
  while (codewords[i] < code) ++i;
  if (codewords[i] != code) return false;
  index = search_tables::kSorted<Book>[i].index;
  return true;
}

// DecodeSymbol over the sorted table of codebook `Book`, its lengths laid out in order.
template <int Book>
inline int DecodeSymbolOf(BitReader& reader) {
  std::uint32_t code = 0;
  int index = -1;
  [&]<std::size_t... Run>(std::index_sequence<Run...>) {
    (SearchLength<Book, Run>(reader, code, index) || ...);
  }(std::make_index_sequence<search_tables::kRuns<Book>.size()>{});
  return index;
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

int DecodeScalefactorDifference(BitReader& reader, bool& ok) {
  int index = DecodeSymbolOf<0>(reader);
  ok = index >= 0;
  return ok ? index - 60 : 0;
}

namespace {

// The shape of a spectrum codebook as constants, so that tuple unpacking divides by
// constants and the sign and escape steps vanish where the codebook has none.
template <int DimensionV, int ModulusV, int OffsetV, bool SignedV, bool EscapeV>
struct CodebookShape {
  static constexpr int kDimension = DimensionV;
  static constexpr int kModulus = ModulusV;
  static constexpr int kOffset = OffsetV;
  static constexpr bool kSigned = SignedV;
  static constexpr bool kEscape = EscapeV;
};

// Calls `visit` with the shape and the number (as a constant) of codebook `cb` (1 .. 11).
template <typename Visit>
auto WithCodebook(int cb, Visit&& visit) {
  using Quad = CodebookShape<4, 3, 1, true, false>;
  using UnsignedQuad = CodebookShape<4, 3, 0, false, false>;
  using Pair = CodebookShape<2, 9, 4, true, false>;
  switch (cb) {
    case 1: return visit(Quad{}, std::integral_constant<int, 1>{});
    case 2: return visit(Quad{}, std::integral_constant<int, 2>{});
    case 3: return visit(UnsignedQuad{}, std::integral_constant<int, 3>{});
    case 4: return visit(UnsignedQuad{}, std::integral_constant<int, 4>{});
    case 5: return visit(Pair{}, std::integral_constant<int, 5>{});
    case 6: return visit(Pair{}, std::integral_constant<int, 6>{});
    case 7: return visit(CodebookShape<2, 8, 0, false, false>{}, std::integral_constant<int, 7>{});
    case 8: return visit(CodebookShape<2, 8, 0, false, false>{}, std::integral_constant<int, 8>{});
    case 9: return visit(CodebookShape<2, 13, 0, false, false>{}, std::integral_constant<int, 9>{});
    case 10: return visit(CodebookShape<2, 13, 0, false, false>{}, std::integral_constant<int, 10>{});
    default:
      assert(cb == kEscHcb && "no table for this codebook");
      return visit(CodebookShape<2, 17, 0, false, true>{}, std::integral_constant<int, 11>{});
  }
}

template <typename Shape>
std::array<int, 4> Unpack(int index) {
  constexpr int m = Shape::kModulus;
  constexpr int o = Shape::kOffset;
  std::array<int, 4> values{};
  if constexpr (Shape::kDimension == 4) {
    values[0] = index / (m * m * m) - o;
    index %= m * m * m;
    values[1] = index / (m * m) - o;
    index %= m * m;
    values[2] = index / m - o;
    values[3] = index % m - o;
  } else {
    values[0] = index / m - o;
    values[1] = index % m - o;
  }
  return values;
}

// The tuples of codebook `Book` for the lines `start` .. `end` of `spectrum`.
template <typename Shape, int Book>
Status<SyntaxError> DecodeTuples(BitReader& reader, int start, int end, std::int32_t* spectrum) {
  constexpr int dimension = Shape::kDimension;
  constexpr int cb = Book;
  [[maybe_unused]] const SpectrumCodebook& book = SpectrumCodebookFor(cb);
  assert(book.dimension == dimension && book.modulus == Shape::kModulus && book.offset == Shape::kOffset &&
         book.isSigned == Shape::kSigned && "codebook differs from its shape");
  for (int pos = start; pos < end; pos += dimension) {
    if (pos < 0 || pos + dimension > kFrameLength) {
      return Fail(SyntaxErrorAt(reader, SyntaxErrorKind::SpectrumOverflow, pos));
    }
    const int index = DecodeSymbolOf<Book>(reader);
    if (index < 0) return Fail(SyntaxErrorAt(reader, SyntaxErrorKind::NoCodewordMatch, cb));
    std::array<int, 4> values = Unpack<Shape>(index);
    if constexpr (!Shape::kSigned) {
      for (int k = 0; k < dimension; ++k) {
        if (values[k] != 0 && reader.ReadBit()) values[k] = -values[k];
      }
    }
    if constexpr (Shape::kEscape) {
      for (int k = 0; k < dimension; ++k) {
        if (std::abs(values[k]) != 16) continue;
        int magnitude = ReadEscape(reader);
        if (magnitude < 0) return Fail(SyntaxErrorAt(reader, SyntaxErrorKind::EscapeTooLong));
        values[k] = values[k] < 0 ? -magnitude : magnitude;
      }
    }
    for (int k = 0; k < dimension; ++k) spectrum[pos + k] = values[k];
  }
  return Done{};
}

}  // namespace

std::array<int, 4> UnpackTuple(const SpectrumCodebook& book, int index) {
  return WithCodebook(book.number, [index](auto shape, auto) { return Unpack<decltype(shape)>(index); });
}

Status<SyntaxError> DecodeSpectralData(BitReader& reader, ChannelStream& channel) {
  const IcsInfo& info = channel.info;
  const int windowLength = channel.windowLength;
  int window = 0;
  for (int g = 0; g < info.numWindowGroups; ++g) {
    const int groupLength = info.windowGroupLength[g];
    for (int band = 0; band < info.maxSfb; ++band) {
      const int cb = channel.codebook[window][band];
      if (cb == kZeroHcb || cb == kNoiseHcb || cb == kIntensityHcb || cb == kIntensityHcb2 ||
          cb == kNoiseCorrelatedHcb) {
        continue;
      }
      if (cb == kReservedHcb || cb > kEscHcb) return Fail(SyntaxErrorAt(reader, SyntaxErrorKind::ReservedCodebook, cb));
      // The band's values arrive window after window of the group; each window's share
      // goes straight to that window's lines, which undoes the interleaving.
      for (int w = window; w < window + groupLength; ++w) {
        const int start = w * windowLength + channel.swbOffset[band];
        const int end = w * windowLength + channel.swbOffset[band + 1];
        auto decoded = WithCodebook(cb, [&](auto shape, auto number) {
          return DecodeTuples<decltype(shape), decltype(number)::value>(reader, start, end, channel.spectrum.data());
        });
        if (!decoded) return decoded;
      }
    }
    window += groupLength;
  }
  return ApplyPulseData(channel);
}

Status<SyntaxError> ApplyPulseData(ChannelStream& channel) {
  const PulseData& pulse = channel.pulse;
  if (!pulse.present) return Done{};
  SyntaxError error{SyntaxErrorKind::PulseOutOfRange};
  if (channel.info.windowSequence == WindowSequence::EightShort || pulse.startSfb > channel.numSwb) {
    error.value = pulse.startSfb;
    return Fail(error);
  }
  int position = channel.swbOffset[pulse.startSfb];
  for (int i = 0; i < pulse.numberPulse; ++i) {
    position += pulse.offset[i];
    if (position >= kFrameLength) {
      error.value = position;
      return Fail(error);
    }
    std::int32_t& value = channel.spectrum[position];
    value = value > 0 ? value + pulse.amp[i] : value - pulse.amp[i];
  }
  return Done{};
}

}  // namespace zbaac

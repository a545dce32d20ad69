// Length-ordered linear codeword search, tuple unpacking, sign bits and escapes.
//
// No tree or lookup table: the codebooks are walked in ascending codeword length, which
// finds the frequent short codewords after few comparisons.
#include "aaclib/huffman_decoder.h"

#include <cstdlib>

#include "aaclib/bit_reader.h"

namespace zbaac {
namespace {

SyntaxError ErrorAt(const BitReader& reader, SyntaxErrorKind kind, int value = 0) {
  SyntaxError error{kind};
  error.bitPosition = reader.BitPosition();
  error.value = value;
  return error;
}

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

int DecodeScalefactorDifference(BitReader& reader, bool& ok) {
  int index = DecodeSymbol(reader, ScalefactorCodebook());
  ok = index >= 0;
  return ok ? index - 60 : 0;
}

std::array<int, 4> UnpackTuple(const SpectrumCodebook& book, int index) {
  const int m = book.modulus;
  const int o = book.offset;
  std::array<int, 4> values{};
  if (book.dimension == 4) {
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
      if (cb == kReservedHcb || cb > kEscHcb) return Fail(ErrorAt(reader, SyntaxErrorKind::ReservedCodebook, cb));
      const SpectrumCodebook& book = SpectrumCodebookFor(cb);
      // The band's values arrive window after window of the group; each window's share
      // goes straight to that window's lines, which undoes the interleaving.
      for (int w = window; w < window + groupLength; ++w) {
        const int start = w * windowLength + channel.swbOffset[band];
        const int end = w * windowLength + channel.swbOffset[band + 1];
        for (int pos = start; pos < end; pos += book.dimension) {
          if (pos < 0 || pos + book.dimension > kFrameLength) {
            return Fail(ErrorAt(reader, SyntaxErrorKind::SpectrumOverflow, pos));
          }
          int index = DecodeSymbol(reader, book.entries);
          if (index < 0) return Fail(ErrorAt(reader, SyntaxErrorKind::NoCodewordMatch, cb));
          std::array<int, 4> values = UnpackTuple(book, index);
          if (!book.isSigned) {
            for (int k = 0; k < book.dimension; ++k) {
              if (values[k] != 0 && reader.ReadBit()) values[k] = -values[k];
            }
          }
          if (cb == kEscHcb) {
            for (int k = 0; k < book.dimension; ++k) {
              if (std::abs(values[k]) != 16) continue;
              int magnitude = ReadEscape(reader);
              if (magnitude < 0) return Fail(ErrorAt(reader, SyntaxErrorKind::EscapeTooLong));
              values[k] = values[k] < 0 ? -magnitude : magnitude;
            }
          }
          for (int k = 0; k < book.dimension; ++k) channel.spectrum[pos + k] = values[k];
        }
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

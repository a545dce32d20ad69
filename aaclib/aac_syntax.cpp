// Syntax errors (their texts and positions) and the long-term-prediction coefficients.
#include "aaclib/aac_syntax.h"

#include <array>

#include "aaclib/bit_reader.h"

namespace zbaac {

SyntaxError SyntaxErrorAt(const BitReader& reader, SyntaxErrorKind kind, int value) {
  SyntaxError error{kind};
  error.bitPosition = reader.BitPosition();
  error.value = value;
  return error;
}

const char* SyntaxErrorText(SyntaxErrorKind kind) {
  switch (kind) {
    case SyntaxErrorKind::ReservedCodebook: return "reserved codebook";
    case SyntaxErrorKind::ScalefactorRange: return "scalefactor outside 0 .. 255";
    case SyntaxErrorKind::SectionsMismatch: return "sections do not add up to max_sfb";
    case SyntaxErrorKind::MaxSfbTooLarge: return "max_sfb above the band count";
    case SyntaxErrorKind::NoSuchChannel: return "channel element matches no channel";
    case SyntaxErrorKind::UnsupportedElement: return "coupling, data stream or LFE element";
    case SyntaxErrorKind::MainPrediction: return "Main profile prediction is not supported";
    case SyntaxErrorKind::NoCodewordMatch: return "bits match no codeword";
    case SyntaxErrorKind::EscapeTooLong: return "escape sequence beyond 8191";
    case SyntaxErrorKind::SpectrumOverflow: return "spectral data beyond 1024 lines";
    case SyntaxErrorKind::PulseOutOfRange: return "pulse outside the frame";
    case SyntaxErrorKind::NoiseOrIntensityRange: return "noise energy or intensity position out of range";
    case SyntaxErrorKind::TooManyElements: return "too many elements in one block";
    case SyntaxErrorKind::EndOfInput: return "end of input inside a block";
  }
  return "unknown syntax error";
}

float LtpCoefficient(int coefIndex) {
  // ISO/IEC 14496-3 long-term prediction, the codebook of ltp_coef.
  static constexpr std::array<float, 8> kCoefficients = {0.570829f, 0.696616f, 0.813004f, 0.911304f,
                                                         0.984900f, 1.067894f, 1.194601f, 1.369533f};
  return kCoefficients[static_cast<std::size_t>(coefIndex) & 7u];
}

}  // namespace zbaac

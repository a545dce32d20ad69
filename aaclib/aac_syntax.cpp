// Syntax errors (their texts and positions) and the long-term-prediction coefficients.
#include "aaclib/aac_syntax.h"

#include <array>
#include <string>

#include "aaclib/bit_reader.h"

namespace zbaac {

const char* SyntaxFaultText(SyntaxFault fault) {
  switch (fault) {
    case SyntaxFault::ReservedCodebook: return "reserved codebook";
    case SyntaxFault::ScalefactorRange: return "scalefactor outside 0 .. 255";
    case SyntaxFault::SectionsMismatch: return "sections do not add up to max_sfb";
    case SyntaxFault::MaxSfbTooLarge: return "max_sfb above the band count";
    case SyntaxFault::NoSuchChannel: return "channel element matches no channel";
    case SyntaxFault::UnsupportedElement: return "coupling, data stream or LFE element";
    case SyntaxFault::MainPrediction: return "Main profile prediction is not supported";
    case SyntaxFault::EscapeTooLong: return "escape sequence beyond 8191";
    case SyntaxFault::SpectrumOverflow: return "spectral data beyond 1024 lines";
    case SyntaxFault::PulseOutOfRange: return "pulse outside the frame";
    case SyntaxFault::NoiseOrIntensityRange: return "noise energy or intensity position out of range";
    case SyntaxFault::TooManyElements: return "too many elements in one block";
    case SyntaxFault::EndOfInput: return "end of input inside a block";
  }
  return "unknown syntax error";
}

Error SyntaxFailure(SyntaxFault fault, ErrorPosition position, int value) {
  const bool unsupported = fault == SyntaxFault::UnsupportedElement || fault == SyntaxFault::MainPrediction;
  std::string text = SyntaxFaultText(fault);
  if (value != 0) text += " (value " + std::to_string(value) + ")";
  if (position.Known()) text += " at " + PositionText(position);
  Error error(unsupported ? ErrorCategory::Unsupported : ErrorCategory::Format, position, std::move(text));
  error.WithCase(fault);
  return error;
}

Error SyntaxErrorAt(const BitReader& reader, SyntaxFault fault, int value) {
  return SyntaxFailure(fault, ErrorPosition::Bit(reader.BitPosition()), value);
}

float LtpCoefficient(int coefIndex) {
  // ISO/IEC 14496-3 long-term prediction, the codebook of ltp_coef.
  static constexpr std::array<float, 8> kCoefficients = {0.570829f, 0.696616f, 0.813004f, 0.911304f,
                                                         0.984900f, 1.067894f, 1.194601f, 1.369533f};
  return kCoefficients[static_cast<std::size_t>(coefIndex) & 7u];
}

}  // namespace zbaac

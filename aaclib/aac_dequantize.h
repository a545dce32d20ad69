// Inverse quantization: the power tables behind the dequantized spectrum.
#pragma once

#include <array>

#include "aaclib/aac_syntax.h"

namespace zbaac {

// i^(4/3) for magnitudes 0 .. 8191 (the largest an escape can code, so that the spectral
// decoding dequantizes by a plain lookup) and 2^(i/4) for scalefactors 100 .. 227,
// computed in double precision and stored as float.
struct PowerTables {
  static constexpr int kMaxMagnitude = 8191;
  std::array<float, kMaxMagnitude + 1> quantPower{};
  std::array<float, 128> gain{};

  PowerTables();

  // |q|^(4/3) with the sign of q: from the table up to 8191, by pow above.
  float Dequantize(int q) const;
  // Gain of a band with scalefactor s: 0 for s = 0 (the band is silenced), the table for
  // 100 .. 227, otherwise 2^((s - 100) / 4) by pow.
  float ScalefactorGain(int s) const {
    return static_cast<unsigned>(s - 100) < gain.size() ? gain[static_cast<unsigned>(s - 100)] : GainOutsideTable(s);
  }
  // ScalefactorGain for the scalefactors the table does not hold.
  float GainOutsideTable(int s) const;
};

// The tables, computed on first use and kept for the life of the process.
const PowerTables& Powers();

}  // namespace zbaac

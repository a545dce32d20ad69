// Inverse quantization: the power tables behind the dequantized spectrum.
#include "aaclib/aac_dequantize.h"

#include <cmath>

namespace zbaac {

PowerTables::PowerTables() {
  for (int i = 0; i <= kMaxMagnitude; ++i) {
    quantPower[i] = static_cast<float>(std::pow(static_cast<double>(i), 4.0 / 3.0));
  }
  for (int i = 0; i < 128; ++i) gain[i] = static_cast<float>(std::pow(2.0, i / 4.0));
}

float PowerTables::Dequantize(int q) const {
  const int magnitude = q < 0 ? -q : q;
  const float value = magnitude <= kMaxMagnitude
                          ? quantPower[magnitude]
                          : static_cast<float>(std::pow(static_cast<double>(magnitude), 4.0 / 3.0));
  return q < 0 ? -value : value;
}

float PowerTables::GainOutsideTable(int s) const {
  if (s == 0) return 0.0f;
  return static_cast<float>(std::pow(2.0, 0.25 * (s - 100)));
}

const PowerTables& Powers() {
  static const PowerTables tables;
  return tables;
}

}  // namespace zbaac

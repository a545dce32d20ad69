// Conversion of filterbank output to interleaved 16-bit PCM.
#pragma once

#include <cmath>
#include <cstdint>

namespace zbaac {

// Rounds to the nearest integer (halves away from zero) and clips to 16 bits; a value that
// is not a number gives 32767.
inline std::int16_t ToPcm16(float x) {
  if (x != x) return 32767;  // NaN
  // Clamped first, so that the conversion below cannot overflow; rounded in double, where
  // adding 0.5 is exact for every float in range.
  double clamped = static_cast<double>(x);
  clamped = clamped < -32768.0 ? -32768.0 : clamped;
  clamped = clamped > 32767.0 ? 32767.0 : clamped;
  const int value = static_cast<int>(clamped + std::copysign(0.5, clamped));  // truncates toward zero
  return static_cast<std::int16_t>(value > 32767 ? 32767 : value);
}

// Writes 1024 periods into out[2k + c] for c = 0, 1 from left and right (right may be the
// same array as left for a one-channel stream).
void InterleavePcm16(const float* left, const float* right, std::int16_t* out, int periods);

}  // namespace zbaac

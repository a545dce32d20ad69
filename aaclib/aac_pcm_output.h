// Conversion of filterbank output to interleaved 16-bit PCM.
#pragma once

#include <cmath>
#include <cstdint>

namespace zbaac {

// Rounds to the nearest integer (halves away from zero) and clips to 16 bits; a value that
// is not a number gives 32767.
inline std::int16_t ToPcm16(float x) {
  if (!(x <= 32767.0f)) return 32767;  // also NaN
  if (x < -32768.0f) return -32768;
  const double rounded = x < 0.0f ? static_cast<double>(x) - 0.5 : static_cast<double>(x) + 0.5;
  const int value = static_cast<int>(rounded);  // truncates toward zero
  if (value > 32767) return 32767;
  if (value < -32768) return -32768;
  return static_cast<std::int16_t>(value);
}

// Writes 1024 periods into out[2k + c] for c = 0, 1 from left and right (right may be the
// same array as left for a one-channel stream).
void InterleavePcm16(const float* left, const float* right, std::int16_t* out, int periods);

}  // namespace zbaac

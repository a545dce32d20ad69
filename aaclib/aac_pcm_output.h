// Conversion of filterbank output to interleaved 16-bit PCM.
#pragma once

#include <cstdint>

namespace zbaac {

// Rounds to the nearest integer (halves away from zero) and clips to 16 bits; a value that
// is not a number gives 32767.
inline std::int16_t ToPcm16(float x) {
  // Clamped first (NaN fails the first comparison and becomes 32767), so that the
  // conversion cannot overflow; the fraction left by truncation is exact in float, so
  // halves are recognised without adding 0.5 (which can round up).
  float clamped = !(x <= 32767.0f) ? 32767.0f : x;
  clamped = clamped < -32768.0f ? -32768.0f : clamped;
  const int truncated = static_cast<int>(clamped);
  const float fraction = clamped - static_cast<float>(truncated);
  return static_cast<std::int16_t>(truncated + (fraction >= 0.5f) - (fraction <= -0.5f));
}

// Writes 1024 periods into out[2k + c] for c = 0, 1 from left and right (right may be the
// same array as left for a one-channel stream). Uses AVX2 where the processor has it.
void InterleavePcm16(const float* left, const float* right, std::int16_t* out, int periods);

// The same conversion with the instructions every processor of the target has (SSE2 on
// x86-64), whatever this one offers: the results are the same, which the tests hold both
// to.
void InterleavePcm16Baseline(const float* left, const float* right, std::int16_t* out, int periods);

}  // namespace zbaac

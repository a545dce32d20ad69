// Floating-point samples (IEEE 754, little-endian, 32 or 64 bits) turned into the 24-bit
// signed PCM the audio output takes.
#pragma once

#include <cstddef>
#include <cstdint>

// The output's sample width for float input: 24 bits keep what a 32-bit float holds of
// audio at full scale.
inline constexpr uint16_t kFloatOutputBits = 24;

// Converts samples of inBits (32 or 64) at in to 24-bit little-endian PCM at out (3 bytes
// each). Full scale is ±1.0: a sample is scaled by 2^23, rounded to the nearest integer
// (halves away from zero) and clipped to -8388608 .. 8388607; NaN becomes 0.
void FloatToPcm24(const uint8_t* in, uint16_t inBits, size_t samples, uint8_t* out);

// Float to 24-bit PCM with clipping.
#include "player/engines/float_pcm.h"

#include <cmath>
#include <cstring>

namespace {

uint8_t* Put24(double x, uint8_t* out) {
  int32_t v = 0;
  if (!std::isnan(x)) {
    const double scaled = std::round(x * 8388608.0);
    v = scaled >= 8388607.0 ? 8388607 : scaled <= -8388608.0 ? -8388608 : int32_t(scaled);
  }
  const uint32_t u = uint32_t(v);
  out[0] = uint8_t(u);
  out[1] = uint8_t(u >> 8);
  out[2] = uint8_t(u >> 16);
  return out + 3;
}

}  // namespace

void FloatToPcm24(const uint8_t* in, uint16_t inBits, size_t samples, uint8_t* out) {
  static_assert(sizeof(float) == 4 && sizeof(double) == 8);
  // Little-endian hosts only (as the WAV reader and the outputs assume): the bytes are the
  // value's own.
  for (size_t i = 0; i < samples; ++i) {
    if (inBits == 64) {
      double x;
      std::memcpy(&x, in + 8 * i, 8);
      out = Put24(x, out);
    } else {
      float x;
      std::memcpy(&x, in + 4 * i, 4);
      out = Put24(double(x), out);
    }
  }
}

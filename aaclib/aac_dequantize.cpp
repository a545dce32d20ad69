// Inverse quantization: quantized integers to scaled spectral coefficients.
#include "aaclib/aac_dequantize.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>

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

float PowerTables::ScalefactorGain(int s) const {
  if (s == 0) return 0.0f;
  if (s >= 100 && s <= 227) return gain[s - 100];
  return static_cast<float>(std::pow(2.0, 0.25 * (s - 100)));
}

void Dequantize(const PowerTables& tables, const ChannelStream& stream, float* coefs) {
  std::fill(coefs, coefs + kFrameLength, 0.0f);
  const int windows = stream.info.numWindows;
  const int bands = std::min(stream.numSwb, kMaxBands);
  for (int w = 0; w < windows; ++w) {
    const int base = w * stream.windowLength;
    for (int b = 0; b < bands; ++b) {
      const int cb = stream.codebook[w][b];
      if (cb == kZeroHcb || cb > kEscHcb) continue;
      const int start = base + stream.swbOffset[b];
      const int end = std::min(base + static_cast<int>(stream.swbOffset[b + 1]), kFrameLength);
      const float gain = tables.ScalefactorGain(stream.scalefactor[w][b]);
      const std::int32_t* q = stream.spectrum.data();
      const float* power = tables.quantPower.data();
      for (int i = start; i < end; ++i) {
        const int v = q[i];
        const unsigned magnitude = static_cast<unsigned>(v < 0 ? -static_cast<long>(v) : v);
        if (magnitude > PowerTables::kMaxMagnitude) {
          coefs[i] = tables.Dequantize(v) * gain;
          continue;
        }
        // |q|^(4/3) x gain with the sign of q put into the sign bit: the same value as the
        // product with the negated gain (the sign of a product never affects its
        // rounding), without a branch on the sign, which is unpredictable in music.
        const std::uint32_t sign = static_cast<std::uint32_t>(v) & 0x80000000u;
        coefs[i] = std::bit_cast<float>(std::bit_cast<std::uint32_t>(power[magnitude] * gain) ^ sign);
      }
    }
  }
}

}  // namespace zbaac

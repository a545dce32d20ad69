// CopyWithGain: per-channel volume on 8-, 16-, 24- and 32-bit integer PCM.
#include "common/audio/pcm_gain.h"

#include <cstring>

namespace {

// Scales one sample value by factor / 65536 (factor 65536 = unchanged), rounding toward zero.
inline int64_t Scale(int64_t sample, int64_t factor) { return (sample * factor) / 65536; }

}  // namespace

void CopyWithGain(const uint8_t* in, uint8_t* out, size_t bytes, const AudioFormat& format, uint32_t left,
                  uint32_t right) {
  if (left >= kVolumeFull && right >= kVolumeFull) {
    std::memcpy(out, in, bytes);
    return;
  }
  // 65535 maps to 65536 so that full volume is exact; the rest scale linearly.
  const int64_t leftFactor = left >= kVolumeFull ? 65536 : int64_t(left);
  const int64_t rightFactor = right >= kVolumeFull ? 65536 : int64_t(right);
  const size_t sampleBytes = format.bitsPerSample / 8;
  const size_t channels = format.channels;
  size_t channel = 0;
  for (size_t at = 0; at + sampleBytes <= bytes; at += sampleBytes) {
    const int64_t factor = channel == 0 ? leftFactor : rightFactor;
    channel = channel + 1 == channels ? 0 : channel + 1;
    switch (sampleBytes) {
      case 1:
        out[at] = uint8_t(128 + Scale(int64_t(in[at]) - 128, factor));
        break;
      case 2: {
        const int64_t s = int16_t(uint16_t(in[at] | in[at + 1] << 8));
        const uint16_t v = uint16_t(int16_t(Scale(s, factor)));
        out[at] = uint8_t(v);
        out[at + 1] = uint8_t(v >> 8);
        break;
      }
      case 3: {
        int32_t s = int32_t(uint32_t(in[at]) | uint32_t(in[at + 1]) << 8 | uint32_t(in[at + 2]) << 16);
        if (s & 0x800000) s -= 0x1000000;
        const uint32_t v = uint32_t(int32_t(Scale(s, factor)));
        out[at] = uint8_t(v);
        out[at + 1] = uint8_t(v >> 8);
        out[at + 2] = uint8_t(v >> 16);
        break;
      }
      default: {
        const int64_t s = int32_t(uint32_t(in[at]) | uint32_t(in[at + 1]) << 8 | uint32_t(in[at + 2]) << 16 |
                                  uint32_t(in[at + 3]) << 24);
        const uint32_t v = uint32_t(int32_t(Scale(s, factor)));
        for (int b = 0; b < 4; ++b) out[at + size_t(b)] = uint8_t(v >> (8 * b));
        break;
      }
    }
  }
}

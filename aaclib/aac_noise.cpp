// Perceptual noise substitution: noise bands filled from the library's generator.
#include "aaclib/aac_noise.h"

#include <cmath>

#include "aaclib/aac_stereo.h"

namespace zbaac {

void NoiseSubstitution::FillBand(std::uint32_t& state, int energy, float* out, int width) {
  if (width <= 0) return;
  // Pre-scaling keeps the squares far from float overflow; the band is normalized below.
  const float g = 1.0f / static_cast<float>(std::sqrt(width * 1.5625e18));
  long double sum = 0.0L;
  std::uint32_t s = state;
  for (int i = 0; i < width; ++i) {
    s = s * 1664525u + 1013904223u;
    const float v = g * static_cast<float>(static_cast<std::int32_t>(s));
    out[i] = v;
    sum += static_cast<long double>(v) * v;
  }
  state = s;
  const float norm = sum > 0.0L ? 1.0f / static_cast<float>(std::sqrt(static_cast<double>(sum))) : 0.0f;
  const float gain = static_cast<float>(std::pow(2.0, 0.25 * energy));
  for (int i = 0; i < width; ++i) out[i] = out[i] * norm * gain;
}

void NoiseSubstitution::Apply(const ChannelStream& stream, const ChannelStream* left, const PairStereo* pair,
                              float* coefs) {
  ForEachBand(stream, [&](int w, int group, int b, int start, int end) {
    const int cb = stream.codebook[w][b];
    if (!IsNoiseCodebook(cb)) return;
    bool correlated = false;
    if (left != nullptr && IsNoiseCodebook(left->codebook[w][b])) {
      const bool flagged = pair != nullptr && pair->msMaskPresent != 0 && pair->msUsed[group][b];
      correlated = cb == kNoiseCorrelatedHcb || flagged;
    }
    if (correlated) {
      std::uint32_t replay = bandStates_[w][b];
      FillBand(replay, stream.scalefactor[w][b], coefs + start, end - start);
    } else {
      bandStates_[w][b] = state_;
      FillBand(state_, stream.scalefactor[w][b], coefs + start, end - start);
    }
  });
}

}  // namespace zbaac

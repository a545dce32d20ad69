// Joint stereo tools of a channel pair: M/S and intensity stereo.
#include "aaclib/aac_stereo.h"

#include <cmath>

namespace zbaac {

void ApplyMidSide(const PairStereo& pair, const ChannelStream& left, const ChannelStream& right,
                  float* leftCoefs, float* rightCoefs) {
  if (pair.msMaskPresent == 0) return;
  ForEachBand(left, [&](int w, int group, int b, int start, int end) {
    if (!pair.msUsed[group][b]) return;
    const int lcb = left.codebook[w][b];
    const int rcb = right.codebook[w][b];
    if (IsNoiseCodebook(lcb) || IsNoiseCodebook(rcb) || IsIntensityCodebook(rcb)) return;
    for (int i = start; i < end; ++i) {
      const float l = leftCoefs[i];
      const float r = rightCoefs[i];
      leftCoefs[i] = l + r;
      rightCoefs[i] = l - r;
    }
  });
}

void ApplyIntensityStereo(const PairStereo& pair, const ChannelStream& right, const float* leftCoefs,
                          float* rightCoefs) {
  ForEachBand(right, [&](int w, int group, int b, int start, int end) {
    const int cb = right.codebook[w][b];
    if (!IsIntensityCodebook(cb)) return;
    float sign = cb == kIntensityHcb ? 1.0f : -1.0f;
    if (pair.msMaskPresent != 0 && pair.msUsed[group][b]) sign = -sign;
    const float scale = static_cast<float>(std::pow(0.5, 0.25 * right.scalefactor[w][b]));
    const float factor = sign * scale;
    for (int i = start; i < end; ++i) rightCoefs[i] = factor * leftCoefs[i];
  });
}

}  // namespace zbaac

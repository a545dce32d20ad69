// Joint stereo tools of a channel pair: M/S and intensity stereo.
#include "aaclib/aac_stereo.h"

#include <algorithm>
#include <cmath>

namespace zbaac {

namespace {

// Calls fn(window, group, band, start, end) for every band of every window of the stream,
// start and end being positions in the 1024-line frame.
template <typename Fn>
void ForEachBand(const ChannelStream& s, Fn&& fn) {
  const int bands = std::min(s.numSwb, kMaxBands);
  for (int w = 0; w < s.info.numWindows && w < kMaxWindows; ++w) {
    const int group = s.info.windowGroup[w];
    const int base = w * s.windowLength;
    for (int b = 0; b < bands; ++b) {
      const int start = base + s.swbOffset[b];
      const int end = std::min(base + static_cast<int>(s.swbOffset[b + 1]), kFrameLength);
      fn(w, group, b, start, end);
    }
  }
}

}  // namespace

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

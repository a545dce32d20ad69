// Joint stereo tools of a channel pair: M/S and intensity stereo.
#pragma once

#include <algorithm>

#include "aaclib/aac_syntax.h"

namespace zbaac {

// True for the codebooks whose bands carry no spectral data of their own.
inline bool IsNoiseCodebook(int cb) { return cb == kNoiseHcb || cb == kNoiseCorrelatedHcb; }
inline bool IsIntensityCodebook(int cb) { return cb == kIntensityHcb || cb == kIntensityHcb2; }

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

// M/S: every band whose ms_used flag is set becomes left + right, left - right. Bands in
// which either channel is a noise or intensity band are left alone: they have no
// transmitted coefficients to combine, and their flag changes the meaning of the band
// instead (see ApplyIntensityStereo and the noise tool).
void ApplyMidSide(const PairStereo& pair, const ChannelStream& left, const ChannelStream& right,
                  float* leftCoefs, float* rightCoefs);

// Intensity stereo: each intensity band of the right channel becomes sign x 0.5^(p/4) x the
// left coefficients, p the band's intensity position, sign +1 for codebook 15 and -1 for 14,
// inverted once more when the band's ms_used flag is still set (ms_mask_present 2).
void ApplyIntensityStereo(const PairStereo& pair, const ChannelStream& right, const float* leftCoefs,
                          float* rightCoefs);

}  // namespace zbaac

// Temporal noise shaping: all-pole filtering of spectral coefficients along frequency.
#include "aaclib/aac_tns.h"

#include <algorithm>
#include <cmath>

#include "aaclib/aac_tables_bands.h"

namespace zbaac {

void TnsPredictionCoefficients(const std::int8_t* coef, int order, int coefRes, float* lpc) {
  const double t = static_cast<double>(1 << (coefRes + 2));
  const double twoOverPi = 0.6366197546520227;
  const double scaleNegative = (t + 0.5) * twoOverPi;
  const double scalePositive = (t - 0.5) * twoOverPi;
  float reflection[kMaxTnsOrder + 1];
  for (int i = 0; i < order; ++i) {
    const double c = coef[i];
    reflection[i + 1] = static_cast<float>(std::sin(c / (c < 0 ? scaleNegative : scalePositive)));
  }
  float previous[kMaxTnsOrder + 1];
  lpc[0] = 1.0f;
  for (int m = 1; m <= order; ++m) {
    for (int i = 1; i < m; ++i) previous[i] = lpc[i];
    const float k = reflection[m];
    for (int i = 1; i < m; ++i) lpc[i] = previous[i] + k * previous[m - i];
    lpc[m] = k;
  }
}

void TnsFilterRange(float* x, int start, int end, int direction, const float* lpc, int order, bool analysis) {
  const int count = end - start;
  if (count <= 0 || order <= 0) return;
  const int step = direction ? -1 : 1;
  float* p = direction ? x + end - 1 : x + start;
  float memory[kMaxTnsOrder] = {};  // memory[k] = value k + 1 steps back
  for (int n = 0; n < count; ++n, p += step) {
    const float in = *p;
    float acc = in;
    if (analysis) {
      for (int k = 0; k < order; ++k) acc += lpc[k + 1] * memory[k];
    } else {
      for (int k = 0; k < order; ++k) acc -= lpc[k + 1] * memory[k];
    }
    for (int k = order - 1; k > 0; --k) memory[k] = memory[k - 1];
    memory[0] = analysis ? in : acc;
    *p = acc;
  }
}

void ApplyTns(const ChannelStream& stream, int samplingIndex, int maxOrderLong, float* coefs, bool analysis) {
  if (!stream.tnsDataPresent) return;
  const bool isShort = stream.info.windowSequence == WindowSequence::EightShort;
  const int index = std::clamp(samplingIndex, 0, kSamplingIndexCount - 1);
  const int bandLimit = isShort ? kTnsMaxBandsShort[index] : kTnsMaxBandsLong[index];
  const int maxOrder = isShort ? kTnsMaxOrderShort : std::min(maxOrderLong, kMaxTnsOrder);
  const int limit = std::min({bandLimit, stream.info.maxSfb, stream.numSwb});
  float lpc[kMaxTnsOrder + 1];
  for (int w = 0; w < stream.info.numWindows && w < kMaxWindows; ++w) {
    const TnsWindow& window = stream.tns[w];
    const int base = w * stream.windowLength;
    for (int f = 0; f < window.nFilt && f < kMaxTnsFilters; ++f) {
      const TnsFilter& filter = window.filters[f];
      const int order = std::min(filter.order, maxOrder);
      if (order <= 0) continue;
      const int bottom = std::clamp(filter.bottomBand, 0, limit);
      const int top = std::clamp(filter.topBand, 0, limit);
      const int start = base + stream.swbOffset[bottom];
      const int end = base + stream.swbOffset[top];
      if (end <= start) continue;
      TnsPredictionCoefficients(filter.coef.data(), order, window.coefRes, lpc);
      TnsFilterRange(coefs, start, std::min(end, kFrameLength), filter.direction, lpc, order, analysis);
    }
  }
}

}  // namespace zbaac

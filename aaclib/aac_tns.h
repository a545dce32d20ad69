// Temporal noise shaping: all-pole filtering of spectral coefficients along frequency.
#pragma once

#include "aaclib/aac_syntax.h"

namespace zbaac {

constexpr int kTnsMaxOrderLong = 20;
constexpr int kTnsMaxOrderLongLowComplexity = 12;
constexpr int kTnsMaxOrderShort = 7;

// Turns transmitted coefficients (signed values of coef_res + 3 bits, or one bit fewer when
// compressed) into direct-form prediction coefficients lpc[1 .. order] (lpc[0] unused):
// reflection coefficients sin(c / scale) with scale (2^(coefRes+2) -/+ 0.5) x 2/pi, then the
// step-up recursion.
void TnsPredictionCoefficients(const std::int8_t* coef, int order, int coefRes, float* lpc);

// In-place filter of x[start .. end): the decoder's all-pole filter
// y[n] = x[n] - sum lpc[k] y[n-k] (synthesis), or the encoder's moving-average filter
// y[n] = x[n] + sum lpc[k] x[n-k] (analysis), running upward or, for direction 1, downward.
void TnsFilterRange(float* x, int start, int end, int direction, const float* lpc, int order, bool analysis);

// Applies every TNS filter of every window of the stream to its coefficients (window
// order, 1024 lines). The band range of a filter is limited to the smaller of maxSfb and
// the TNS band limit of the stream's sampling frequency; the order to `maxOrderLong` for
// long windows and 7 for short ones. With `analysis`, runs the encoder's inverse filter
// (used on the long-term prediction of a block that also carries TNS).
void ApplyTns(const ChannelStream& stream, int samplingIndex, int maxOrderLong, float* coefs, bool analysis);

}  // namespace zbaac

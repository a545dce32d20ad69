// Long-term prediction: predicts a long block's spectrum from the channel's past output.
#include "aaclib/aac_ltp.h"

#include <algorithm>

#include "aaclib/aac_tns.h"

namespace zbaac {

void LtpHistory::Update(const FilterbankChannel& channel) {
  float* h = samples.data();
  std::copy(h + kFrameLength, h + 2 * kFrameLength, h);
  std::copy(channel.timeOut.begin(), channel.timeOut.end(), h + kFrameLength);
  std::copy(channel.overlap.begin(), channel.overlap.begin() + kFrameLength, h + 2 * kFrameLength);
}

void LongTermPredictor::Predict(const ChannelStream& stream, const LtpHistory& history, int previousShape,
                                int samplingIndex, int maxTnsOrderLong, Filterbank& filterbank, float* coefs) {
  const WindowSequence sequence = stream.info.windowSequence;
  if (sequence == WindowSequence::EightShort || !stream.ltp.present) return;
  const float coefficient = LtpCoefficient(stream.ltp.coefIndex);
  const int lag = std::clamp(stream.ltp.lag, 0, 2 * kFrameLength - 1);
  const float* h = history.samples.data();
  const int first = 2 * kFrameLength - lag;  // history index of estimate sample 0
  const int available = std::min(2 * kFrameLength, kLtpHistoryLength - first);
  for (int i = 0; i < available; ++i) estimate_[i] = coefficient * h[first + i];
  std::fill(estimate_.begin() + available, estimate_.end(), 0.0f);

  filterbank.ForwardLong(sequence, previousShape, stream.info.windowShape, estimate_.data(), predicted_.data());
  ApplyTns(stream, samplingIndex, maxTnsOrderLong, predicted_.data(), /*analysis=*/true);

  const int bands = std::min({stream.info.maxSfb, kMaxLtpLongBands, stream.numSwb});
  for (int b = 0; b < bands; ++b) {
    if (!stream.ltp.longUsed[b]) continue;
    const int end = std::min(static_cast<int>(stream.swbOffset[b + 1]), kFrameLength);
    for (int i = stream.swbOffset[b]; i < end; ++i) coefs[i] += predicted_[i];
  }
}

}  // namespace zbaac

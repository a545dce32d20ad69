// Long-term prediction: predicts a long block's spectrum from the channel's past output.
#include "aaclib/aac_ltp.h"

#include <algorithm>

#include "aaclib/aac_tns.h"

namespace zbaac {

void LongTermPredictor::Predict(const ChannelStream& stream, const FilterbankChannel& channel, int samplingIndex,
                                int maxTnsOrderLong, Filterbank& filterbank, float* coefs) {
  const WindowSequence sequence = stream.info.windowSequence;
  if (sequence == WindowSequence::EightShort || !stream.ltp.present) return;
  const float coefficient = LtpCoefficient(stream.ltp.coefIndex);
  const int lag = std::clamp(stream.ltp.lag, 0, 2 * kFrameLength - 1);
  const int first = 2 * kFrameLength - lag;  // history index of estimate sample 0
  // The estimate is taken part by part of the history, then zeros past its end.
  int i = 0;
  for (int part = first / kFrameLength; part < 3 && i < 2 * kFrameLength; ++part) {
    const float* h = channel.History(static_cast<HistoryPart>(part));
    for (int at = first + i - part * kFrameLength; at < kFrameLength && i < 2 * kFrameLength; ++at, ++i) {
      estimate_[i] = coefficient * h[at];
    }
  }
  std::fill(estimate_.begin() + i, estimate_.end(), 0.0f);

  filterbank.ForwardLong(sequence, channel.previousShape, stream.info.windowShape, estimate_.data(), predicted_.data());
  ApplyTns(stream, samplingIndex, maxTnsOrderLong, predicted_.data(), /*analysis=*/true);

  const int bands = std::min({stream.info.maxSfb, kMaxLtpLongBands, stream.numSwb});
  for (int b = 0; b < bands; ++b) {
    if (!stream.ltp.longUsed[b]) continue;
    const int end = std::min(static_cast<int>(stream.swbOffset[b + 1]), kFrameLength);
    for (int k = stream.swbOffset[b]; k < end; ++k) coefs[k] += predicted_[k];
  }
}

}  // namespace zbaac

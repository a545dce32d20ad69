// Long-term prediction: predicts a long block's spectrum from the channel's past output.
#pragma once

#include <array>

#include "aaclib/aac_filterbank.h"
#include "aaclib/aac_syntax.h"

namespace zbaac {

// The time signal a channel predicts from, as the filterbank keeps it: [0, 1024) the
// output two blocks back, [1024, 2048) the last block's output, [2048, 3072) the windowed
// second half of the last block's inverse transform that the next block will overlap
// (its aliased estimate). It follows the decoded output through every block, short ones
// included, so that a long block after short ones predicts from no gap.
constexpr int kLtpHistoryLength = 3 * kFrameLength;

// Adds the prediction to `coefs` of a long block (nothing for EIGHT_SHORT or without LTP
// data): x[i] = coefficient x history[i + 2048 - lag] over the 2048 samples of the block's
// window span (zero past the end of the history), windowed and transformed like the block
// (rising half by the channel's previous shape), passed through the encoder's TNS filter
// when the block carries TNS, and added in the bands below min(maxSfb, 40) whose
// ltp_long_used flag is set.
class LongTermPredictor {
 public:
  void Predict(const ChannelStream& stream, const FilterbankChannel& channel, int samplingIndex, int maxTnsOrderLong,
               Filterbank& filterbank, float* coefs);

 private:
  std::array<float, 2 * kFrameLength> estimate_{};
  std::array<float, kFrameLength> predicted_{};
};

}  // namespace zbaac

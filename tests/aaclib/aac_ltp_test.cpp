// Tests of long-term prediction: the history it keeps and the prediction it adds.
#include "aaclib/aac_ltp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "aaclib/aac_tns.h"
#include "aaclib/band_layout.h"
#include "tests/aaclib/helpers/syntax_builders.h"

namespace zbaac {
namespace {

using test::LaidOutChannel;

// Catches a history that stands still in short blocks (it must follow the decoded output,
// or the next long block predicts from a gap): after short blocks the prediction is
// taken from the short blocks' output.
TEST(LongTermPredictorTest, PredictsFromTheOutputOfShortBlocks) {
  Filterbank fb;
  FilterbankChannel ch;
  std::vector<float> x(kFrameLength, 0.0f);
  x[7] = 2000.0f;
  x[300] = -700.0f;
  for (WindowSequence seq : {WindowSequence::LongStart, WindowSequence::EightShort, WindowSequence::EightShort}) {
    fb.Run(seq, 0, x.data(), ch);
  }
  ChannelStream s = LaidOutChannel(WindowSequence::LongStop);
  s.ltp.present = true;
  s.ltp.lag = 1024;  // the estimate starts with the last output
  s.ltp.coefIndex = 0;
  s.info.maxSfb = 40;
  s.ltp.longUsed.fill(1);
  std::vector<float> estimate(2 * kFrameLength, 0.0f), expected(kFrameLength);
  for (int i = 0; i < kFrameLength; ++i) {
    estimate[i] = LtpCoefficient(0) * ch.TimeOut()[i];
    estimate[kFrameLength + i] = LtpCoefficient(0) * ch.Overlap()[i];
  }
  Filterbank reference;
  reference.ForwardLong(WindowSequence::LongStop, 0, 0, estimate.data(), expected.data());
  LongTermPredictor predictor;
  std::vector<float> coefs(kFrameLength, 0.0f);
  predictor.Predict(s, ch, 4, kTnsMaxOrderLong, fb, coefs.data());
  float peak = 0.0f;
  for (int i = 0; i < s.swbOffset[40]; ++i) {
    ASSERT_FLOAT_EQ(coefs[i], expected[i]) << i;
    peak = std::max(peak, std::fabs(coefs[i]));
  }
  EXPECT_GT(peak, 1.0f);
}

// Catches prediction from the wrong place of the history, a wrong coefficient, or
// prediction added outside the used bands: the added spectrum equals the transform of
// coefficient x history[i + 2048 - lag] in used bands below min(maxSfb, 40) and is zero
// elsewhere.
TEST(LongTermPredictorTest, AddsTransformedEstimateInUsedBandsOnly) {
  FilterbankChannel history;
  history.previousShape = 1;
  auto sample = [](int i) { return 3000.0f * std::sin(0.05f * i) + static_cast<float>(i % 17); };
  for (int part = 0; part < 3; ++part) {
    float* h = history.History(static_cast<HistoryPart>(part));
    for (int i = 0; i < kFrameLength; ++i) h[i] = sample(part * kFrameLength + i);
  }
  ChannelStream s = LaidOutChannel();
  s.ltp.present = true;
  s.ltp.lag = 1500;
  s.ltp.coefIndex = 3;
  s.info.maxSfb = 45;
  for (int b = 0; b < kMaxLtpLongBands; ++b) s.ltp.longUsed[b] = b != 5;
  s.ltp.longUsed[42] = 1;  // above the 40-band limit: must be ignored

  std::vector<float> estimate(2 * kFrameLength, 0.0f), expected(kFrameLength);
  for (int i = 0; i < 2 * kFrameLength; ++i) {
    const int at = i + 2 * kFrameLength - s.ltp.lag;
    if (at < kLtpHistoryLength) estimate[i] = LtpCoefficient(3) * sample(at);
  }
  Filterbank reference;
  reference.ForwardLong(WindowSequence::OnlyLong, 1, 0, estimate.data(), expected.data());

  Filterbank fb;
  LongTermPredictor predictor;
  std::vector<float> coefs(kFrameLength, 0.0f);
  predictor.Predict(s, history, 4, kTnsMaxOrderLong, fb, coefs.data());
  for (int b = 0; b < s.numSwb; ++b) {
    const bool used = b < 40 && b != 5;
    for (int i = s.swbOffset[b]; i < s.swbOffset[b + 1]; ++i) {
      if (used) {
        ASSERT_FLOAT_EQ(coefs[i], expected[i]) << "band " << b;
      } else {
        ASSERT_EQ(coefs[i], 0.0f) << "band " << b;
      }
    }
  }
}

// Catches prediction in blocks that must not predict: EIGHT_SHORT and absent LTP data.
TEST(LongTermPredictorTest, NothingForShortBlocksOrWithoutData) {
  FilterbankChannel history;
  for (int part = 0; part < 3; ++part) std::fill_n(history.History(static_cast<HistoryPart>(part)), kFrameLength, 1000.0f);
  Filterbank fb;
  LongTermPredictor predictor;
  ChannelStream shortBlock = LaidOutChannel(WindowSequence::EightShort);
  shortBlock.ltp.present = true;
  shortBlock.ltp.longUsed.fill(1);
  ChannelStream noData = LaidOutChannel();
  noData.ltp.longUsed.fill(1);
  for (const ChannelStream* s : {&shortBlock, &noData}) {
    std::vector<float> coefs(kFrameLength, 0.0f);
    predictor.Predict(*s, history, 4, kTnsMaxOrderLong, fb, coefs.data());
    for (float v : coefs) ASSERT_EQ(v, 0.0f);
  }
}

}  // namespace
}  // namespace zbaac

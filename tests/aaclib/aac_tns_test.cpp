// Tests of temporal noise shaping: coefficients, filter, order and band limits.
#include "aaclib/aac_tns.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "aaclib/band_layout.h"
#include "tests/aaclib/helpers/syntax_builders.h"

namespace zbaac {
namespace {

ChannelStream StreamWithFilter(WindowSequence sequence, int order, int samplingIndex = 4) {
  ChannelStream s = test::LaidOutChannel(sequence, samplingIndex);
  s.tnsDataPresent = true;
  TnsWindow& w = s.tns[0];
  w.nFilt = 1;
  w.coefRes = 1;
  TnsFilter& f = w.filters[0];
  f.order = order;
  f.topBand = s.numSwb;
  f.bottomBand = 0;
  f.length = s.numSwb;
  for (int i = 0; i < kMaxTnsOrder; ++i) f.coef[i] = static_cast<std::int8_t>((i % 2 ? 3 : -4) + (i % 3));
  return s;
}

std::vector<float> Impulses() {
  std::vector<float> x(kFrameLength, 0.0f);
  for (int i = 0; i < kFrameLength; i += 97) x[i] = 1000.0f;
  return x;
}

// Catches a wrong quantizer scale or step-up recursion: order 1 with c = 1, coef_res 1
// gives a[1] = sin(1 / (7.5 x 2/pi)); order 2 adds k2 x a1 to a[1].
TEST(TnsTest, PredictionCoefficientsFromReflection) {
  float lpc[kMaxTnsOrder + 1];
  const std::int8_t one[] = {1};
  TnsPredictionCoefficients(one, 1, 1, lpc);
  EXPECT_NEAR(lpc[1], std::sin(1.0 / (7.5 * 0.6366197546520227)), 1e-6);
  const std::int8_t two[] = {1, -2};
  TnsPredictionCoefficients(two, 2, 0, lpc);
  const double k1 = std::sin(1.0 / (3.5 * 0.6366197546520227));
  const double k2 = std::sin(-2.0 / (4.5 * 0.6366197546520227));
  EXPECT_NEAR(lpc[1], k1 + k2 * k1, 1e-6);
  EXPECT_NEAR(lpc[2], k2, 1e-6);
}

// Catches a filter that does not invert the encoder's: synthesis after analysis gives
// the input back, in both directions.
TEST(TnsTest, SynthesisUndoesAnalysis) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> dist(-100.0f, 100.0f);
  std::vector<float> x(300);
  for (float& v : x) v = dist(rng);
  float lpc[kMaxTnsOrder + 1];
  const std::int8_t coef[] = {5, -3, 2, 7, -6, 1};
  TnsPredictionCoefficients(coef, 6, 1, lpc);
  for (int direction : {0, 1}) {
    std::vector<float> y = x;
    TnsFilterRange(y.data(), 10, 290, direction, lpc, 6, /*analysis=*/true);
    EXPECT_NE(y[100], x[100]);
    TnsFilterRange(y.data(), 10, 290, direction, lpc, 6, /*analysis=*/false);
    for (std::size_t i = 0; i < x.size(); ++i) ASSERT_NEAR(y[i], x[i], 1e-2) << "direction " << direction << " at " << i;
  }
}

// Catches a missing order limit: a long-window order of 25 filters like order 20, a
// short-window order of 9 like order 7.
TEST(TnsTest, OrderIsLimitedPerWindowKind) {
  struct Case {
    WindowSequence sequence;
    int transmitted;
    int limit;
  };
  for (const Case c : {Case{WindowSequence::OnlyLong, 25, 20}, Case{WindowSequence::EightShort, 9, 7}}) {
    std::vector<float> a = Impulses(), b = Impulses(), d = Impulses();
    ApplyTns(StreamWithFilter(c.sequence, c.transmitted), 4, kTnsMaxOrderLong, a.data(), false);
    ApplyTns(StreamWithFilter(c.sequence, c.limit), 4, kTnsMaxOrderLong, b.data(), false);
    ApplyTns(StreamWithFilter(c.sequence, c.limit - 1), 4, kTnsMaxOrderLong, d.data(), false);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, d);
  }
}

// Catches filtering beyond the TNS band limit of the stream's sampling rate: at 44.1 kHz
// lines from the start of band 42 on stay untouched, at 48 kHz band 40 is the limit.
TEST(TnsTest, FilterStopsAtBandLimitOfSamplingRate) {
  for (int index : {3, 4}) {
    ChannelStream s = StreamWithFilter(WindowSequence::OnlyLong, 4, index);
    std::vector<float> x(kFrameLength, 1.0f);
    ApplyTns(s, index, kTnsMaxOrderLong, x.data(), false);
    const int limitBand = index == 4 ? 42 : 40;
    const int edge = s.swbOffset[limitBand];
    EXPECT_NE(x[edge - 1], 1.0f) << index;
    for (int i = edge; i < kFrameLength; ++i) ASSERT_EQ(x[i], 1.0f) << index << " line " << i;
  }
}

}  // namespace
}  // namespace zbaac

// Tests of the 16-bit conversion of filterbank output.
#include "aaclib/aac_pcm_output.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace zbaac {
namespace {

// Catches truncation instead of rounding, a bias on negative values, and clipping faults
// at both ends of the range and for NaN.
TEST(PcmOutputTest, RoundsToNearestAndClips) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  // 0.49999997 is just below a half: adding 0.5 in float would give 1.
  const std::pair<float, int> cases[] = {
      {2.5f, 3},          {2.4f, 2},          {-1.7f, -2},       {-1.3f, -1},      {-2.5f, -3},
      {0.0f, 0},          {0.49999997f, 0},   {-0.49999997f, 0}, {32766.6f, 32767}, {32767.2f, 32767},
      {1e30f, 32767},     {-32768.0f, -32768}, {-32768.2f, -32768}, {-32767.6f, -32768}, {-1e30f, -32768},
      {kInf, 32767},      {-kInf, -32768}};
  for (const auto& [in, out] : cases) EXPECT_EQ(ToPcm16(in), out) << in;
  EXPECT_EQ(ToPcm16(std::numeric_limits<float>::quiet_NaN()), 32767);
}

// Catches channels written to the wrong slot: left in even, right in odd slots.
TEST(PcmOutputTest, InterleavesTwoChannels) {
  float left[4] = {1, 2, 3, 4}, right[4] = {-1, -2, -3, -4};
  std::int16_t out[8] = {};
  InterleavePcm16(left, right, out, 4);
  const std::int16_t expected[8] = {1, -1, 2, -2, 3, -3, 4, -4};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(out[i], expected[i]) << i;
}

// Catches a frame conversion that rounds or clips differently from ToPcm16 in any slot
// of a block of values converted together (with the processor's widest instructions and
// with the baseline ones), or that drops the periods after the last whole block: awkward
// values (halves, values just below a half, NaN, infinities, the range ends) at every
// position of both channels, over a frame plus a short tail; and one channel in both slots.
TEST(PcmOutputTest, FrameConversionEqualsTheSingleConversionEverywhere) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  const float awkward[] = {2.5f,     -2.5f,     0.49999997f, -0.49999997f, 0.5f,  -0.5f,
                           32766.5f, 32767.5f,  -32767.5f,   -32768.5f,    1e30f, -1e30f,
                           kInf,     -kInf,     std::numeric_limits<float>::quiet_NaN(), -0.0f,
                           1.5f,     -1.5f,     32767.0f};
  constexpr int kCount = sizeof awkward / sizeof awkward[0];
  constexpr int kPeriods = 1024 + 7;
  std::vector<float> left(kPeriods), right(kPeriods);
  for (int k = 0; k < kPeriods; ++k) {
    left[k] = k % 3 == 2 ? 1000.25f * std::sin(0.1f * k) : awkward[k % kCount];
    right[k] = k % 5 == 4 ? -777.75f * std::cos(0.3f * k) : awkward[(k * 7 + 3) % kCount];
  }
  for (const auto convert : {InterleavePcm16, InterleavePcm16Baseline}) {
    std::vector<std::int16_t> out(2 * kPeriods);
    convert(left.data(), right.data(), out.data(), kPeriods);
    for (int k = 0; k < kPeriods; ++k) {
      ASSERT_EQ(out[2 * k], ToPcm16(left[k])) << "period " << k << " left " << left[k];
      ASSERT_EQ(out[2 * k + 1], ToPcm16(right[k])) << "period " << k << " right " << right[k];
    }
    // One channel in both slots, as a one-channel stream is written.
    convert(left.data(), left.data(), out.data(), kPeriods);
    for (int k = 0; k < kPeriods; ++k) {
      ASSERT_EQ(out[2 * k], ToPcm16(left[k])) << "period " << k << " left " << left[k];
      ASSERT_EQ(out[2 * k + 1], ToPcm16(left[k])) << "period " << k << " left " << left[k];
    }
  }
}

}  // namespace
}  // namespace zbaac

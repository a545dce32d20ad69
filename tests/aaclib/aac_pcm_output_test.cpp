// Tests of the 16-bit conversion of filterbank output.
#include "aaclib/aac_pcm_output.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

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

}  // namespace
}  // namespace zbaac

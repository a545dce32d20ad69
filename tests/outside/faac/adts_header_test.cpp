// Tests of the ADTS header writer at the limits of its frame length field.
#include "outside/faac/adts_header.h"

#include <gtest/gtest.h>

namespace {

// Catches a frame length that wraps round in its 13 bits (a long block announced as a
// short frame, so every later frame is read from the wrong place) instead of being refused.
TEST(AdtsHeaderTest, LongestBlockFitsAndOneByteMoreIsRefused) {
  const auto longest = BuildAdtsHeader({4, 3, 1}, kAdtsLongestBlockBytes);
  ASSERT_TRUE(longest);
  const auto& h = *longest;
  EXPECT_EQ((h[3] & 3u) << 11 | h[4] << 3 | h[5] >> 5, 8191u);
  EXPECT_EQ(h[2], 3u << 6 | 3u << 2);  // profile 3 (LTP), sampling index 3 (48000 Hz)
  EXPECT_EQ(h[3] >> 6, 1u);            // channel configuration 1
  EXPECT_FALSE(BuildAdtsHeader({4, 3, 1}, kAdtsLongestBlockBytes + 1));
}

}  // namespace

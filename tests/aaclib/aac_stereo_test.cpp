// Tests of M/S and intensity stereo on hand-made channel pairs.
#include "aaclib/aac_stereo.h"

#include <gtest/gtest.h>

#include <vector>

#include "aaclib/band_layout.h"
#include "tests/aaclib/helpers/syntax_builders.h"

namespace zbaac {
namespace {

ChannelStream LongStream() {
  ChannelStream s = test::LaidOutChannel();
  s.codebook[0].fill(1);
  return s;
}

// Catches swapped or scaled sums: left 3, right 1 become 4 and 2; unflagged bands stay.
TEST(MidSideTest, FlaggedBandsBecomeSumAndDifference) {
  ChannelStream l = LongStream(), r = LongStream();
  PairStereo pair;
  pair.msMaskPresent = 1;
  pair.msUsed[0][0] = 1;
  std::vector<float> lc(kFrameLength, 3.0f), rc(kFrameLength, 1.0f);
  ApplyMidSide(pair, l, r, lc.data(), rc.data());
  EXPECT_EQ(lc[0], 4.0f);
  EXPECT_EQ(rc[0], 2.0f);
  EXPECT_EQ(lc[l.swbOffset[1]], 3.0f);
  EXPECT_EQ(rc[l.swbOffset[1]], 1.0f);
}

// Catches M/S applied to bands without coefficients: a right noise or intensity band
// keeps the left band as it is even with its flag set (ms_mask_present 2).
TEST(MidSideTest, SkipsNoiseAndIntensityBands) {
  ChannelStream l = LongStream(), r = LongStream();
  r.codebook[0][0] = kIntensityHcb;
  r.codebook[0][1] = kNoiseHcb;
  PairStereo pair;
  pair.msMaskPresent = 2;
  for (auto& row : pair.msUsed) row.fill(1);
  std::vector<float> lc(kFrameLength, 3.0f), rc(kFrameLength, 0.0f);
  ApplyMidSide(pair, l, r, lc.data(), rc.data());
  EXPECT_EQ(lc[0], 3.0f);
  EXPECT_EQ(lc[l.swbOffset[1]], 3.0f);
  EXPECT_EQ(lc[l.swbOffset[2]], 3.0f);  // ordinary band: 3 + 0
  EXPECT_EQ(rc[l.swbOffset[2]], 3.0f);  // 3 - 0
}

// Catches a wrong sign or scale: position 4 with codebook 14 gives -0.5 x left, with 15
// +0.5 x left; a band flagged by ms_mask_present 2 inverts the sign.
TEST(IntensityTest, PositionAndCodebookGiveScaleAndSign) {
  ChannelStream r = LongStream();
  r.codebook[0][0] = kIntensityHcb2;
  r.scalefactor[0][0] = 4;
  r.codebook[0][1] = kIntensityHcb;
  r.scalefactor[0][1] = 4;
  r.codebook[0][2] = kIntensityHcb;
  r.scalefactor[0][2] = -8;  // 0.5^-2 = 4
  std::vector<float> lc(kFrameLength, 2.0f), rc(kFrameLength, 7.0f);
  PairStereo pair;
  ApplyIntensityStereo(pair, r, lc.data(), rc.data());
  EXPECT_FLOAT_EQ(rc[0], -1.0f);
  EXPECT_FLOAT_EQ(rc[r.swbOffset[1]], 1.0f);
  EXPECT_FLOAT_EQ(rc[r.swbOffset[2]], 8.0f);
  EXPECT_EQ(rc[r.swbOffset[3]], 7.0f);  // not an intensity band

  pair.msMaskPresent = 2;
  for (auto& row : pair.msUsed) row.fill(1);
  ApplyIntensityStereo(pair, r, lc.data(), rc.data());
  EXPECT_FLOAT_EQ(rc[0], 1.0f);
  EXPECT_FLOAT_EQ(rc[r.swbOffset[1]], -1.0f);
}

}  // namespace
}  // namespace zbaac

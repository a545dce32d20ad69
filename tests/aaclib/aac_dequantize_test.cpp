// Tests of inverse quantization: power-table boundaries and scalefactor gains.
#include "aaclib/aac_dequantize.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "aaclib/band_layout.h"
#include "tests/aaclib/helpers/syntax_builders.h"

namespace zbaac {
namespace {

using test::LaidOutChannel;

// Catches an off-by-one at the end of the table: 127 from the table, 128 by pow.
TEST(PowerTablesTest, MagnitudesAroundTableEnd) {
  const PowerTables t;
  EXPECT_NEAR(t.Dequantize(127), 638.3687, 1e-3);
  EXPECT_NEAR(t.Dequantize(128), 645.0796, 1e-3);
  EXPECT_NEAR(t.Dequantize(-128), -645.0796, 1e-3);
  EXPECT_EQ(t.Dequantize(0), 0.0f);
  EXPECT_NEAR(t.Dequantize(8191), std::pow(8191.0, 4.0 / 3.0), 1.0);
}

// Catches a wrong offset or range of the gain table: 0 silences, 100 is unity, 227 is the
// last table entry, 228 and 99 come from pow.
TEST(PowerTablesTest, ScalefactorGainBoundaries) {
  const PowerTables t;
  EXPECT_EQ(t.ScalefactorGain(0), 0.0f);
  EXPECT_EQ(t.ScalefactorGain(100), 1.0f);
  EXPECT_FLOAT_EQ(t.ScalefactorGain(227), static_cast<float>(std::pow(2.0, 127 / 4.0)));
  EXPECT_FLOAT_EQ(t.ScalefactorGain(228), 4294967296.0f);
  EXPECT_FLOAT_EQ(t.ScalefactorGain(99), static_cast<float>(std::pow(2.0, -0.25)));
  EXPECT_FLOAT_EQ(t.ScalefactorGain(1), static_cast<float>(std::pow(2.0, -99 / 4.0)));
}

// Catches gains applied to the wrong band or window, or noise/intensity bands that keep
// values: each band gets its own gain, other codebooks give zeros.
TEST(DequantizeTest, AppliesEachBandsGainAndSilencesOthers) {
  const PowerTables t;
  ChannelStream s = LaidOutChannel();
  for (int i = 0; i < kFrameLength; ++i) s.spectrum[i] = (i % 5) - 2;
  s.codebook[0].fill(1);
  s.scalefactor[0].fill(100);
  s.scalefactor[0][1] = 104;  // gain 2
  s.scalefactor[0][2] = 0;    // silenced
  s.codebook[0][3] = kNoiseHcb;
  s.codebook[0][4] = kIntensityHcb;
  s.codebook[0][5] = kZeroHcb;
  std::vector<float> coefs(kFrameLength, 99.0f);
  Dequantize(t, s, coefs.data());
  const auto& off = s.swbOffset;
  for (int i = off[0]; i < off[1]; ++i) EXPECT_FLOAT_EQ(coefs[i], t.Dequantize(s.spectrum[i])) << i;
  for (int i = off[1]; i < off[2]; ++i) EXPECT_FLOAT_EQ(coefs[i], 2.0f * t.Dequantize(s.spectrum[i])) << i;
  for (int i = off[2]; i < off[6]; ++i) EXPECT_EQ(coefs[i], 0.0f) << i;
  EXPECT_FLOAT_EQ(coefs[off[6]], t.Dequantize(s.spectrum[off[6]]));
}

// Catches short windows read with the long layout: window w's band b lies at w*128.
TEST(DequantizeTest, ShortWindowsUseTheirOwnRows) {
  const PowerTables t;
  ChannelStream s = LaidOutChannel(WindowSequence::EightShort);
  for (int w = 0; w < 8; ++w) {
    s.codebook[w].fill(1);
    s.scalefactor[w].fill(100 + 4 * w);  // gain 2^w
  }
  s.spectrum.fill(1);
  std::vector<float> coefs(kFrameLength);
  Dequantize(t, s, coefs.data());
  for (int w = 0; w < 8; ++w) EXPECT_FLOAT_EQ(coefs[w * 128 + 5], static_cast<float>(1 << w)) << w;
}

}  // namespace
}  // namespace zbaac

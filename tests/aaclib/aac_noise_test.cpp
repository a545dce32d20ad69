// Tests of perceptual noise substitution: generator, band energy, correlated bands.
#include "aaclib/aac_noise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "aaclib/band_layout.h"
#include "tests/aaclib/helpers/syntax_builders.h"

namespace zbaac {
namespace {

using test::LaidOutChannel;

double BandEnergy(const std::vector<float>& c, int start, int end) {
  double e = 0.0;
  for (int i = start; i < end; ++i) e += static_cast<double>(c[i]) * c[i];
  return e;
}

// Catches a wrong generator or a missing normalization: the first value after a zero
// state is proportional to 1013904223, and the band's energy is 2^(e/2).
TEST(NoiseSubstitutionTest, FirstValueAndBandEnergy) {
  ChannelStream s = LaidOutChannel();
  s.codebook[0][10] = kNoiseHcb;
  s.scalefactor[0][10] = 12;  // energy 2^6
  std::vector<float> c(kFrameLength, 0.0f);
  NoiseSubstitution noise;
  noise.Apply(s, nullptr, nullptr, c.data());
  const int start = s.swbOffset[10], end = s.swbOffset[11];
  EXPECT_NEAR(BandEnergy(c, start, end), 64.0, 64.0 * 1e-5);
  // Second value over first equals the ratio of the generator outputs.
  const std::uint32_t first = 1013904223u;
  const std::uint32_t second = first * 1664525u + 1013904223u;
  EXPECT_NEAR(c[start + 1] / c[start],
              static_cast<double>(static_cast<std::int32_t>(second)) / static_cast<std::int32_t>(first), 1e-5);
  EXPECT_EQ(c[start - 1], 0.0f);
  EXPECT_EQ(c[end], 0.0f);
}

// Catches a right band that draws fresh noise instead of the left band's shape: codebook
// 113 repeats the left shape scaled by the right band's own energy, and the generator
// continues after the left channel.
TEST(NoiseSubstitutionTest, CorrelatedRightBandRepeatsLeftShape) {
  ChannelStream l = LaidOutChannel(), r = LaidOutChannel();
  l.codebook[0][20] = kNoiseHcb;
  l.scalefactor[0][20] = 0;
  r.codebook[0][20] = kNoiseCorrelatedHcb;
  r.scalefactor[0][20] = 8;  // 4 times the left amplitude
  r.codebook[0][21] = kNoiseHcb;
  PairStereo pair;
  pair.msMaskPresent = 1;
  std::vector<float> lc(kFrameLength, 0.0f), rc(kFrameLength, 0.0f);
  NoiseSubstitution noise;
  noise.Apply(l, nullptr, &pair, lc.data());
  const std::uint32_t afterLeft = noise.State();
  noise.Apply(r, &l, &pair, rc.data());
  for (int i = l.swbOffset[20]; i < l.swbOffset[21]; ++i) EXPECT_NEAR(rc[i], 4.0f * lc[i], 1e-5f) << i;
  EXPECT_NE(noise.State(), afterLeft);  // the uncorrelated band 21 drew fresh noise

  // Without the mark the same right band is independent noise.
  ChannelStream r2 = r;
  r2.codebook[0][20] = kNoiseHcb;
  std::vector<float> rc2(kFrameLength, 0.0f);
  noise.Apply(l, nullptr, &pair, lc.data());
  noise.Apply(r2, &l, &pair, rc2.data());
  EXPECT_GT(std::fabs(rc2[l.swbOffset[20]] - 4.0f * lc[l.swbOffset[20]]), 1e-4f);
}

}  // namespace
}  // namespace zbaac

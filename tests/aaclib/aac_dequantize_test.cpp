// Tests of inverse quantization: power-table boundaries, scalefactor gains and the
// dequantized spectrum the spectral decoding writes.
#include "aaclib/aac_dequantize.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "aaclib/band_layout.h"
#include "aaclib/huffman_decoder.h"
#include "tests/aaclib/helpers/syntax_builders.h"

namespace zbaac {
namespace {

using test::BitWriter;
using test::LaidOutChannel;

// Catches an off-by-one at the end of the table: 127 from the table, 128 by pow.
TEST(PowerTablesTest, MagnitudesAroundTableEnd) {
  const PowerTables& t = Powers();
  EXPECT_NEAR(t.Dequantize(127), 638.3687, 1e-3);
  EXPECT_NEAR(t.Dequantize(128), 645.0796, 1e-3);
  EXPECT_NEAR(t.Dequantize(-128), -645.0796, 1e-3);
  EXPECT_EQ(t.Dequantize(0), 0.0f);
  EXPECT_NEAR(t.Dequantize(8191), std::pow(8191.0, 4.0 / 3.0), 1.0);
}

// Catches a wrong offset or range of the gain table: 0 silences, 100 is unity, 227 is the
// last table entry, 228 and 99 come from pow.
TEST(PowerTablesTest, ScalefactorGainBoundaries) {
  const PowerTables& t = Powers();
  EXPECT_EQ(t.ScalefactorGain(0), 0.0f);
  EXPECT_EQ(t.ScalefactorGain(100), 1.0f);
  EXPECT_FLOAT_EQ(t.ScalefactorGain(227), static_cast<float>(std::pow(2.0, 127 / 4.0)));
  EXPECT_FLOAT_EQ(t.ScalefactorGain(228), 4294967296.0f);
  EXPECT_FLOAT_EQ(t.ScalefactorGain(99), static_cast<float>(std::pow(2.0, -0.25)));
  EXPECT_FLOAT_EQ(t.ScalefactorGain(1), static_cast<float>(std::pow(2.0, -99 / 4.0)));
}

// The quad of codebook 1 with the values (1, -1, 0, 1).
constexpr int kQuad = 27 * 2 + 9 * 0 + 3 * 1 + 2;

// Catches gains applied to the wrong band or window, or noise/intensity bands that keep
// values: the spectral decoding dequantizes each band with its own gain, other codebooks
// give zeros, and a pulse that lifts a value past the power table is computed by pow.
TEST(DequantizeTest, AppliesEachBandsGainAndSilencesOthers) {
  const PowerTables& t = Powers();
  ChannelStream s = LaidOutChannel();  // 44.1 kHz: bands 0 .. 7 are 4 lines wide
  s.info.maxSfb = 8;
  const std::array<int, 8> codebooks = {1, 1, 1, kNoiseHcb, kIntensityHcb, kZeroHcb, 1, kEscHcb};
  const std::array<int, 8> scalefactors = {100, 104, 0, 100, 100, 100, 100, 96};
  for (int b = 0; b < 8; ++b) {
    s.codebook[0][b] = static_cast<std::uint8_t>(codebooks[b]);
    s.scalefactor[0][b] = static_cast<std::int16_t>(scalefactors[b]);
  }
  s.pulse = PulseData{true, 1, 7, {1, 0, 0, 0}, {5, 0, 0, 0}};  // line 29: 8191 + 5
  BitWriter writer;
  for (int band = 0; band < 4; ++band) writer.SpectrumCode(1, kQuad);  // bands 0, 1, 2 and 6
  // Band 7: (16, 16) as escapes 8191 and 8191 (both positive), then (0, 0).
  writer.SpectrumCode(11, 17 * 16 + 16).Bit(false).Bit(false);
  for (int k = 0; k < 2; ++k) writer.Put(0xFF, 8).Put(0, 1).Put(0xFFF, 12);
  writer.SpectrumCode(11, 0);
  BitReader reader = test::ReaderFor(writer);
  ASSERT_TRUE(DecodeSpectralData(reader, s));
  const auto& off = s.swbOffset;
  for (int i = off[0]; i < off[1]; ++i) EXPECT_FLOAT_EQ(s.coefs[i], t.Dequantize(s.spectrum[i])) << i;
  for (int i = off[1]; i < off[2]; ++i) EXPECT_FLOAT_EQ(s.coefs[i], 2.0f * t.Dequantize(s.spectrum[i])) << i;
  for (int i = off[2]; i < off[6]; ++i) EXPECT_EQ(s.coefs[i], 0.0f) << i;
  EXPECT_EQ(s.spectrum[off[1] + 1], -1);
  EXPECT_FLOAT_EQ(s.coefs[off[6]], 1.0f);
  EXPECT_FLOAT_EQ(s.coefs[off[6] + 1], -1.0f);
  EXPECT_EQ(s.spectrum[off[7]], 8191);
  EXPECT_FLOAT_EQ(s.coefs[off[7]], 0.5f * t.Dequantize(8191));
  EXPECT_EQ(s.spectrum[off[7] + 1], 8196);
  EXPECT_FLOAT_EQ(s.coefs[off[7] + 1], 0.5f * static_cast<float>(std::pow(8196.0, 4.0 / 3.0)));
  EXPECT_EQ(s.coefs[off[7] + 2], 0.0f);
}

// Catches short windows dequantized with the long layout or another window's row:
// window w's band 0 lies at w*128 and takes window w's gain.
TEST(DequantizeTest, ShortWindowsUseTheirOwnRows) {
  ChannelStream s = LaidOutChannel(WindowSequence::EightShort);
  s.info.maxSfb = 1;
  s.info.numWindowGroups = 8;
  s.info.windowGroupLength.fill(1);
  BitWriter writer;
  for (int w = 0; w < 8; ++w) {
    s.codebook[w][0] = 1;
    s.scalefactor[w][0] = static_cast<std::int16_t>(100 + 4 * w);  // gain 2^w
    writer.SpectrumCode(1, 80);                                     // (1, 1, 1, 1)
  }
  BitReader reader = test::ReaderFor(writer);
  ASSERT_TRUE(DecodeSpectralData(reader, s));
  for (int w = 0; w < 8; ++w) {
    EXPECT_FLOAT_EQ(s.coefs[w * 128 + 3], static_cast<float>(1 << w)) << w;
    EXPECT_EQ(s.coefs[w * 128 + 4], 0.0f) << w;
  }
}

}  // namespace
}  // namespace zbaac

// Tests of the ADIF header writer and the sampling-rate index.
#include "outside/faac/adif_header.h"

#include <gtest/gtest.h>

#include "tests/outside/faac/aac_test_support.h"

namespace {

// Catches a header a decoder cannot parse: each field must sit at its place, and the
// header must end on a byte boundary with its announced size.
TEST(AdifHeaderTest, FieldsReadBackFromTheirPositions) {
  AdifHeaderFields fields;
  fields.peakBitRate = 321987;
  fields.objectType = 4;
  fields.samplingIndex = AacSamplingIndex(22050);
  fields.channels = 2;
  const auto bytes = BuildAdifHeader(fields);
  const auto parsed = aac_test::ParseAdif(bytes);
  EXPECT_EQ(parsed.magic, "ADIF");
  EXPECT_EQ(parsed.bitstreamType, 1u);
  EXPECT_EQ(parsed.bitRate, 321987u);
  EXPECT_EQ(parsed.programs, 1u);
  EXPECT_EQ(parsed.objectType, 3u);
  EXPECT_EQ(parsed.samplingIndex, 7u);
  EXPECT_EQ(parsed.fronts, 1u);
  EXPECT_EQ(parsed.sides + parsed.backs + parsed.lfes, 0u);
  EXPECT_EQ(parsed.frontIsCpe, 1u);
  EXPECT_EQ(parsed.bytes, bytes.size());
  EXPECT_EQ(bytes.size(), BuildAdifHeader({}).size()) << "size must not depend on the fields";
}

// Catches a bit rate above 23 bits spilling into the following fields.
TEST(AdifHeaderTest, OversizedBitRateSaturates) {
  AdifHeaderFields fields;
  fields.peakBitRate = 0xFFFFFFFF;
  fields.samplingIndex = 4;
  const auto parsed = aac_test::ParseAdif(BuildAdifHeader(fields));
  EXPECT_EQ(parsed.bitRate, 0x7FFFFFu);
  EXPECT_EQ(parsed.samplingIndex, 4u);
}

// Catches a wrong rate table: decoders would play at the wrong speed.
TEST(AdifHeaderTest, SamplingIndexFollowsTheAacTable) {
  const uint32_t rates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350};
  for (int i = 0; i < 13; ++i) EXPECT_EQ(AacSamplingIndex(rates[i]), i) << rates[i];
  EXPECT_EQ(AacSamplingIndex(44000), -1);
  EXPECT_EQ(AacSamplingIndex(0), -1);
}

}  // namespace

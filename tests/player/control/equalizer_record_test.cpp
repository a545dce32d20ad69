// Tests of the equalizer's arithmetic: the band map, band values and knob positions.
#include <gtest/gtest.h>

#include "player/control/equalizer_record.h"

namespace {

EqualizerValues All(int v) {
  EqualizerValues values;
  values.fill(v);
  return values;
}

}  // namespace

// Catches a default record that is not all zeros (the equalizer would colour the sound
// of a player nobody touched).
TEST(EqualizerRecord, AllMiddleValuesGiveZeros) {
  EXPECT_EQ(BuildEqualizerRecord(All(127)), EqualizerRecord{});
}

// Catches a wrong band map, a channel left out, and sign or rounding errors at the ends.
TEST(EqualizerRecord, TopOfSliderElevenLiftsBands22To31OnBothChannels) {
  EqualizerValues values = All(127);
  values[11] = 0;
  const EqualizerRecord record = BuildEqualizerRecord(values);
  for (int band = 0; band < kEqualizerBands; ++band) {
    const int8_t expected = band >= 22 ? 50 : 0;
    EXPECT_EQ(record[size_t(band)], expected) << "left band " << band;
    EXPECT_EQ(record[size_t(band + 32)], expected) << "right band " << band;
  }
}

// Catches a stored bottom value cut to less than −51, and overflow from values a hand
// edited file may hold.
TEST(EqualizerRecord, BandValuesOverTheWholeRange) {
  EXPECT_EQ(BandValueOf(255), -51);
  EXPECT_EQ(BandValueOf(0), 50);
  EXPECT_EQ(BandValueOf(126), 0);   // 0.4 truncated toward zero
  EXPECT_EQ(BandValueOf(128), 0);   // -0.4 truncated toward zero
  EXPECT_EQ(BandValueOf(140), -5);  // -5.2
  EXPECT_EQ(BandValueOf(1000), -51);
  EXPECT_EQ(BandValueOf(-9), 50);
  EqualizerValues values = All(127);
  values[0] = 255;
  values[8] = 0;
  const EqualizerRecord record = BuildEqualizerRecord(values);
  EXPECT_EQ(record[0], -51);
  EXPECT_EQ(record[32], -51);
  for (int band : {9, 10, 11}) EXPECT_EQ(record[size_t(band)], 50) << band;
  EXPECT_EQ(record[8], 0);
  EXPECT_EQ(record[12], 0);
}

// Catches knob arithmetic that truncates instead of rounding, a knob dragged to its lowest
// point reported as 255, and a division by a track without travel.
TEST(EqualizerRecord, KnobPositionsAndValues) {
  const int range = 90;
  EXPECT_EQ(KnobTopOfValue(127, range), 45);  // 44.8
  EXPECT_EQ(KnobTopOfValue(255, range), 90);
  EXPECT_EQ(KnobTopOfValue(400, range), 90);
  EXPECT_EQ(ValueOfKnobTop(45, range, 0), 128);  // 127.5
  EXPECT_EQ(ValueOfKnobTop(0, range, 7), 0);
  EXPECT_LT(ValueOfKnobTop(range - 1, range, 0), 255);
  EXPECT_EQ(ValueOfKnobTop(10, 0, 99), 99);
  EXPECT_EQ(KnobTopOfValue(200, 0), 0);
}

// Catches a switched-off equalizer that still sends the sliders' record.
TEST(EqualizerRecord, DisabledSendsZeros) {
  EqualizerValues values = All(0);
  const EqualizerRecord record = BuildEqualizerRecord(values);
  EXPECT_EQ(AppliedEqualizer(record, false), EqualizerRecord{});
  EXPECT_EQ(AppliedEqualizer(record, true), record);
}

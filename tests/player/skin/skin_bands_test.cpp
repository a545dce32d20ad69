// Tests of the band arithmetic: where each look of a button, track and knob is cut.
#include "player/skin/skin_bands.h"

#include <gtest/gtest.h>

// Catches a four-band bitmap cut as four bands without disp_with_focus (the top third is
// the face, the second third the mask), or rows left over from the integer division
// shifting the bands.
TEST(SkinBands, BandCountFollowsWithFocus) {
  const BandLayout four = BandLayout::ForMain(300, 402, /*withFocus=*/true);
  EXPECT_EQ(four.BandHeight(), 100);
  EXPECT_EQ(four.BandTop(SkinBand::Away), 300);
  const BandLayout three = BandLayout::ForMain(300, 402, /*withFocus=*/false);
  EXPECT_EQ(three.BandHeight(), 134);
  EXPECT_EQ(three.BandTop(SkinBand::Mask), 134);
  EXPECT_EQ(three.BandTop(SkinBand::Pressed), 268);
  EXPECT_EQ(BandLayout(10, 10, 0).BandCount(), 1);
  EXPECT_EQ(BandLayout::ForEqualizer(100, 90).BandHeight(), 30);
}

// Catches a pressed or away image taken from the wrong band, or an away image without
// a fourth band that is not the mouse-over one.
TEST(SkinBands, ButtonLooksComeFromTheirBands) {
  const SkinRect place{12, 30, 20, 10};
  const ButtonImageSources four = CutButton(place, BandLayout(200, 400, 4));
  EXPECT_EQ(four.over, place);
  EXPECT_EQ(four.pressed, (SkinRect{12, 230, 20, 10}));
  EXPECT_EQ(four.away, (SkinRect{12, 330, 20, 10}));
  const ButtonImageSources three = CutButton(place, BandLayout(200, 300, 3));
  EXPECT_EQ(three.pressed, (SkinRect{12, 230, 20, 10}));
  EXPECT_EQ(three.away, place);
  EXPECT_EQ(CutButton(place, BandLayout(200, 300, 3), /*hasPressedImage=*/false).pressed, place);
}

// Catches tracks that take their background at their own shifted place (every track must
// show the first track's groove), or a knob cut outside band 2.
TEST(SkinBands, TracksShiftButShareTheFirstBackground) {
  DisplayIni skin;
  skin.eqInterval = 25;
  skin.eqTrack = {40, 20, 14, 110};
  skin.eqSlider = {300, 5, 14, 8};
  const BandLayout bands = BandLayout::ForEqualizer(400, 450);
  const TrackGeometry track = CutTrack(skin, bands, 3);
  EXPECT_EQ(track.place, (SkinRect{115, 20, 14, 110}));
  EXPECT_EQ(track.maxTop, 102);
  EXPECT_EQ(track.background, (SkinRect{40, 20, 14, 110}));
  EXPECT_EQ(track.knob, (SkinRect{300, 305, 14, 8}));
}

// Catches a visualization background read from the bitmap at left 0.
TEST(SkinBands, VisualizationBackgroundOnlyFromAPositiveLeft) {
  EXPECT_TRUE(CutVisualization({{1, 0, 10, 10}, {}}).backgroundFromBitmap);
  EXPECT_FALSE(CutVisualization({{0, 5, 10, 10}, {}}).backgroundFromBitmap);
  EXPECT_FALSE(CutVisualization({{-1, 5, 10, 10}, {}}).backgroundFromBitmap);
}

// Catches a knob cut from the face band, a travel that lets the knob leave the track, a
// knob not centred in the track's height, and a negative travel of a knob wider than its
// track.
TEST(SkinBands, ThePositionKnobTravelsInsideItsTrack) {
  const BandLayout bands = BandLayout::ForMain(400, 520, /*withFocus=*/true);  // bands of 130
  const PositionSliderGeometry slider = CutPositionSlider({12, 88, 262, 10}, {12, 88, 14, 8}, bands);
  EXPECT_EQ(slider.place, (SkinRect{12, 88, 262, 10}));
  EXPECT_EQ(slider.background, (SkinRect{12, 88, 262, 10}));
  EXPECT_EQ(slider.knob, (SkinRect{12, 88 + 260, 14, 8}));
  EXPECT_EQ(slider.travel, 248);
  EXPECT_EQ(slider.knobTop, 1);
  EXPECT_EQ(CutPositionSlider({0, 0, 8, 10}, {0, 0, 14, 10}, bands).travel, 0);
}

// Catches a knob that leaves its travel at the end of the input or past it, a stream (no
// length) that moves the knob or seeks, a position past the last second chosen from the
// knob's end, and rounding that makes a knob put back where it was seek elsewhere.
TEST(SkinBands, KnobOffsetsAndPositionsMapOntoEachOther) {
  EXPECT_EQ(KnobOffsetOf(0, 300, 248), 0);
  EXPECT_EQ(KnobOffsetOf(150, 300, 248), 124);
  EXPECT_EQ(KnobOffsetOf(300, 300, 248), 248);
  EXPECT_EQ(KnobOffsetOf(900, 300, 248), 248);
  EXPECT_EQ(KnobOffsetOf(40, 0, 248), 0);
  EXPECT_EQ(KnobOffsetOf(4000000000u, 4000000001u, 248), 248);  // no overflow
  EXPECT_EQ(PositionOfKnob(0, 248, 300), 0u);
  EXPECT_EQ(PositionOfKnob(124, 248, 300), 150u);
  EXPECT_EQ(PositionOfKnob(248, 248, 300), 299u);
  EXPECT_EQ(PositionOfKnob(-5, 248, 300), 0u);
  EXPECT_EQ(PositionOfKnob(999, 248, 300), 299u);
  EXPECT_EQ(PositionOfKnob(100, 248, 0), 0u);
  EXPECT_EQ(PositionOfKnob(100, 0, 300), 0u);
  for (uint32_t at = 0; at < 300; at += 7) {
    const int offset = KnobOffsetOf(at, 300, 248);
    EXPECT_EQ(KnobOffsetOf(PositionOfKnob(offset, 248, 300), 300, 248), offset) << at;
  }
}

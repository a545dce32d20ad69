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

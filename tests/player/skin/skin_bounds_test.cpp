// Tests of a skin's bounds: the size a skin bitmap may have, and rectangles cut to their
// window without any sum overflowing.
#include "player/skin/skin_bounds.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

bool Names(const std::vector<std::string>& lines, const std::string& key) {
  for (const std::string& line : lines)
    if (line.rfind("display.Ini: " + key + ":", 0) == 0) return true;
  return false;
}

}  // namespace

// Catches a limit off by one either way, a bitmap too low for its bands taken, or a size
// near the integer limits misjudged.
TEST(SkinBounds, BitmapSizesFromBothSidesOfTheLimits) {
  EXPECT_TRUE(CheckSkinBitmapSize(4096, 4096, 4));
  EXPECT_FALSE(CheckSkinBitmapSize(4097, 4, 4));
  EXPECT_FALSE(CheckSkinBitmapSize(1, 4097, 4));
  EXPECT_FALSE(CheckSkinBitmapSize(int64_t{INT_MAX} + 1, 4, 1));
  EXPECT_TRUE(CheckSkinBitmapSize(1, 3, 3));
  EXPECT_FALSE(CheckSkinBitmapSize(1, 2, 3));
  EXPECT_FALSE(CheckSkinBitmapSize(0, 10, 1));
  EXPECT_EQ(CheckSkinBitmapSize(5000, 20, 3).Error().Message(), "5000 × 20 pixels is larger than a skin bitmap may be (4096 × 4096)");
}

// Catches a cut computed in int (INT_MIN and INT_MAX corners overflow), a knob cut to the
// whole bitmap instead of band 2, or a cut that is not reported.
TEST(SkinBounds, ExtremeRectanglesAreCutWithoutOverflow) {
  DisplayIni d;
  d.buttons[static_cast<size_t>(SkinButton::Play)] = SkinRect{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  d.buttons[static_cast<size_t>(SkinButton::Stop)] = SkinRect{-5, 3, INT_MAX, 2};
  d.eqTrack = {INT_MAX, 0, INT_MAX, 10};
  d.eqSlider = {0, 40, 10, INT_MAX};
  d.eqInterval = INT_MIN;
  const SkinBoundsReport report = BoundSkin(d, {300, 360}, {200, 150});
  EXPECT_TRUE(Names(report.refusals, "btn_play"));
  EXPECT_EQ(*d.Button(SkinButton::Stop), (SkinRect{0, 3, 300, 2}));
  EXPECT_TRUE(Names(report.cuts, "btn_stop"));
  EXPECT_TRUE(Names(report.refusals, "eq_track"));
  EXPECT_EQ(d.eqSlider, (SkinKnobSource{0, 40, 10, 10}));
  EXPECT_TRUE(Names(report.cuts, "eq_slider"));
  EXPECT_EQ(d.eqInterval, -200);
  EXPECT_TRUE(Names(report.cuts, "eq_interval"));
  EXPECT_EQ(report.refusals.size(), 2u);
}

// Catches an element that fits being cut or reported, and the defaults of a display.Ini
// without keys refused by a bitmap that has room for them.
TEST(SkinBounds, ASkinThatFitsIsLeftAlone) {
  DisplayIni d;
  d.buttons[static_cast<size_t>(SkinButton::Close)] = SkinRect{290, 0, 10, 10};
  d.visualization = SkinVisualizationPlace{{0, 0, 300, 120}, {}};
  const DisplayIni before = d;
  const SkinBoundsReport report = BoundSkin(d, {300, 360}, {300, 450});
  EXPECT_TRUE(report.refusals.empty());
  EXPECT_TRUE(report.cuts.empty());
  EXPECT_EQ(d.Button(SkinButton::Close), before.Button(SkinButton::Close));
  EXPECT_EQ(d.visualization, before.visualization);
  EXPECT_EQ(d.eqTrack, before.eqTrack);
}

// Catches a position slider reaching past the main window (or a knob past band 2 of
// "main.bmp") left as it is, so that the window would copy from outside its bitmap, and a
// slider wholly outside the window not refused by its key.
TEST(SkinBounds, ThePositionSliderAndItsKnobAreCutToTheMainWindow) {
  DisplayIni d;
  d.withFocus = true;
  d.position = SkinRect{12, 88, 1000, 10};
  d.positionKnob = {390, 120, 40, INT_MAX};
  const SkinBoundsReport report = BoundSkin(d, {400, 520}, {400, 450});
  EXPECT_TRUE(report.refusals.empty());
  EXPECT_TRUE(Names(report.cuts, "position"));
  EXPECT_TRUE(Names(report.cuts, "position_knob"));
  EXPECT_EQ(*d.position, (SkinRect{12, 88, 388, 10}));
  EXPECT_EQ(d.positionKnob, (SkinKnobSource{390, 120, 10, 10}));
  DisplayIni outside;
  outside.position = SkinRect{500, 0, 10, 10};
  EXPECT_TRUE(Names(BoundSkin(outside, {400, 390}, {400, 450}).refusals, "position"));
}

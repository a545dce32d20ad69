// Tests of the window shape built from a mask band.
#include "player/skin/window_shape.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

// A bitmap of three bands of height h: face grey, mask as given by paint, pressed white.
SkinPixels ThreeBands(int w, int h, uint32_t maskFill) {
  SkinPixels bitmap(w, 3 * h, kWhite);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      bitmap.Set(x, y, 0x808080);
      bitmap.Set(x, h + y, maskFill);
    }
  return bitmap;
}

}  // namespace

// Catches an all-black mask that does not give the whole rectangle, and an all-white one
// that gives anything (the window must have an empty shape).
TEST(WindowShape, AllBlackIsARectangleAndAllWhiteIsEmpty) {
  const BandLayout bands(6, 12, 3);
  const WindowShape black = BuildWindowShape(ThreeBands(6, 4, 0), bands);
  EXPECT_FALSE(black.rectangular);
  ASSERT_EQ(black.runs.size(), 4u);
  for (int y = 0; y < 4; ++y) EXPECT_EQ(black.runs[static_cast<size_t>(y)], (ShapeRun{y, 0, 6}));
  const WindowShape white = BuildWindowShape(ThreeBands(6, 4, kWhite), bands);
  EXPECT_FALSE(white.rectangular);
  EXPECT_TRUE(white.runs.empty());
  EXPECT_TRUE(BuildWindowShape(ThreeBands(6, 4, kWhite), BandLayout(6, 12, 1)).rectangular);
}

// Catches runs that are merged across gaps, that stop one short at the right edge, or
// whose rows are counted from the bitmap's top instead of the window's.
TEST(WindowShape, RunsFollowBlackPixelsOfEachRow) {
  SkinPixels bitmap = ThreeBands(8, 3, kWhite);
  // Row 0: one pixel per row, at x = 2; row 1: two runs, the second touching the edge;
  // row 2: a near-black pixel that is not black.
  bitmap.Set(2, 3, 0);
  for (int x : {0, 1, 5, 6, 7}) bitmap.Set(x, 4, 0);
  bitmap.Set(4, 5, 0x000001);
  const WindowShape shape = BuildWindowShape(bitmap, BandLayout(8, 9, 3));
  EXPECT_EQ(shape.runs, (std::vector<ShapeRun>{{0, 2, 3}, {1, 0, 2}, {1, 5, 8}}));
}

// Catches a diagonal one-pixel mask that yields more than one pixel per row.
TEST(WindowShape, OnePixelPerRowGivesOnePixelWideRows) {
  SkinPixels bitmap = ThreeBands(5, 5, kWhite);
  for (int y = 0; y < 5; ++y) bitmap.Set(y, 5 + y, 0);
  const WindowShape shape = BuildWindowShape(bitmap, BandLayout(5, 15, 3));
  ASSERT_EQ(shape.runs.size(), 5u);
  for (int y = 0; y < 5; ++y) EXPECT_EQ(shape.runs[static_cast<size_t>(y)], (ShapeRun{y, y, y + 1}));
}

// Catches a four-band bitmap read as three bands taking its mask from the wrong rows.
TEST(WindowShape, FourBandBitmapReadAsThreeTakesTheSecondThird) {
  // 4 bands of 3 rows: rows 3..5 black would be the four-band mask; as three bands of 4
  // rows the mask is rows 4..7.
  SkinPixels bitmap(4, 12, kWhite);
  for (int x = 0; x < 4; ++x) bitmap.Set(x, 7, 0);
  const WindowShape shape = BuildWindowShape(bitmap, BandLayout::ForMain(4, 12, /*withFocus=*/false));
  EXPECT_EQ(shape.runs, (std::vector<ShapeRun>{{3, 0, 4}}));
  EXPECT_TRUE(BuildWindowShape(bitmap, BandLayout::ForMain(4, 12, /*withFocus=*/true)).runs.empty());
}

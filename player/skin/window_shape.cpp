// Runs of black mask pixels, row by row.
#include "player/skin/window_shape.h"

#include <algorithm>

WindowShape BuildWindowShape(const SkinPixels& bitmap, const BandLayout& bands) {
  WindowShape shape;
  if (bands.BandCount() == 1) {
    shape.rectangular = true;
    return shape;
  }
  const int h = bands.BandHeight();
  const int top = bands.BandTop(SkinBand::Mask);
  const int rows = std::min(h, bitmap.height - top);
  for (int row = 0; row < rows; ++row) {
    const int y = top + row;
    int x = 0;
    while (x < bitmap.width) {
      while (x < bitmap.width && bitmap.At(x, y) != 0) ++x;
      if (x == bitmap.width) break;
      const int x0 = x;
      while (x < bitmap.width && bitmap.At(x, y) == 0) ++x;
      shape.runs.push_back({row, x0, x});
    }
  }
  return shape;
}

// The shape of a skinned window: the black pixels of the bitmap's mask band, as one-pixel
// high runs whose union is the visible part of the window.
#pragma once

#include <vector>

#include "player/skin/skin_bands.h"
#include "player/skin/skin_pixels.h"

struct ShapeRun {
  int y = 0;   // row of the window (0 is the top of the window, not of the bitmap)
  int x0 = 0;  // first pixel of the run
  int x1 = 0;  // one past the last pixel
  bool operator==(const ShapeRun&) const = default;
};

struct WindowShape {
  // A one-band bitmap has no mask: the window is a plain rectangle.
  bool rectangular = false;
  std::vector<ShapeRun> runs;  // top to bottom, left to right; empty: nothing is visible
};

// Scans band 1 of the bitmap row by row. Pixels of colour 0 belong to the window, any
// other colour is cut away. A mask band that is all black gives full-width runs on every
// row (a rectangle); one without any black pixel gives no runs (an empty shape).
WindowShape BuildWindowShape(const SkinPixels& bitmap, const BandLayout& bands);

// A decoded skin bitmap as the core sees it: rows of 0x00RRGGBB pixels, top row first.
// The window layer decodes the file and fills this in.
#pragma once

#include <cstdint>
#include <vector>

struct SkinPixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> rgb;  // width × height, row by row

  SkinPixels() = default;
  SkinPixels(int w, int h, uint32_t fill = 0) : width(w), height(h), rgb(static_cast<size_t>(w) * h, fill) {}
  uint32_t At(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
  void Set(int x, int y, uint32_t value) { rgb[static_cast<size_t>(y) * width + x] = value; }
};

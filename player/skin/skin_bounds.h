// The bounds of a skin: how large its bitmaps may be, and every rectangle of "display.Ini"
// cut to the window or band it lies in, so that nothing the windows compute or copy from a
// skin grows past its bitmaps or overflows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "player/skin/display_ini.h"

// The largest width and height of a skin bitmap (a 4096 × 4096 bitmap takes 64 MiB decoded).
inline constexpr int kSkinBitmapSideLimit = 4096;

// Whether a bitmap of this size can be a skin bitmap of bandCount bands. The error says
// why not: larger than kSkinBitmapSideLimit either way (Unsupported), or too low to give
// each band a row (Format).
Outcome CheckSkinBitmapSize(int64_t width, int64_t height, int bandCount);

struct SkinBitmapSize {
  int width = 0;
  int height = 0;
};

struct SkinBoundsReport {
  // One line per element that cannot be shown at all (no pixel of it inside its window),
  // each naming its key: the skin is refused when there is any.
  std::vector<std::string> refusals;
  // One line per rectangle that reached outside its window and was cut to it, naming its key.
  std::vector<std::string> cuts;
};

// Cuts every rectangle of display to the window it is placed in, given the sizes of
// "main.bmp" and "eq.bmp" (which CheckSkinBitmapSize accepted):
// - the buttons, the text fields, the visualization area and the position slider to the
//   main window (one band), and the slider's knob source (position_knob) to band 2 of
//   "main.bmp";
// - eq_track, eq_close and the check box's corner (eq_check) to the equalizer window;
// - eq_slider, the knob's source, to band 2 of "eq.bmp" (the knob takes the cut size);
// - eq_interval to the equalizer window's width either way (no track can be placed past it).
// An element left without a pixel (a rectangle wholly outside, or of no width or height)
// is a refusal; an element cut is a note. Afterwards every coordinate, size and offset the
// windows derive from the skin stays within a few times kSkinBitmapSideLimit.
SkinBoundsReport BoundSkin(DisplayIni& display, SkinBitmapSize main, SkinBitmapSize eq);

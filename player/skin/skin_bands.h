// The bands of a skin bitmap: equal slices stacked top to bottom (face, shape mask,
// pressed look, and in a four-band main bitmap the look while the mouse is away), and the
// source rectangles the skinned controls cut from them.
#pragma once

#include <cstdint>

#include "player/skin/display_ini.h"

enum class SkinBand { Face = 0, Mask = 1, Pressed = 2, Away = 3 };

class BandLayout {
 public:
  // bandCount below 1 counts as 1.
  BandLayout(int bitmapWidth, int bitmapHeight, int bandCount);
  // The main bitmap has four bands when disp_with_focus is set, else three.
  static BandLayout ForMain(int bitmapWidth, int bitmapHeight, bool withFocus);
  // The equalizer bitmap always has three.
  static BandLayout ForEqualizer(int bitmapWidth, int bitmapHeight);

  int BandCount() const { return bandCount_; }
  int Width() const { return width_; }
  // Integer division: rows left over at the bottom belong to no band.
  int BandHeight() const { return height_ / bandCount_; }
  // The first row of band k.
  int BandTop(int k) const { return k * BandHeight(); }
  int BandTop(SkinBand band) const { return BandTop(static_cast<int>(band)); }

 private:
  int width_;
  int height_;
  int bandCount_;
};

// The three looks of a button, as rectangles of the bitmap.
struct ButtonImageSources {
  SkinRect over;     // mouse over, released
  SkinRect pressed;  // held down
  SkinRect away;     // mouse not over, released
};

// A button at place: the face band gives the mouse-over look; the pressed band the pressed
// look when the bitmap has one for it (else the mouse-over look again); the fourth band, when
// there is one, the look while the mouse is away (else the mouse-over look).
ButtonImageSources CutButton(const SkinRect& place, const BandLayout& bands, bool hasPressedImage = true);

// An equalizer slider track as the skin cuts it: where it sits, how far its knob travels,
// and the images of the track's background and of the knob.
struct TrackGeometry {
  SkinRect place;        // left, top, width and height of the track in the window
  int maxTop = 0;        // the knob's travel limit: track height − knob height
  SkinRect background;   // from the face band, at the first track's rectangle
  SkinRect knob;         // from the pressed band, at eq_slider's source point
};

// trackIndex shifts the track right by trackIndex × eqInterval; the background stays the
// first track's rectangle, so every track shows the same groove.
TrackGeometry CutTrack(const DisplayIni& skin, const BandLayout& bands, int trackIndex);

// The main window's position slider as the skin cuts it: a horizontal track whose knob
// travels from the track's left edge to its right edge less the knob's width, centred
// in the track's height.
struct PositionSliderGeometry {
  SkinRect place;       // the track in the window
  int travel = 0;       // the knob's leftmost offsets: 0 … travel (never negative)
  int knobTop = 0;      // the knob's top inside the track
  SkinRect background;  // from the face band, under the track
  SkinRect knob;        // from the pressed band, at position_knob's source point
};
// Only for a skin with a position key.
PositionSliderGeometry CutPositionSlider(const SkinRect& position, const SkinKnobSource& knob, const BandLayout& bands);

// The knob's offset for a position of range (both in the engine's units, seconds), and
// the position a knob offset stands for: proportional, rounded to the nearest, within
// 0 … travel and 0 … range − 1. A range of 0 (a stream) keeps the knob at 0.
int KnobOffsetOf(uint32_t position, uint32_t range, int travel);
uint32_t PositionOfKnob(int offset, int travel, uint32_t range);

// The band-0 pixels under the visualization area, and the pixel that gives its background
// colour (only when left > 0: a skin without a usable area has a black background).
struct VisualizationSource {
  SkinRect area;
  bool backgroundFromBitmap = false;  // when set, background is the bitmap pixel at (left, top)
};
VisualizationSource CutVisualization(const SkinVisualizationPlace& place);

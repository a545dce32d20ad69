// Band arithmetic of skin bitmaps and the rectangles cut from them.
#include "player/skin/skin_bands.h"

#include <algorithm>

BandLayout::BandLayout(int bitmapWidth, int bitmapHeight, int bandCount)
    : width_(std::max(bitmapWidth, 0)), height_(std::max(bitmapHeight, 0)), bandCount_(std::max(bandCount, 1)) {}

BandLayout BandLayout::ForMain(int bitmapWidth, int bitmapHeight, bool withFocus) {
  return BandLayout(bitmapWidth, bitmapHeight, withFocus ? 4 : 3);
}

BandLayout BandLayout::ForEqualizer(int bitmapWidth, int bitmapHeight) { return BandLayout(bitmapWidth, bitmapHeight, 3); }

namespace {

SkinRect Shifted(SkinRect rect, int down) {
  rect.top += down;
  return rect;
}

}  // namespace

ButtonImageSources CutButton(const SkinRect& place, const BandLayout& bands, bool hasPressedImage) {
  ButtonImageSources images;
  images.over = place;
  images.pressed = hasPressedImage ? Shifted(place, bands.BandTop(SkinBand::Pressed)) : place;
  images.away = bands.BandCount() >= 4 ? Shifted(place, bands.BandTop(SkinBand::Away)) : place;
  return images;
}

TrackGeometry CutTrack(const DisplayIni& skin, const BandLayout& bands, int trackIndex) {
  TrackGeometry track;
  const SkinRect& first = skin.eqTrack;
  track.maxTop = first.height - skin.eqSlider.height;
  track.place = {first.left + trackIndex * skin.eqInterval, first.top, first.width,
                 track.maxTop + skin.eqSlider.height};
  track.background = first;
  track.knob = {skin.eqSlider.left, skin.eqSlider.top + bands.BandTop(SkinBand::Pressed), skin.eqSlider.width,
                skin.eqSlider.height};
  return track;
}

VisualizationSource CutVisualization(const SkinVisualizationPlace& place) {
  return {place.rect, place.rect.left > 0};
}

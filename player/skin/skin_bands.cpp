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

PositionSliderGeometry CutPositionSlider(const SkinRect& position, const SkinKnobSource& knob, const BandLayout& bands) {
  PositionSliderGeometry slider;
  slider.place = position;
  slider.travel = std::max(position.width - knob.width, 0);
  slider.knobTop = (position.height - knob.height) / 2;
  slider.background = position;
  slider.knob = {knob.left, knob.top + bands.BandTop(SkinBand::Pressed), knob.width, knob.height};
  return slider;
}

int KnobOffsetOf(uint32_t position, uint32_t range, int travel) {
  if (range == 0 || travel <= 0) return 0;
  const uint64_t at = std::min<uint64_t>(position, range);
  return static_cast<int>((at * uint64_t(travel) + range / 2) / range);
}

uint32_t PositionOfKnob(int offset, int travel, uint32_t range) {
  if (range == 0 || travel <= 0) return 0;
  const uint64_t clamped = uint64_t(std::clamp(offset, 0, travel));
  const uint64_t position = (clamped * range + uint64_t(travel) / 2) / uint64_t(travel);
  return static_cast<uint32_t>(std::min<uint64_t>(position, range - 1));
}

// Bounding a skin's geometry by its bitmaps.
#include "player/skin/skin_bounds.h"

#include <algorithm>
#include <cstdint>

#include "player/skin/skin_bands.h"

Outcome CheckSkinBitmapSize(int64_t width, int64_t height, int bandCount) {
  const int bands = std::max(bandCount, 1);
  const std::string size = std::to_string(width) + " × " + std::to_string(height) + " pixels";
  if (width > kSkinBitmapSideLimit || height > kSkinBitmapSideLimit)
    return Fail(Error(ErrorCategory::Unsupported, {},
                      size + " is larger than a skin bitmap may be (" + std::to_string(kSkinBitmapSideLimit) + " × " +
                          std::to_string(kSkinBitmapSideLimit) + ")"));
  if (width < 1 || height < bands)
    return Fail(Error(ErrorCategory::Format, {},
                      size + " cannot hold " + std::to_string(bands) + " bands of at least one row"));
  return Done{};
}

namespace {

// The area an element lies in: its size and what to call it in a message.
struct Area {
  int width;
  int height;
  const char* name;
  std::string Text() const { return std::string(name) + " (" + std::to_string(width) + " × " + std::to_string(height) + ")"; }
};

std::string RectText(const SkinRect& r) {
  return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.width) + " " +
         std::to_string(r.height);
}

// The part of rect inside the area, computed wide so that no sum can overflow; nullopt
// when no pixel of it is inside.
std::optional<SkinRect> Inside(const SkinRect& rect, const Area& area) {
  const int64_t x0 = std::max<int64_t>(rect.left, 0);
  const int64_t y0 = std::max<int64_t>(rect.top, 0);
  const int64_t x1 = std::min<int64_t>(int64_t{rect.left} + rect.width, area.width);
  const int64_t y1 = std::min<int64_t>(int64_t{rect.top} + rect.height, area.height);
  if (rect.width <= 0 || rect.height <= 0 || x1 <= x0 || y1 <= y0) return std::nullopt;
  return SkinRect{static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0), static_cast<int>(y1 - y0)};
}

class Bounder {
 public:
  explicit Bounder(SkinBoundsReport& report) : report_(report) {}

  // Cuts rect to the area; false (and a refusal) when nothing of it is left.
  bool Cut(const char* key, const char* what, SkinRect& rect, const Area& area) {
    const std::optional<SkinRect> inside = Inside(rect, area);
    const std::string head = std::string("display.Ini: ") + key + ": the " + what + " " + RectText(rect);
    if (!inside) {
      report_.refusals.push_back(head + (rect.width <= 0 || rect.height <= 0 ? " is empty" : " lies outside the " + area.Text()));
      return false;
    }
    if (*inside != rect) {
      report_.cuts.push_back(head + " reaches outside the " + area.Text() + ", cut to " + RectText(*inside));
      rect = *inside;
    }
    return true;
  }

  void Limit(const char* key, const char* what, int& value, int low, int high) {
    const int limited = std::clamp(value, low, high);
    if (limited == value) return;
    report_.cuts.push_back(std::string("display.Ini: ") + key + ": the " + what + " " + std::to_string(value) +
                           " is taken as " + std::to_string(limited) + ", the nearest that fits the equalizer window");
    value = limited;
  }

 private:
  SkinBoundsReport& report_;
};

}  // namespace

SkinBoundsReport BoundSkin(DisplayIni& display, SkinBitmapSize main, SkinBitmapSize eq) {
  SkinBoundsReport report;
  Bounder bounder(report);
  const BandLayout mainBands = BandLayout::ForMain(main.width, main.height, display.withFocus);
  const BandLayout eqBands = BandLayout::ForEqualizer(eq.width, eq.height);
  const Area mainWindow{mainBands.Width(), mainBands.BandHeight(), "main window"};
  const Area eqWindow{eqBands.Width(), eqBands.BandHeight(), "equalizer window"};
  const Area knobBand{eqBands.Width(), eqBands.BandHeight(), "band 2 of the equalizer bitmap"};

  for (const SkinButtonInfo& info : kSkinButtons)
    if (auto& place = display.buttons[static_cast<size_t>(info.button)]; place)
      bounder.Cut(info.key, "rectangle", *place, mainWindow);
  for (size_t i = 0; i < kSkinTextFieldCount; ++i)
    if (auto& field = display.textFields[i]; field) bounder.Cut(kSkinTextFieldKeys[i], "rectangle", field->rect, mainWindow);
  if (display.visualization) bounder.Cut("visualization", "rectangle", display.visualization->rect, mainWindow);
  if (display.position && bounder.Cut("position", "rectangle", *display.position, mainWindow)) {
    const Area mainKnobBand{mainBands.Width(), mainBands.BandHeight(), "band 2 of the main bitmap"};
    SkinRect mainKnob{display.positionKnob.left, display.positionKnob.top, display.positionKnob.width,
                      display.positionKnob.height};
    if (bounder.Cut("position_knob", "knob", mainKnob, mainKnobBand))
      display.positionKnob = {mainKnob.left, mainKnob.top, mainKnob.width, mainKnob.height};
  }

  bounder.Cut("eq_track", "rectangle", display.eqTrack, eqWindow);
  SkinRect knob{display.eqSlider.left, display.eqSlider.top, display.eqSlider.width, display.eqSlider.height};
  if (bounder.Cut("eq_slider", "knob", knob, knobBand)) display.eqSlider = {knob.left, knob.top, knob.width, knob.height};
  bounder.Limit("eq_interval", "distance", display.eqInterval, -eqWindow.width, eqWindow.width);
  bounder.Limit("eq_check", "left", display.eqCheck.left, 0, std::max(eqWindow.width - 1, 0));
  bounder.Limit("eq_check", "top", display.eqCheck.top, 0, std::max(eqWindow.height - 1, 0));
  if (display.eqClose) bounder.Cut("eq_close", "rectangle", *display.eqClose, eqWindow);
  return report;
}

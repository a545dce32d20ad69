// Reading "display.Ini" with the profile calls' limits and scanf's field rules.
#include "player/skin/display_ini.h"

#include <cstdio>

namespace {

// The value as the profile call hands it over: cut to the buffer's limit.
std::optional<std::string> ReadValue(const IniFile& ini, const char* key) {
  auto value = ini.Get(kDisplaySection, key);
  if (!value) return std::nullopt;
  if (value->size() > kDisplayValueLimit) value->resize(kDisplayValueLimit);
  return value;
}

// A present key whose value is empty counts as missing, as the profile call returns the
// same empty text for both.
std::optional<std::string> ReadElement(const IniFile& ini, const char* key) {
  auto value = ReadValue(ini, key);
  if (value && value->empty()) return std::nullopt;
  return value;
}

}  // namespace

SkinRect ParseSkinRect(std::string_view value, SkinRect start) {
  const std::string text(value);
  std::sscanf(text.c_str(), "%i %i %i %i", &start.left, &start.top, &start.width, &start.height);
  return start;
}

SkinTextFieldPlace ParseSkinTextField(std::string_view value) {
  const std::string text(value);
  SkinTextFieldPlace place;
  unsigned colour = 0;
  char font[kDisplayValueLimit + 1] = {};
  std::sscanf(text.c_str(), "%i %i %i %i %x %255s", &place.rect.left, &place.rect.top, &place.rect.width,
              &place.rect.height, &colour, font);
  place.colour.value = colour;
  place.font = font;
  return place;
}

SkinVisualizationPlace ParseSkinVisualization(std::string_view value) {
  const std::string text(value);
  SkinVisualizationPlace place;
  place.rect.left = -1;
  unsigned colour = 0;
  std::sscanf(text.c_str(), "%i %i %i %i %x", &place.rect.left, &place.rect.top, &place.rect.width,
              &place.rect.height, &colour);
  place.lineColour.value = colour;
  return place;
}

SkinKnobSource ParseSkinKnobSource(std::string_view value, SkinKnobSource start) {
  const std::string text(value);
  std::sscanf(text.c_str(), "%i %i %i %i", &start.left, &start.top, &start.width, &start.height);
  return start;
}

SkinCheckPlace ParseSkinCheck(std::string_view value, SkinCheckPlace start) {
  const std::string text(value);
  unsigned colour = start.background.value;
  std::sscanf(text.c_str(), "%i %i %x", &start.left, &start.top, &colour);
  start.background.value = colour;
  return start;
}

int ParseSkinInt(std::string_view value, int start) {
  const std::string text(value);
  std::sscanf(text.c_str(), "%i", &start);
  return start;
}

DisplayIni DisplayIni::FromIni(const IniFile& ini) {
  DisplayIni skin;
  if (const auto value = ReadValue(ini, "disp_with_focus")) skin.withFocus = ParseSkinInt(*value, 0) != 0;
  for (const SkinButtonInfo& info : kSkinButtons)
    if (const auto value = ReadElement(ini, info.key))
      skin.buttons[static_cast<size_t>(info.button)] = ParseSkinRect(*value);
  for (size_t i = 0; i < kSkinTextFieldCount; ++i)
    if (const auto value = ReadElement(ini, kSkinTextFieldKeys[i])) skin.textFields[i] = ParseSkinTextField(*value);
  if (const auto value = ReadElement(ini, "visualization")) skin.visualization = ParseSkinVisualization(*value);
  if (const auto value = ReadValue(ini, "eq_interval")) skin.eqInterval = ParseSkinInt(*value, skin.eqInterval);
  if (const auto value = ReadValue(ini, "eq_track")) skin.eqTrack = ParseSkinRect(*value, skin.eqTrack);
  if (const auto value = ReadValue(ini, "eq_slider")) skin.eqSlider = ParseSkinKnobSource(*value, skin.eqSlider);
  if (const auto value = ReadValue(ini, "eq_check")) skin.eqCheck = ParseSkinCheck(*value, skin.eqCheck);
  if (const auto value = ReadElement(ini, "eq_close")) skin.eqClose = ParseSkinRect(*value);
  if (const auto value = ReadElement(ini, "position")) skin.position = ParseSkinRect(*value);
  if (const auto value = ReadValue(ini, "position_knob"))
    skin.positionKnob = ParseSkinKnobSource(*value, skin.positionKnob);
  return skin;
}

Expected<DisplayIni> DisplayIni::Load(const std::string& path) {
  auto ini = IniFile::Load(path);
  if (!ini) return Fail(ini.Error());
  return FromIni(ini.Value());
}

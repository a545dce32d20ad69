// Equalizer presets: the shipped curves and the user's presets in the settings file.
#include "player/control/equalizer_presets.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "common/paths.h"

namespace {

// The slider value whose band value lifts (or cuts) by db decibels, to the nearest band
// step: +12 dB is band value 50, -24 dB is -51 (see BandValueOf for the way back).
int SliderForDb(double db) {
  const int band = int(std::lround(db >= 0 ? db * 50.0 / 12.0 : db * 51.0 / 24.0));
  // (127 − v) × 10 / 25 truncates toward zero: the step just past band × 2.5 lands on band.
  const int offset = int(std::ceil(std::abs(band) * 2.5));
  return ClampSliderValue(band >= 0 ? kEqualizerSliderMiddle - offset : kEqualizerSliderMiddle + offset);
}

EqualizerPreset Curve(const char* name, std::array<double, kEqualizerSliders> db) {
  EqualizerPreset preset{name, {}};
  for (size_t i = 0; i < db.size(); ++i) preset.values[i] = SliderForDb(db[i]);
  return preset;
}

// The sliders drive equal slices of the spectrum (at 44.1 kHz: slider 0 up to 690 Hz,
// slider 6 to 4.8 kHz, slider 11 from 15 kHz), so "bass" is mostly slider 0.
const std::vector<EqualizerPreset>& Curves() {
  static const std::vector<EqualizerPreset> curves = {
      Curve("Flat", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
      Curve("Rock", {5, 3, -1, -3, -2, 0, 1, 2, 3, 4, 5, 5}),
      Curve("Pop", {-1, 2, 4, 5, 4, 2, 0, -1, -1, -1, -2, -2}),
      Curve("Classical", {3, 1, 0, 0, 0, 0, 0, -1, -2, -3, -4, -5}),
      Curve("Jazz", {3, 2, 1, 2, -1, -1, 0, 1, 2, 3, 3, 3}),
      Curve("Bass boost", {8, 4, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
      Curve("Treble boost", {0, 0, 0, 0, 0, 0, 1, 3, 5, 7, 8, 8}),
      Curve("Vocal", {-3, -1, 2, 4, 4, 3, 2, 1, 0, -1, -2, -3}),
  };
  return curves;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

Error NameError(const std::string& text) {
  return Error(ErrorCategory::Usage, {}, text);
}

}  // namespace

std::span<const EqualizerPreset> BuiltInEqualizerPresets() { return Curves(); }

std::string FormatPresetValues(const EqualizerValues& values) {
  std::string text;
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) text += ',';
    text += std::to_string(ClampSliderValue(values[i]));
  }
  return text;
}

std::optional<EqualizerValues> ParsePresetValues(std::string_view text) {
  EqualizerValues values{};
  size_t count = 0;
  while (true) {
    const size_t comma = text.find(',');
    const std::string_view item = Trimmed(text.substr(0, comma));
    if (item.empty() || item.size() > 3 || count == values.size()) return std::nullopt;
    if (!std::all_of(item.begin(), item.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
    const int value = std::atoi(std::string(item).c_str());
    if (value > kEqualizerSliderMax) return std::nullopt;
    values[count++] = value;
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  if (count != values.size()) return std::nullopt;
  return values;
}

Expected<std::string> CheckPresetName(std::string_view name) {
  const std::string trimmed(Trimmed(name));
  if (trimmed.empty()) return Fail(NameError("A preset needs a name."));
  if (trimmed.size() > kEqualizerPresetNameLimit)
    return Fail(NameError("A preset name has at most " + std::to_string(kEqualizerPresetNameLimit) + " characters."));
  if (trimmed.find_first_of("=\r\n") != std::string::npos)
    return Fail(NameError("A preset name cannot hold \"=\" or a line break."));
  if (trimmed.front() == ';' || trimmed.front() == '[')
    return Fail(NameError("A preset name cannot start with \";\" or \"[\"."));
  for (const EqualizerPreset& shipped : BuiltInEqualizerPresets()) {
    if (SameName(shipped.name, trimmed))
      return Fail(NameError("\"" + shipped.name + "\" is a preset of the player's own: choose another name."));
  }
  return trimmed;
}

std::vector<EqualizerPreset> ReadUserPresets(const IniFile& ini) {
  std::vector<EqualizerPreset> presets;
  for (const std::string& key : ini.Keys(kEqualizerPresetSection)) {
    const std::optional<std::string> text = ini.Get(kEqualizerPresetSection, key);
    if (!text) continue;
    const std::optional<EqualizerValues> values = ParsePresetValues(*text);
    if (!values || !CheckPresetName(key)) continue;
    // A name written twice by hand: the first line counts, as the file reads it.
    const bool seen = std::any_of(presets.begin(), presets.end(), [&](const auto& p) { return SameName(p.name, key); });
    if (!seen) presets.push_back({key, *values});
  }
  return presets;
}

EqualizerPresetFile::EqualizerPresetFile(std::string path) : path_(std::move(path)) {}

Expected<std::vector<EqualizerPreset>> EqualizerPresetFile::UserPresets() const {
  auto ini = IniFile::Load(path_);
  if (!ini) return Fail(ini.Error());
  return ReadUserPresets(ini.Value());
}

Expected<std::string> EqualizerPresetFile::Save(std::string_view name, const EqualizerValues& values) {
  auto checked = CheckPresetName(name);
  if (!checked) return Fail(checked.Error());
  if (auto made = CreateDirectories(ExtractFileDir(path_)); !made)
    return Fail(IniFailure(IniFault::Write, path_, made.Error().errnum));
  auto ini = IniFile::Load(path_);
  if (!ini) return Fail(ini.Error());
  // The key keeps the spelling it has in the file when the user saves over it.
  std::string key = checked.Value();
  for (const std::string& existing : ini.Value().Keys(kEqualizerPresetSection)) {
    if (SameName(existing, key)) key = existing;
  }
  ini.Value().WriteString(kEqualizerPresetSection, key, FormatPresetValues(values));
  if (auto saved = ini.Value().Save(); !saved) return Fail(saved.Error());
  return key;
}

Outcome EqualizerPresetFile::Delete(std::string_view name) {
  auto ini = IniFile::Load(path_);
  if (!ini) return Fail(ini.Error());
  if (!ini.Value().DeleteKey(kEqualizerPresetSection, Trimmed(name))) return Done{};
  return ini.Value().Save();
}

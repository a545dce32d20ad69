// Equalizer presets: the shipped curves (Flat first) and the user's own, kept in the
// player's settings file in a section of their own, one "NAME=v0,v1,...,v11" line each
// (the twelve slider values, 0..255).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/ini_file.h"
#include "common/result.h"
#include "player/control/equalizer_record.h"

inline constexpr const char* kEqualizerPresetSection = "EQ Presets";
// Longer names are refused (the menu shows them whole).
inline constexpr size_t kEqualizerPresetNameLimit = 40;

struct EqualizerPreset {
  std::string name;
  EqualizerValues values{};
};

// The shipped curves in menu order: Flat, Rock, Pop, Classical, Jazz, Bass boost, Treble
// boost, Vocal.
std::span<const EqualizerPreset> BuiltInEqualizerPresets();

// "v0,v1,...,v11".
std::string FormatPresetValues(const EqualizerValues& values);
// Twelve comma-separated whole numbers 0..255 (spaces around them allowed); anything else
// is no preset.
std::optional<EqualizerValues> ParsePresetValues(std::string_view text);

// The name with surrounding spaces removed, or why it cannot name a user preset: empty,
// too long, holding '=' or a line break, starting with ';' or '[' (the settings file
// would read it otherwise), or the name of a shipped curve (compared without regard to
// case, as the file compares keys).
Expected<std::string> CheckPresetName(std::string_view name);

// The user presets of a settings document, in file order. Lines whose value is not twelve
// slider values are left out (and left alone in the file).
std::vector<EqualizerPreset> ReadUserPresets(const IniFile& ini);

// The user presets in a settings file, each change written at once (the rest of the file
// kept as it is).
class EqualizerPresetFile {
 public:
  explicit EqualizerPresetFile(std::string path);

  // A missing file has none; an unreadable one fails with why.
  Expected<std::vector<EqualizerPreset>> UserPresets() const;
  // Saves values under name (checked as above), replacing a user preset of the same name.
  // Returns the name as stored.
  Expected<std::string> Save(std::string_view name, const EqualizerValues& values);
  // Removes the user preset name; one that is not there is no error.
  Outcome Delete(std::string_view name);

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

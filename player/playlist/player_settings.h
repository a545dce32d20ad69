// The player's settings: a typed record, the ordered table of its sections, keys and
// defaults, and loading and saving "zbplayer.ini" in the per-user folder.
#pragma once

#include <array>
#include <span>
#include <string>

#include "common/ini_file.h"
#include "common/result.h"
#include "player/playlist/settings_store.h"

inline constexpr const char* kPlayerSettingsFileName = "zbplayer.ini";
inline constexpr int kEqualizerSliderCount = 12;
inline constexpr int kEqualizerDefaultValue = 127;
// The pre-amp of ReplayGain goes this many dB up or down at most.
inline constexpr int kReplayGainPreampLimitDb = 15;
// A stored value is read up to this many characters.
inline constexpr size_t kPlayerSettingTextLimit = 62;

struct PlayerSettings {
  // [Options]
  int version = 0;
  int optionsFormTop = 10;
  int optionsFormLeft = 10;
  int optionsFormHeight = 230;
  int optionsFormWidth = 460;
  // [Player]
  int playerFormTop = 10;
  int playerFormLeft = 10;
  int playerFormHeight = 460;
  int playerFormWidth = 620;
  int continuousPlay = 0;
  int useDirectSound = 0;
  // Consecutive entries play without a gap (0: the two-second pause between tracks).
  int gaplessPlayback = 1;
  // ReplayGain while playing: 0 off, 1 the track's gain, 2 the album's (ReplayGainMode).
  int replayGainMode = 1;
  // Added to the tag's gain, in dB (-15 … 15, kReplayGainPreampLimitDb).
  int replayGainPreamp = 0;
  // The volume level of the last run; -1 until one has been saved (full volume then).
  int volume = -1;
  // [PlayList]
  int playListFormTop = 11;
  int playListFormLeft = 11;
  int playListFormHeight = 0;
  int playListFormWidth = 0;
  int playListIndex = 0;
  // [EQ]
  int eqFormTop = -100;
  int eqFormLeft = -100;
  int eqFormHeight = 440;
  int eqFormWidth = 563;
  int eqVisible = 0;
  int eqEnabled = 1;
  // [EQ] EQ0 … EQ11: slider values 0..255
  std::array<int, kEqualizerSliderCount> eq{127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127};

  bool operator==(const PlayerSettings&) const = default;
};

struct PlayerSettingEntry {
  const char* section;
  const char* key;
  int PlayerSettings::*field;
};

// Every integer entry in file order (the equalizer values follow them).
std::span<const PlayerSettingEntry> PlayerSettingEntries();

// Reads every entry, each with its current value as the default text: a missing key keeps
// the value, a value that is not a number reads as 0. Then the twelve equalizer values.
void LoadPlayerSettings(const SettingsStore& store, PlayerSettings& settings);
// Writes every entry in decimal, then the twelve equalizer values.
void SavePlayerSettings(const PlayerSettings& settings, SettingsStore& store);

// "zbplayer.ini" in the per-user folder.
std::string PlayerSettingsPath();

// The settings of one run of the player: read from the file the first time they are
// needed, written back once at the end. A missing file gives the defaults; an unreadable
// one gives the defaults and is reported by Load.
class PlayerSettingsFile {
 public:
  explicit PlayerSettingsFile(std::string path = PlayerSettingsPath()) : path_(std::move(path)) {}

  // Loads on the first call only; later calls return the values in memory.
  Outcome Load();
  bool Loaded() const { return loaded_; }
  PlayerSettings& Settings() { return settings_; }
  const std::string& Path() const { return path_; }
  // Writes the values, keeping whatever else the file holds; creates the folder.
  Outcome Save() const;

 private:
  std::string path_;
  PlayerSettings settings_;
  bool loaded_ = false;
};

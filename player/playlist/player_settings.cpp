// The player's settings table and "zbplayer.ini".
#include "player/playlist/player_settings.h"

#include <cerrno>
#include <string_view>

#include "common/paths.h"

namespace {

using P = PlayerSettings;
constexpr PlayerSettingEntry kEntries[] = {
    {"Options", "Version", &P::version},
    {"Options", "OptionsFormTop", &P::optionsFormTop},
    {"Options", "OptionsFormLeft", &P::optionsFormLeft},
    {"Options", "OptionsFormHeight", &P::optionsFormHeight},
    {"Options", "OptionsFormWidth", &P::optionsFormWidth},
    {"Player", "PlayerFormTop", &P::playerFormTop},
    {"Player", "PlayerFormLeft", &P::playerFormLeft},
    {"Player", "PlayerFormHeight", &P::playerFormHeight},
    {"Player", "PlayerFormWidth", &P::playerFormWidth},
    {"Player", "ContinuousPlay", &P::continuousPlay},
    {"Player", "UseDirectSound", &P::useDirectSound},
    {"Player", "GaplessPlayback", &P::gaplessPlayback},
    {"Player", "ReplayGainMode", &P::replayGainMode},
    {"Player", "ReplayGainPreamp", &P::replayGainPreamp},
    {"Player", "Volume", &P::volume},
    {"PlayList", "PlayListFormTop", &P::playListFormTop},
    {"PlayList", "PlayListFormLeft", &P::playListFormLeft},
    {"PlayList", "PlayListFormHeight", &P::playListFormHeight},
    {"PlayList", "PlayListFormWidth", &P::playListFormWidth},
    {"PlayList", "PlayListIndex", &P::playListIndex},
    {"EQ", "EQFormTop", &P::eqFormTop},
    {"EQ", "EQFormLeft", &P::eqFormLeft},
    {"EQ", "EQFormHeight", &P::eqFormHeight},
    {"EQ", "EQFormWidth", &P::eqFormWidth},
    {"EQ", "EQVisible", &P::eqVisible},
    {"EQ", "EQEnabled", &P::eqEnabled},
};

constexpr const char* kEqSection = "EQ";

std::string EqKey(int i) { return "EQ" + std::to_string(i); }

// The stored text, or the default when the key is missing, cut to the read limit, then
// converted as a decimal number ("12abc" is 12, "abc" is 0).
int ReadNumber(const SettingsStore& store, std::string_view section, std::string_view key, int current) {
  std::string text = store.Read(section, key).value_or(std::to_string(current));
  if (text.size() > kPlayerSettingTextLimit) text.resize(kPlayerSettingTextLimit);
  return ProfileInt(text);
}

}  // namespace

std::span<const PlayerSettingEntry> PlayerSettingEntries() { return kEntries; }

void LoadPlayerSettings(const SettingsStore& store, PlayerSettings& settings) {
  for (const PlayerSettingEntry& entry : kEntries)
    settings.*entry.field = ReadNumber(store, entry.section, entry.key, settings.*entry.field);
  for (int i = 0; i < kEqualizerSliderCount; ++i)
    settings.eq[static_cast<size_t>(i)] = ReadNumber(store, kEqSection, EqKey(i), kEqualizerDefaultValue);
}

void SavePlayerSettings(const PlayerSettings& settings, SettingsStore& store) {
  for (const PlayerSettingEntry& entry : kEntries)
    store.Write(entry.section, entry.key, std::to_string(settings.*entry.field));
  for (int i = 0; i < kEqualizerSliderCount; ++i)
    store.Write(kEqSection, EqKey(i), std::to_string(settings.eq[static_cast<size_t>(i)]));
}

std::string PlayerSettingsPath() { return UserFolder() + kPlayerSettingsFileName; }

Outcome PlayerSettingsFile::Load() {
  if (loaded_) return Done{};
  loaded_ = true;
  // A file refused as no settings file is moved aside, so the save at the end loses nothing.
  auto ini = IniFile::LoadSettings(path_);
  if (!ini) return Fail(ini.Error());
  LoadPlayerSettings(IniSettingsStore(ini.Value()), settings_);
  return Done{};
}

Outcome PlayerSettingsFile::Save() const {
  if (auto made = CreateDirectories(ExtractFileDir(path_)); !made)
    return Fail(IniFailure(IniFault::Write, path_, made.Error().errnum));
  auto ini = IniFile::Load(path_);
  if (!ini) return Fail(ini.Error());
  IniSettingsStore store(ini.Value());
  SavePlayerSettings(settings_, store);
  return ini.Value().Save();
}

// The maker's settings table, its defaults, and loading and saving "zbmaker.INI".
#include "maker/settings/settings_table.h"

#include <dlfcn.h>
#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cassert>
#include <cstdlib>
#include <cstring>

#include "common/paths.h"
#include "common/text_encoding.h"

namespace {

constexpr SettingKind kInt = SettingKind::Int;
constexpr SettingKind kText = SettingKind::Text;
constexpr size_t kProgramBytes = 780;
constexpr size_t kPathBytes = 256;

// File order. Text defaults of the external programs: slot 0 makes an MP3 with the
// command-line MP3 encoder beside the input, slot 1 an Ogg Vorbis file with ffmpeg.
constexpr SettingEntry kEntries[] = {
    {"Version", kInt, "0", 0},
    {"CD2MP3DelTempOnSuccess", kInt, "1", 0},
    {"CD2MP3DelTempOnError", kInt, "0", 0},
    {"CD2MP3DelMP3OnError", kInt, "0", 0},
    {"CD2WAVDelWAVOnError", kInt, "0", 0},
    {"WAV2MP3DelWAVOnSuccess", kInt, "0", 0},
    {"WAV2MP3DelMP3OnError", kInt, "0", 0},
    {"MP32WAVDelMP3OnSuccess", kInt, "0", 0},
    {"MP32WAVDelWAVOnError", kInt, "0", 0},
    {"ConfirmOverwrite", kInt, "0", 0},
    {"ClearReaderLogOnStart", kInt, "0", 0},
    {"ClearEncoderLogOnStart", kInt, "0", 0},
    {"UseWinNTRawRead", kInt, "0", 0},
    {"ASPIReadMode", kInt, "0", 0},
    {"ReadSector", kInt, "4", 0},
    {"JitterCorrection", kInt, "1", 0},
    {"OverlapPercent", kInt, "2", 0},
    {"MaxSyncNoMatchRetry", kInt, "3", 0},
    {"MaxSyncMisalignRetry", kInt, "0", 0},
    {"Channels", kInt, "1", 0},
    {"MPEGMode", kInt, "1", 0},
    {"MPEG1BitRate", kInt, "8", 0},
    {"MPEG2BitRate", kInt, "8", 0},
    {"AACBitRate", kInt, "4", 0},
    {"AACUseADTS", kInt, "0", 0},
    {"ExtPgm", kInt, "0", 0},
    {"FastMode", kInt, "1", 0},
    {"UseMMX", kInt, "1", 0},
    {"UseLTP", kInt, "1", 0},
    {"UseTNS", kInt, "0", 0},
    {"UsePNS", kInt, "0", 0},
    {"AdjustCDSpeed", kInt, "0", 0},
    {"CDSpeed", kInt, "0", 0},
    {"ExternalProgram0", kText, "lame \"$full$\" \"$path$$name$.mp3\"", kProgramBytes},
    {"ExternalProgram1", kText, "ffmpeg -i \"$full$\" \"$drive$$dir$$name$.ogg\"", kProgramBytes},
    {"ExternalProgram2", kText, "", kProgramBytes},
    {"ExternalProgram3", kText, "", kProgramBytes},
    {"ExternalProgram4", kText, "", kProgramBytes},
    {"ExternalProgram5", kText, "", kProgramBytes},
    {"ExternalProgram6", kText, "", kProgramBytes},
    {"ExternalProgram7", kText, "", kProgramBytes},
    {"ExternalProgram8", kText, "", kProgramBytes},
    {"ExternalProgram9", kText, "", kProgramBytes},
    {"Normalize", kInt, "0", 0},
    {"NormalizePercent", kInt, "100", 0},
    {"NormalizeMin", kInt, "95", 0},
    {"NormalizeMax", kInt, "100", 0},
    {"BeepWhenDone", kInt, "0", 0},
    {"BringToFrontWhenDone", kInt, "0", 0},
    {"OutputPath", kText, "", kPathBytes},
    {"UseHttpProxy", kInt, "0", 0},
    {"UseSocksProxy", kInt, "0", 0},
    {"UseFileNameFormat", kInt, "0", 0},
    {"OptApplyID3", kInt, "0", 0},
    {"CDDBServer", kText, "http://gnudb.gnudb.org:80", kPathBytes},
    {"HttpProxy", kText, "proxyhost:8080", kPathBytes},
    {"SocksProxy", kText, "proxyhost:1080", kPathBytes},
    {"FileNamePattern", kText, "($artist$) [$title$] [$track#$] $trackname$", kPathBytes},
    // CDDB servers ask every client for a real user and host in their greeting.
    {"CDDBUser", kText, "", kPathBytes},
    {"CDDBHost", kText, "", kPathBytes},
    // Disc images listed as drives after the real ones, paths separated by '|'.
    {"DiscImages", kText, "", kProgramBytes},
    // The CD window's lookup source (0 CDDB, 1 MusicBrainz), the web service's address and
    // the contact its User-Agent names (the project's site when empty).
    {"UseMusicBrainz", kInt, "0", 0},
    {"MusicBrainzServer", kText, "https://musicbrainz.org", kPathBytes},
    {"MusicBrainzContact", kText, "", kPathBytes},
};

std::string LoginName() {
  passwd entry{};
  passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr && found->pw_name[0])
    return found->pw_name;
  if (const char* user = std::getenv("USER"); user != nullptr && *user != '\0') return user;
  return "user";
}

std::string HostName() {
  char buffer[256] = {};
  if (gethostname(buffer, sizeof buffer - 1) == 0 && buffer[0] != '\0') return buffer;
  return "localhost";
}

std::string ComputedDefault(const SettingEntry& entry) {
  if (std::strcmp(entry.key, "CDDBUser") == 0) return LoginName();
  if (std::strcmp(entry.key, "CDDBHost") == 0) return HostName();
  return entry.defaultText;
}

// A stored text as the entry keeps it: at most textBytes - 1 bytes, whole characters.
std::string Fit(const SettingEntry& entry, std::string_view text) { return CutUtf8(text, entry.textBytes - 1); }

}  // namespace

std::span<const SettingEntry> SettingEntries() { return kEntries; }

bool ScsiPassThroughUsable() {
  // The pass-through method sends MMC commands through libcdio; it is usable when the
  // library loads from the system and offers both the device open and the command entry.
  for (const char* name : {"libcdio.so.19", "libcdio.so"}) {
    void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) continue;
    const bool usable = dlsym(handle, "cdio_open") != nullptr && dlsym(handle, "mmc_run_cmd") != nullptr;
    dlclose(handle);
    return usable;
  }
  return false;
}

SettingsTable::SettingsTable() {
  defaults_.reserve(std::size(kEntries));
  for (const SettingEntry& entry : kEntries) defaults_.push_back(ComputedDefault(entry));
  ResetToDefaults();
}

void SettingsTable::ResetToDefaults() {
  values_.assign(std::size(kEntries), Value{});
  for (size_t i = 0; i < std::size(kEntries); ++i) {
    if (kEntries[i].kind == kInt)
      values_[i].number = ProfileInt(defaults_[i]);
    else
      values_[i].text = Fit(kEntries[i], defaults_[i]);
  }
}

size_t SettingsTable::IndexOf(std::string_view key, SettingKind kind) const {
  for (size_t i = 0; i < std::size(kEntries); ++i) {
    if (key == kEntries[i].key) {
      assert(kEntries[i].kind == kind && "setting used with the wrong kind");
      return kEntries[i].kind == kind ? i : std::size(kEntries);
    }
  }
  assert(false && "setting key not in the table");
  return std::size(kEntries);
}

int SettingsTable::Int(std::string_view key) const {
  const size_t i = IndexOf(key, kInt);
  return i < values_.size() ? values_[i].number : 0;
}

const std::string& SettingsTable::Text(std::string_view key) const {
  static const std::string empty;
  const size_t i = IndexOf(key, kText);
  return i < values_.size() ? values_[i].text : empty;
}

void SettingsTable::SetInt(std::string_view key, int value) {
  const size_t i = IndexOf(key, kInt);
  if (i < values_.size()) values_[i].number = value;
}

void SettingsTable::SetText(std::string_view key, std::string_view value) {
  const size_t i = IndexOf(key, kText);
  if (i < values_.size()) values_[i].text = Fit(kEntries[i], value);
}

std::string SettingsTable::DefaultText(std::string_view key) const {
  for (size_t i = 0; i < std::size(kEntries); ++i)
    if (key == kEntries[i].key) return defaults_[i];
  return {};
}

Status<SettingsError> SettingsTable::Load(const std::string& path, const PassThroughProbe& probe) {
  ResetToDefaults();
  // A file refused as no settings file is moved aside: the save at the end then writes a
  // new file without losing the old one.
  auto ini = IniFile::LoadSettings(path);
  Status<SettingsError> status = Done{};
  if (ini) {
    const IniFile& file = ini.Value();
    for (size_t i = 0; i < std::size(kEntries); ++i) {
      const auto stored = file.Get(kSettingsSection, kEntries[i].key);
      if (!stored) continue;
      if (kEntries[i].kind == kInt)
        values_[i].number = ProfileInt(*stored);
      else
        values_[i].text = Fit(kEntries[i], *stored);
    }
  } else {
    status = Fail(SettingsError{ini.Error()});
  }
  passThroughAvailable_ = probe ? probe() : false;
  ApplyAccessMethodCheck(passThroughAvailable_);
  return status;
}

Status<SettingsError> SettingsTable::Save(const std::string& path) const {
  if (const std::string folder = ExtractFileDir(path); !folder.empty()) {
    if (auto made = CreateDirectories(folder); !made)
      return Fail(SettingsError{IniError{IniError::Kind::Write, path, made.Error().errnum}});
  }
  auto ini = IniFile::Load(path);
  if (!ini) return Fail(SettingsError{ini.Error()});
  IniFile& file = ini.Value();
  for (size_t i = 0; i < std::size(kEntries); ++i) {
    if (kEntries[i].kind == kInt)
      file.WriteInt(kSettingsSection, kEntries[i].key, values_[i].number);
    else
      file.WriteString(kSettingsSection, kEntries[i].key, values_[i].text);
  }
  if (auto saved = file.Save(); !saved) return Fail(SettingsError{saved.Error()});
  return Done{};
}

std::string SettingsTable::DefaultPath() { return UserFolder() + kSettingsFileName; }

void SettingsTable::ApplyAccessMethodCheck(bool passThroughUsable) {
  // The OS CD interface is always present here, so the only forced case is the one
  // without pass-through.
  if (!passThroughUsable) SetInt("UseWinNTRawRead", 1);
  else SetInt("UseWinNTRawRead", Int("UseWinNTRawRead") != 0 ? 1 : 0);
}

int SettingsTable::EncoderMode() const {
  const int mode = Int("MPEGMode");
  return mode >= kModeMpeg1 && mode <= kModeExternal ? mode : kModeMpeg1;
}

int SettingsTable::RateAt(std::string_view key, const int* table, size_t count) const {
  const int index = Int(key);
  if (index >= 0 && static_cast<size_t>(index) < count) return table[index];
  return table[ProfileInt(DefaultText(key))];
}

int SettingsTable::Mpeg1BitRateKbps() const { return RateAt("MPEG1BitRate", kMpeg1BitRates, std::size(kMpeg1BitRates)); }
int SettingsTable::Mpeg2BitRateKbps() const { return RateAt("MPEG2BitRate", kMpeg2BitRates, std::size(kMpeg2BitRates)); }
int SettingsTable::AacBitRateKbps() const { return RateAt("AACBitRate", kAacBitRates, std::size(kAacBitRates)); }

int SettingsTable::SelectedBitRateKbps() const {
  switch (EncoderMode()) {
    case kModeAac: return AacBitRateKbps();
    case kModeMpeg2: return Mpeg2BitRateKbps();
    default: return Mpeg1BitRateKbps();
  }
}

int SettingsTable::ExternalProgramIndex() const {
  const int slot = Int("ExtPgm");
  return slot >= 0 && slot < kExternalProgramSlots ? slot : 0;
}

const std::string& SettingsTable::ExternalProgram(int slot) const {
  static const std::array<std::string, kExternalProgramSlots> keys = [] {
    std::array<std::string, kExternalProgramSlots> names;
    for (int i = 0; i < kExternalProgramSlots; ++i) names[i] = "ExternalProgram" + std::to_string(i);
    return names;
  }();
  if (slot < 0 || slot >= kExternalProgramSlots) slot = 0;
  return Text(keys[slot]);
}

SettingsTable& MakerSettings() {
  static SettingsTable settings;
  return settings;
}

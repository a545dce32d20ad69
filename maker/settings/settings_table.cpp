// The maker's settings table, its defaults, and loading and saving "zbmaker.INI".
#include "maker/settings/settings_table.h"

#include <dlfcn.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "common/paths.h"
#include "common/text_encoding.h"

namespace {

constexpr SettingKind kInt = SettingKind::Int;
constexpr SettingKind kText = SettingKind::Text;
using V = MakerSettingValues;

constexpr SettingEntry NumberEntry(const char* key, int V::*member) { return {key, kInt, member, nullptr, -1}; }
constexpr SettingEntry TextEntry(const char* key, SettingText V::*member) { return {key, kText, nullptr, member, -1}; }
constexpr SettingEntry ProgramEntry(const char* key, int slot) { return {key, kText, nullptr, nullptr, slot}; }

// File order.
constexpr SettingEntry kEntries[] = {
    NumberEntry("Version", &V::version),
    NumberEntry("CD2MP3DelTempOnSuccess", &V::cd2mp3DelTempOnSuccess),
    NumberEntry("CD2MP3DelTempOnError", &V::cd2mp3DelTempOnError),
    NumberEntry("CD2MP3DelMP3OnError", &V::cd2mp3DelMp3OnError),
    NumberEntry("CD2WAVDelWAVOnError", &V::cd2wavDelWavOnError),
    NumberEntry("WAV2MP3DelWAVOnSuccess", &V::wav2mp3DelWavOnSuccess),
    NumberEntry("WAV2MP3DelMP3OnError", &V::wav2mp3DelMp3OnError),
    NumberEntry("MP32WAVDelMP3OnSuccess", &V::mp32wavDelMp3OnSuccess),
    NumberEntry("MP32WAVDelWAVOnError", &V::mp32wavDelWavOnError),
    NumberEntry("ConfirmOverwrite", &V::confirmOverwrite),
    NumberEntry("ClearReaderLogOnStart", &V::clearReaderLogOnStart),
    NumberEntry("ClearEncoderLogOnStart", &V::clearEncoderLogOnStart),
    NumberEntry("UseWinNTRawRead", &V::useWinNtRawRead),
    NumberEntry("ASPIReadMode", &V::aspiReadMode),
    NumberEntry("ReadSector", &V::readSector),
    NumberEntry("JitterCorrection", &V::jitterCorrection),
    NumberEntry("OverlapPercent", &V::overlapPercent),
    NumberEntry("MaxSyncNoMatchRetry", &V::maxSyncNoMatchRetry),
    NumberEntry("MaxSyncMisalignRetry", &V::maxSyncMisalignRetry),
    NumberEntry("Channels", &V::channels),
    NumberEntry("MPEGMode", &V::mpegMode),
    NumberEntry("MPEG1BitRate", &V::mpeg1BitRate),
    NumberEntry("MPEG2BitRate", &V::mpeg2BitRate),
    NumberEntry("AACBitRate", &V::aacBitRate),
    NumberEntry("AACUseADTS", &V::aacUseAdts),
    NumberEntry("ExtPgm", &V::extPgm),
    NumberEntry("FastMode", &V::fastMode),
    NumberEntry("UseMMX", &V::useMmx),
    NumberEntry("UseLTP", &V::useLtp),
    NumberEntry("UseTNS", &V::useTns),
    NumberEntry("UsePNS", &V::usePns),
    NumberEntry("AdjustCDSpeed", &V::adjustCdSpeed),
    NumberEntry("CDSpeed", &V::cdSpeed),
    ProgramEntry("ExternalProgram0", 0),
    ProgramEntry("ExternalProgram1", 1),
    ProgramEntry("ExternalProgram2", 2),
    ProgramEntry("ExternalProgram3", 3),
    ProgramEntry("ExternalProgram4", 4),
    ProgramEntry("ExternalProgram5", 5),
    ProgramEntry("ExternalProgram6", 6),
    ProgramEntry("ExternalProgram7", 7),
    ProgramEntry("ExternalProgram8", 8),
    ProgramEntry("ExternalProgram9", 9),
    NumberEntry("Normalize", &V::normalize),
    NumberEntry("NormalizePercent", &V::normalizePercent),
    NumberEntry("NormalizeMin", &V::normalizeMin),
    NumberEntry("NormalizeMax", &V::normalizeMax),
    NumberEntry("BeepWhenDone", &V::beepWhenDone),
    NumberEntry("BringToFrontWhenDone", &V::bringToFrontWhenDone),
    TextEntry("OutputPath", &V::outputPath),
    NumberEntry("UseHttpProxy", &V::useHttpProxy),
    NumberEntry("UseSocksProxy", &V::useSocksProxy),
    NumberEntry("UseFileNameFormat", &V::useFileNameFormat),
    NumberEntry("OptApplyID3", &V::optApplyId3),
    TextEntry("CDDBServer", &V::cddbServer),
    TextEntry("HttpProxy", &V::httpProxy),
    TextEntry("SocksProxy", &V::socksProxy),
    TextEntry("FileNamePattern", &V::fileNamePattern),
    TextEntry("CDDBUser", &V::cddbUser),
    TextEntry("CDDBHost", &V::cddbHost),
    TextEntry("DiscImages", &V::discImages),
    NumberEntry("UseMusicBrainz", &V::useMusicBrainz),
    TextEntry("MusicBrainzServer", &V::musicBrainzServer),
    TextEntry("MusicBrainzContact", &V::musicBrainzContact),
    NumberEntry("AccurateRip", &V::accurateRip),
    TextEntry("AccurateRipServer", &V::accurateRipServer),
    NumberEntry("SecureMode", &V::secureMode),
    NumberEntry("SecureRetries", &V::secureRetries),
    NumberEntry("BurstThenVerify", &V::burstThenVerify),
    NumberEntry("M4ABitRate", &V::m4aBitRate),
    NumberEntry("FlacLevel", &V::flacLevel),
    NumberEntry("FlacVerify", &V::flacVerify),
    NumberEntry("VorbisQuality", &V::vorbisQuality),
    NumberEntry("OpusBitRate", &V::opusBitRate),
    NumberEntry("ReplayGain", &V::replayGain),
    NumberEntry("ReplayGainFiles", &V::replayGainFiles),
    NumberEntry("CoverArt", &V::coverArt),
    TextEntry("CoverArtServer", &V::coverArtServer),
    NumberEntry("EncoderJobs", &V::encoderJobs),
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

}  // namespace

SettingText::SettingText(size_t bytes, std::string_view text) : bytes_(bytes), text_(CutUtf8(text, bytes - 1)) {}

SettingText& SettingText::operator=(std::string_view text) {
  text_ = CutUtf8(text, bytes_ - 1);
  return *this;
}

std::string DefaultCddbUser() { return LoginName(); }
std::string DefaultCddbHost() { return HostName(); }

const MakerSettingValues& MakerSettingDefaults() {
  static const MakerSettingValues defaults;
  return defaults;
}

std::span<const SettingEntry> SettingEntries() { return kEntries; }

int& NumberOf(MakerSettingValues& values, const SettingEntry& entry) { return values.*entry.number; }
int NumberOf(const MakerSettingValues& values, const SettingEntry& entry) { return values.*entry.number; }

SettingText& TextOf(MakerSettingValues& values, const SettingEntry& entry) {
  if (entry.programSlot >= 0) return values.externalPrograms[static_cast<size_t>(entry.programSlot)];
  return values.*entry.text;
}

const SettingText& TextOf(const MakerSettingValues& values, const SettingEntry& entry) {
  if (entry.programSlot >= 0) return values.externalPrograms[static_cast<size_t>(entry.programSlot)];
  return values.*entry.text;
}

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

void SettingsTable::ResetToDefaults() { static_cast<MakerSettingValues&>(*this) = MakerSettingDefaults(); }

Outcome SettingsTable::Load(const std::string& path, const PassThroughProbe& probe) {
  ResetToDefaults();
  // A file refused as no settings file is moved aside: the save at the end then writes a
  // new file without losing the old one.
  auto ini = IniFile::LoadSettings(path);
  Outcome status = Done{};
  if (ini) {
    const IniFile& file = ini.Value();
    for (const SettingEntry& entry : kEntries) {
      const auto stored = file.Get(kSettingsSection, entry.key);
      if (!stored) continue;
      if (entry.kind == kInt)
        NumberOf(*this, entry) = ProfileInt(*stored);
      else
        TextOf(*this, entry) = *stored;
    }
    for (const std::string& key : file.Keys(kReadOffsetsSection))
      if (const auto stored = file.Get(kReadOffsetsSection, key)) readOffsets[key] = ProfileInt(*stored);
  } else {
    status = Fail(ini.Error());
  }
  passThroughAvailable_ = probe ? probe() : false;
  ApplyAccessMethodCheck(passThroughAvailable_);
  return status;
}

Outcome SettingsTable::Save(const std::string& path) const {
  if (const std::string folder = ExtractFileDir(path); !folder.empty()) {
    if (auto made = CreateDirectories(folder); !made)
      return Fail(IniFailure(IniFault::Write, path, made.Error().errnum));
  }
  auto ini = IniFile::Load(path);
  if (!ini) return Fail(ini.Error());
  IniFile& file = ini.Value();
  for (const SettingEntry& entry : kEntries) {
    if (entry.kind == kInt)
      file.WriteInt(kSettingsSection, entry.key, NumberOf(*this, entry));
    else
      file.WriteString(kSettingsSection, entry.key, TextOf(*this, entry).str());
  }
  for (const auto& [key, offset] : readOffsets) file.WriteInt(kReadOffsetsSection, key, offset);
  if (auto saved = file.Save(); !saved) return Fail(saved.Error());
  return Done{};
}

int SettingsTable::ReadOffsetFor(const std::string& driveKey) const {
  const auto found = readOffsets.find(driveKey);
  return found == readOffsets.end() ? 0 : found->second;
}

std::string SettingsTable::DefaultPath() { return UserFolder() + kSettingsFileName; }

void SettingsTable::ApplyAccessMethodCheck(bool passThroughUsable) {
  // The OS CD interface is always present here, so the only forced case is the one
  // without pass-through.
  useWinNtRawRead = !passThroughUsable || useWinNtRawRead != 0 ? 1 : 0;
}

int SettingsTable::EncoderMode() const {
  const int mode = mpegMode;
  return mode >= kModeMpeg1 && mode <= kModeLast ? mode : kModeMpeg1;
}

int SettingsTable::EncoderLanes(int processors) const {
  if (encoderJobs >= 1 && encoderJobs <= kMaxEncoderJobs) return encoderJobs;
  return std::clamp(processors, 1, kMaxEncoderJobs);
}

int SettingsTable::FlacLevelValue() const { return flacLevel >= 0 && flacLevel <= 8 ? flacLevel : 5; }
int SettingsTable::VorbisQualityValue() const {
  return vorbisQuality >= -1 && vorbisQuality <= 10 ? vorbisQuality : 5;
}
int SettingsTable::OpusBitRateKbps() const { return opusBitRate >= 6 && opusBitRate <= 512 ? opusBitRate : 160; }

namespace {

// The rate at `index`, or at the default index when the index is outside the table.
template <size_t N>
int RateAt(const int (&table)[N], int index, int defaultIndex) {
  return index >= 0 && static_cast<size_t>(index) < N ? table[index] : table[defaultIndex];
}

}  // namespace

int SettingsTable::Mpeg1BitRateKbps() const {
  return RateAt(kMpeg1BitRates, mpeg1BitRate, MakerSettingDefaults().mpeg1BitRate);
}
int SettingsTable::Mpeg2BitRateKbps() const {
  return RateAt(kMpeg2BitRates, mpeg2BitRate, MakerSettingDefaults().mpeg2BitRate);
}
int SettingsTable::AacBitRateKbps() const {
  return RateAt(kAacBitRates, aacBitRate, MakerSettingDefaults().aacBitRate);
}

int SettingsTable::M4aBitRateKbps() const {
  return RateAt(kAacBitRates, m4aBitRate, MakerSettingDefaults().m4aBitRate);
}

int SettingsTable::SelectedBitRateKbps() const {
  switch (EncoderMode()) {
    case kModeAac: return AacBitRateKbps();
    case kModeMpeg2: return Mpeg2BitRateKbps();
    case kModeM4a: return M4aBitRateKbps();
    case kModeOpus: return OpusBitRateKbps();
    case kModeFlac:
    case kModeVorbis: return 0;
    default: return Mpeg1BitRateKbps();
  }
}

int SettingsTable::ExternalProgramIndex() const {
  const int slot = extPgm;
  return slot >= 0 && slot < kExternalProgramSlots ? slot : 0;
}

const std::string& SettingsTable::ExternalProgram(int slot) const {
  if (slot < 0 || slot >= kExternalProgramSlots) slot = 0;
  return externalPrograms[static_cast<size_t>(slot)].str();
}

SettingsTable& MakerSettings() {
  static SettingsTable settings;
  return settings;
}

// Tests of the maker's settings table: defaults, loading, saving and the typed accessors.
#include "maker/settings/settings_table.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <tuple>

#include "common/ini_file.h"
#include "tests/common/temp_dir.h"

namespace {

const PassThroughProbe kPassThrough = [] { return true; };
const PassThroughProbe kNoPassThrough = [] { return false; };

}  // namespace

// Catches a missing, misspelt or reordered key, or a wrong default, in the table; and
// CDDB greetings sent with an empty or invented user and host.
TEST(SettingsTable, TableHoldsEveryKeyInFileOrderWithDefaults) {
  const auto entries = SettingEntries();
  ASSERT_EQ(entries.size(), 79u);
  const std::pair<size_t, const char*> keys[] = {{0, "Version"},            {12, "UseWinNTRawRead"},
                                                 {24, "AACUseADTS"},
                                                 {33, "ExternalProgram0"},  {42, "ExternalProgram9"},
                                                 {43, "Normalize"},         {57, "FileNamePattern"},
                                                 {58, "CDDBUser"},          {59, "CDDBHost"},
                                                 {60, "DiscImages"},        {61, "UseMusicBrainz"},
                                                 {62, "MusicBrainzServer"}, {63, "MusicBrainzContact"},
                                                 {64, "AccurateRip"},       {65, "AccurateRipServer"},
                                                 {66, "SecureMode"},        {67, "SecureRetries"},
                                                 {68, "BurstThenVerify"},   {69, "M4ABitRate"},
                                                 {70, "FlacLevel"},         {71, "FlacVerify"},
                                                 {72, "VorbisQuality"},     {73, "OpusBitRate"},
                                                 {74, "ReplayGain"},        {75, "ReplayGainFiles"},
                                                 {76, "CoverArt"},          {77, "CoverArtServer"},
                                                 {78, "EncoderJobs"}};
  for (const auto& [index, key] : keys) EXPECT_STREQ(entries[index].key, key);

  const SettingsTable s;
  const std::pair<const char*, int> ints[] = {
      {"Version", 0},        {"CD2MP3DelTempOnSuccess", 1}, {"CD2MP3DelTempOnError", 1}, {"ReadSector", 4},
      {"JitterCorrection", 1}, {"OverlapPercent", 2},       {"MaxSyncNoMatchRetry", 3}, {"MaxSyncMisalignRetry", 0},
      {"Channels", 1},       {"MPEGMode", 1},               {"MPEG1BitRate", 8},        {"MPEG2BitRate", 8},
      {"AACBitRate", 4},     {"ExtPgm", 0},                 {"FastMode", 1},            {"UseMMX", 1},
      {"UseLTP", 1},         {"UseTNS", 0},                 {"UsePNS", 0},              {"CDSpeed", 0},
      {"Normalize", 0},      {"NormalizePercent", 100},     {"NormalizeMin", 95},       {"NormalizeMax", 100},
      {"OptApplyID3", 0},    {"UseHttpProxy", 0},           {"UseSocksProxy", 0},       {"UseFileNameFormat", 0},
      {"AACUseADTS", 1},     {"M4ABitRate", 4},             {"FlacLevel", 5},           {"FlacVerify", 1},
      {"VorbisQuality", 5},  {"OpusBitRate", 160},          {"ReplayGain", 1},          {"ReplayGainFiles", 0},
      {"CoverArt", 1},      {"EncoderJobs", 0}};
  for (const auto& [key, value] : ints) {
    const auto entry = std::find_if(entries.begin(), entries.end(), [key](const SettingEntry& e) { return e.key == std::string_view(key); });
    ASSERT_NE(entry, entries.end()) << key;
    EXPECT_EQ(NumberOf(s, *entry), value) << key;
  }
  EXPECT_EQ(s.Mpeg1BitRateKbps(), 128);
  EXPECT_EQ(s.Mpeg2BitRateKbps(), 80);
  EXPECT_EQ(s.AacBitRateKbps(), 128);
  EXPECT_EQ(s.cddbServer.str(), "http://gnudb.gnudb.org:80");
  EXPECT_EQ(s.musicBrainzServer.str(), "https://musicbrainz.org");
  EXPECT_EQ(s.coverArtServer.str(), "https://coverartarchive.org");
  EXPECT_EQ(s.M4aBitRateKbps(), 128);
  EXPECT_EQ(s.useMusicBrainz, 0);
  EXPECT_EQ(s.fileNamePattern.str(), "($artist$) [$title$] [$track#$] $trackname$");
  EXPECT_EQ(s.externalPrograms[0].str(), "lame \"$full$\" \"$path$$name$.mp3\"");
  EXPECT_EQ(s.externalPrograms[1].str(), "ffmpeg -i \"$full$\" \"$drive$$dir$$name$.ogg\"");
  EXPECT_EQ(s.externalPrograms[2].str(), "");
  EXPECT_NE(s.httpProxy.str().find(":8080"), std::string::npos);
  EXPECT_NE(s.socksProxy.str().find(":1080"), std::string::npos);
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  EXPECT_EQ(s.cddbHost.str(), host);
  EXPECT_EQ(s.cddbUser.str(), getpwuid(getuid())->pw_name);
}

// Catches long stored texts being cut at 61 characters (a long command or path would be
// corrupted), texts longer than their field overrunning it or splitting a character, and
// keys or integers not read as the C library and the INI rules do (any case, "12x" is 12).
TEST(SettingsTable, LongTextsReadBackWholeUpToTheirField) {
  TempDir dir;
  const std::string path = dir.File("zbmaker.INI");
  const std::string command = "encoder --preset extreme --with-a-long-option-list \"$full$\" \"$path$$name$.mp3\" -x";
  const std::string longPath = "/" + std::string(253, 'p') + "\xC3\xA9";  // é straddles byte 255
  WriteText(path, "[options]\nExternalProgram0=" + command + "\nExternalProgram3=" + std::string(1000, 'c') +
                      "\nOutputPath=" + longPath + "\nchannels=2\nReadSector=abc\nCDSpeed=12x\n");
  SettingsTable s;
  ASSERT_TRUE(s.Load(path, kPassThrough));
  EXPECT_EQ(s.externalPrograms[0].str(), command);
  EXPECT_EQ(s.externalPrograms[3].str(), std::string(779, 'c'));
  EXPECT_EQ(s.outputPath.str(), "/" + std::string(253, 'p'));
  EXPECT_EQ(s.channels, 2);
  EXPECT_EQ(s.readSector, 0);
  EXPECT_EQ(s.cdSpeed, 12);
}

// Catches an encoder count that is not automatic at 0 or out of range, one that ignores
// the stored count, and an automatic count of 0 or above the most lanes.
TEST(SettingsTable, EncoderLanesAreTheStoredCountOrOnePerProcessor) {
  SettingsTable s;
  const std::tuple<int, int, int> cases[] = {// stored, processors, lanes
                                             {0, 2, 2},   {0, 0, 1},   {0, 40, 16}, {-3, 4, 4},
                                             {17, 4, 4},  {1, 8, 1},   {16, 2, 16}, {3, 1, 3}};
  for (const auto& [stored, processors, lanes] : cases) {
    s.encoderJobs = stored;
    EXPECT_EQ(s.EncoderLanes(processors), lanes) << stored << " with " << processors << " processors";
  }
}

// Catches an out-of-table rate index reading past its table, an unknown mode not taken as
// MPEG-1, and an ExtPgm outside 0..9 selecting no slot.
TEST(SettingsTable, OutOfRangeIndexesFallBack) {
  SettingsTable s;
  for (int index : {-1, 24, 1000}) {
    s.mpeg1BitRate = index;
    s.mpeg2BitRate = index;
    s.aacBitRate = index;
    EXPECT_EQ(s.Mpeg1BitRateKbps(), 128) << index;
    EXPECT_EQ(s.Mpeg2BitRateKbps(), 80) << index;
    EXPECT_EQ(s.AacBitRateKbps(), 128) << index;
  }
  s.aacBitRate = 9;
  EXPECT_EQ(s.AacBitRateKbps(), 128);
  s.aacBitRate = 8;
  s.mpeg1BitRate = 23;
  s.mpeg2BitRate = 0;
  const std::pair<int, int> modeRates[] = {{99, 1001}, {0, 1001}, {2, 8}, {3, 256}};  // 99 and 0 are taken as MPEG-1
  for (const auto& [mode, kbps] : modeRates) {
    s.mpegMode = mode;
    EXPECT_EQ(s.SelectedBitRateKbps(), kbps) << mode;
  }
  s.mpegMode = 4;
  EXPECT_EQ(s.EncoderMode(), kModeExternal);

  // The new formats' values: each bound from both sides.
  for (const auto& [level, expected] : {std::pair{-1, 5}, {0, 0}, {8, 8}, {9, 5}}) {
    s.flacLevel = level;
    EXPECT_EQ(s.FlacLevelValue(), expected) << level;
  }
  for (const auto& [quality, expected] : {std::pair{-2, 5}, {-1, -1}, {10, 10}, {11, 5}}) {
    s.vorbisQuality = quality;
    EXPECT_EQ(s.VorbisQualityValue(), expected) << quality;
  }
  for (const auto& [kbps, expected] : {std::pair{5, 160}, {6, 6}, {512, 512}, {513, 160}}) {
    s.opusBitRate = kbps;
    EXPECT_EQ(s.OpusBitRateKbps(), expected) << kbps;
  }
  for (const auto& [index, expected] : {std::pair{-1, 128}, {0, 64}, {8, 256}, {9, 128}}) {
    s.m4aBitRate = index;
    EXPECT_EQ(s.M4aBitRateKbps(), expected) << index;
  }

  s.externalPrograms[0] = "zero";
  s.externalPrograms[9] = "nine";
  for (int index : {12, -1}) {
    s.extPgm = index;
    EXPECT_EQ(s.ExternalProgramIndex(), 0);
    EXPECT_EQ(s.SelectedExternalProgram(), "zero");
  }
  s.extPgm = 9;
  EXPECT_EQ(s.SelectedExternalProgram(), "nine");
  EXPECT_EQ(s.ExternalProgram(10), "zero");
}

// Catches the access-method check ignoring the probe, or the real probe not finding
// libcdio: without pass-through the OS interface is forced whatever is stored; with it the
// stored choice stands if valid.
TEST(SettingsTable, AccessMethodCheckFollowsThePassThroughProbe) {
  TempDir dir;
  const std::string path = dir.File("zbmaker.INI");
  SettingsTable s;
  const struct {
    const char* stored;
    bool passThrough;
    int used;
  } cases[] = {{"0", false, 1}, {"0", true, 0}, {"5", true, 1}};
  for (const auto& c : cases) {
    WriteText(path, std::string("[Options]\nUseWinNTRawRead=") + c.stored + "\n");
    ASSERT_TRUE(s.Load(path, c.passThrough ? kPassThrough : kNoPassThrough));
    EXPECT_EQ(s.useWinNtRawRead, c.used) << c.stored << c.passThrough;
    EXPECT_EQ(s.PassThroughAvailable(), c.passThrough);
  }
  // The build requires libcdio, so the real probe must find it with both entries; a wrong
  // library or entry name would turn pass-through off on every machine.
  EXPECT_TRUE(ScsiPassThroughUsable());
}

// Catches a save that loses other sections or comments, writes keys out of order, or does
// not round-trip every value (long texts included).
TEST(SettingsTable, SaveRoundTripsAndKeepsTheRestOfTheFile) {
  TempDir dir;
  const std::string path = dir.File("sub/folder/zbmaker.INI");
  SettingsTable s;
  s.mpegMode = 3;
  s.outputPath = "/home/u/My Music/";
  s.externalPrograms[5] = std::string(700, 'e');
  s.fileNamePattern = "  $track#$ - $trackname$";
  ASSERT_TRUE(s.Save(path));  // creates the missing folders

  SettingsTable loaded;
  ASSERT_TRUE(loaded.Load(path, kPassThrough));
  for (const SettingEntry& e : SettingEntries()) {
    if (e.kind == SettingKind::Int)
      EXPECT_EQ(NumberOf(loaded, e), NumberOf(s, e)) << e.key;
    else
      EXPECT_EQ(TextOf(loaded, e), TextOf(s, e)) << e.key;
  }
  const std::string text = ReadText(path);
  EXPECT_LT(text.find("Version="), text.find("CD2MP3DelTempOnSuccess="));
  EXPECT_LT(text.find("ExternalProgram9="), text.find("Normalize="));
  EXPECT_LT(text.find("FileNamePattern="), text.find("CDDBUser="));

  WriteText(path, "; my notes\n[Window]\nLeft=10\n" + text);
  s.channels = 0;
  ASSERT_TRUE(s.Save(path));
  const IniFile after = IniFile::Load(path).Value();
  EXPECT_EQ(after.ReadInt("Window", "Left", 0), 10);
  EXPECT_EQ(after.ReadInt("Options", "Channels", 1), 0);
  EXPECT_EQ(ReadText(path).rfind("; my notes", 0), 0u);
}

// Catches a zbmaker.INI that is no settings file (1 MB of newlines: 237 MB and 11 s at every
// start) read whole, and its loss to the save at the end, which writes the defaults: it
// is refused with the reason, the defaults apply, and it is kept aside byte for byte
// while the save writes a new file. One that comes back before the save is not written over.
TEST(SettingsTable, RefusedFileIsKeptAsideAndNotWrittenOver) {
  TempDir dir;
  const std::string path = dir.File("zbmaker.INI");
  const std::string junk = "[Options]\nMPEGMode=3\n" + std::string(1000000, '\n');
  WriteText(path, junk);
  SettingsTable s;
  s.mpegMode = 2;
  auto loaded = s.Load(path, kPassThrough);
  ASSERT_FALSE(loaded);
  EXPECT_EQ(loaded.Error().Message(), "Not a settings file: " + path + ": it has more than " +
                                          std::to_string(kMaxIniLines) + " lines; it was renamed to " + path +
                                          ".refused");
  EXPECT_EQ(s.mpegMode, 1);
  s.channels = 0;
  ASSERT_TRUE(s.Save(path));
  EXPECT_EQ(IniFile::Load(path).Value().ReadInt("Options", "Channels", 1), 0);
  EXPECT_EQ(ReadText(path + ".refused"), junk);

  WriteText(path, junk);
  auto saved = s.Save(path);
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.Error().Message(), "Not a settings file: " + path + ": it has more than " +
                                         std::to_string(kMaxIniLines) + " lines");
  EXPECT_EQ(ReadText(path), junk);
}

// Catches save and load failures reported as success, a missing file treated as an error,
// a failed or missing load that leaves stale values instead of the defaults, and the
// settings file landing outside the per-user folder.
TEST(SettingsTable, FailuresAreReportedAndLoadsStartFromDefaults) {
  TempDir dir;
  WriteText(dir.File("blocker"), "x");
  SettingsTable s;
  auto saved = s.Save(dir.File("blocker/zbmaker.INI"));
  ASSERT_FALSE(saved);
  EXPECT_FALSE(saved.Error().Message().empty());
  for (const bool missing : {true, false}) {
    s.mpegMode = 3;
    s.outputPath = "/stale";
    // A missing file loads as the defaults; a folder cannot be read at all.
    EXPECT_EQ(static_cast<bool>(s.Load(missing ? dir.File("zbmaker.INI") : dir.Path(), kPassThrough)), missing);
    EXPECT_EQ(s.mpegMode, 1);
    EXPECT_EQ(s.outputPath.str(), "");
  }
  ScopedEnv home("ZIMBAR_HOME", "/tmp/zb-user");
  EXPECT_EQ(SettingsTable::DefaultPath(), "/tmp/zb-user/zbmaker.INI");
}

// Tests of the maker's settings table: defaults, loading, saving and the typed accessors.
#include "maker/settings/settings_table.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "common/ini_file.h"
#include "tests/common/temp_dir.h"

namespace {

const PassThroughProbe kPassThrough = [] { return true; };
const PassThroughProbe kNoPassThrough = [] { return false; };

std::string Ini(const std::string& body) { return "[Options]\n" + body; }

}  // namespace

// Catches a missing, misspelt or reordered key, or a wrong default, in the table.
TEST(SettingsTable, TableHoldsEveryKeyInFileOrderWithDefaults) {
  const auto entries = SettingEntries();
  ASSERT_EQ(entries.size(), 60u);
  EXPECT_STREQ(entries[0].key, "Version");
  EXPECT_STREQ(entries[12].key, "UseWinNTRawRead");
  EXPECT_STREQ(entries[32].key, "ExternalProgram0");
  EXPECT_STREQ(entries[41].key, "ExternalProgram9");
  EXPECT_STREQ(entries[42].key, "Normalize");
  EXPECT_STREQ(entries[56].key, "FileNamePattern");
  EXPECT_STREQ(entries[57].key, "CDDBUser");
  EXPECT_STREQ(entries[58].key, "CDDBHost");
  EXPECT_STREQ(entries[59].key, "DiscImages");

  const SettingsTable s;
  const std::pair<const char*, int> ints[] = {
      {"Version", 0},        {"CD2MP3DelTempOnSuccess", 1}, {"CD2MP3DelTempOnError", 0}, {"ReadSector", 4},
      {"JitterCorrection", 1}, {"OverlapPercent", 2},       {"MaxSyncNoMatchRetry", 3}, {"MaxSyncMisalignRetry", 0},
      {"Channels", 1},       {"MPEGMode", 1},               {"MPEG1BitRate", 8},        {"MPEG2BitRate", 8},
      {"AACBitRate", 4},     {"ExtPgm", 0},                 {"FastMode", 1},            {"UseMMX", 1},
      {"UseLTP", 1},         {"UseTNS", 0},                 {"UsePNS", 0},              {"CDSpeed", 0},
      {"Normalize", 0},      {"NormalizePercent", 100},     {"NormalizeMin", 95},       {"NormalizeMax", 100},
      {"OptApplyID3", 0},    {"UseHttpProxy", 0},           {"UseSocksProxy", 0},       {"UseFileNameFormat", 0}};
  for (const auto& [key, value] : ints) EXPECT_EQ(s.Int(key), value) << key;
  EXPECT_TRUE(s.Flag("JitterCorrection"));
  EXPECT_EQ(s.Text("CDDBServer"), "http://gnudb.gnudb.org:80");
  EXPECT_EQ(s.Text("FileNamePattern"), "($artist$) [$title$] [$track#$] $trackname$");
  EXPECT_EQ(s.Text("OutputPath"), "");
  EXPECT_EQ(s.Text("ExternalProgram0"), "lame \"$full$\" \"$path$$name$.mp3\"");
  EXPECT_EQ(s.Text("ExternalProgram1"), "ffmpeg -i \"$full$\" \"$drive$$dir$$name$.ogg\"");
  EXPECT_EQ(s.Text("ExternalProgram2"), "");
  EXPECT_NE(s.Text("HttpProxy").find(":8080"), std::string::npos);
  EXPECT_NE(s.Text("SocksProxy").find(":1080"), std::string::npos);
  EXPECT_EQ(s.Mpeg1BitRateKbps(), 128);
  EXPECT_EQ(s.Mpeg2BitRateKbps(), 80);
  EXPECT_EQ(s.AacBitRateKbps(), 128);
}

// Catches CDDB greetings sent with an empty or invented user and host.
TEST(SettingsTable, CddbUserAndHostDefaultToThisMachine) {
  const SettingsTable s;
  const passwd* me = getpwuid(getuid());
  ASSERT_NE(me, nullptr);
  EXPECT_EQ(s.Text("CDDBUser"), me->pw_name);
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  EXPECT_EQ(s.Text("CDDBHost"), host);
}

// Catches a missing file treated as an error or leaving stale values from before.
TEST(SettingsTable, MissingFileGivesDefaults) {
  TempDir dir;
  SettingsTable s;
  s.SetInt("MPEGMode", 3);
  s.SetText("OutputPath", "/stale");
  ASSERT_TRUE(s.Load(dir.File("zbmaker.INI"), kPassThrough));
  EXPECT_EQ(s.Int("MPEGMode"), 1);
  EXPECT_EQ(s.Text("OutputPath"), "");
}

// Catches long stored texts being cut at 61 characters (a long command or path would be
// corrupted) and texts longer than their field overrunning it or splitting a character.
TEST(SettingsTable, LongTextsReadBackWholeUpToTheirField) {
  TempDir dir;
  const std::string path = dir.File("zbmaker.INI");
  const std::string command100 = "encoder --preset extreme --with-a-long-option-list \"$full$\" \"$path$$name$.mp3\" -x";
  const std::string tooLong(1000, 'c');
  const std::string longPath = "/" + std::string(253, 'p') + "\xC3\xA9";  // é straddles byte 255
  WriteText(path, Ini("ExternalProgram0=" + command100 + "\nExternalProgram3=" + tooLong + "\nOutputPath=" + longPath +
                      "\nCDDBServer=http://a-rather-long-cddb-server-name.example.org:8880/cgi-bin/cddb.cgi\n"));
  SettingsTable s;
  ASSERT_TRUE(s.Load(path, kPassThrough));
  EXPECT_EQ(s.Text("ExternalProgram0"), command100);
  EXPECT_EQ(s.Text("ExternalProgram3"), std::string(779, 'c'));
  EXPECT_EQ(s.Text("OutputPath"), "/" + std::string(253, 'p'));
  EXPECT_EQ(s.Text("CDDBServer"), "http://a-rather-long-cddb-server-name.example.org:8880/cgi-bin/cddb.cgi");
}

// Catches integers not converted as the C library does, and keys matched by case.
TEST(SettingsTable, IntegersConvertLikeTheCLibrary) {
  TempDir dir;
  const std::string path = dir.File("zbmaker.INI");
  WriteText(path, "[options]\nchannels=2\nReadSector=abc\nCDSpeed=12x\nVersion=66369\n");
  SettingsTable s;
  ASSERT_TRUE(s.Load(path, kPassThrough));
  EXPECT_EQ(s.Int("Channels"), 2);
  EXPECT_EQ(s.Int("ReadSector"), 0);
  EXPECT_EQ(s.Int("CDSpeed"), 12);
  EXPECT_EQ(s.Int("Version"), 66369);
}

// Catches an out-of-table rate index reading past its table, an unknown mode not taken as
// MPEG-1, and an ExtPgm outside 0..9 selecting no slot.
TEST(SettingsTable, OutOfRangeIndexesFallBack) {
  SettingsTable s;
  for (int index : {-1, 24, 1000}) {
    s.SetInt("MPEG1BitRate", index);
    s.SetInt("MPEG2BitRate", index);
    s.SetInt("AACBitRate", index);
    EXPECT_EQ(s.Mpeg1BitRateKbps(), 128) << index;
    EXPECT_EQ(s.Mpeg2BitRateKbps(), 80) << index;
    EXPECT_EQ(s.AacBitRateKbps(), 128) << index;
  }
  s.SetInt("AACBitRate", 9);
  EXPECT_EQ(s.AacBitRateKbps(), 128);
  s.SetInt("AACBitRate", 8);
  EXPECT_EQ(s.AacBitRateKbps(), 256);
  s.SetInt("MPEG1BitRate", 23);
  EXPECT_EQ(s.Mpeg1BitRateKbps(), 1001);
  s.SetInt("MPEG2BitRate", 0);
  EXPECT_EQ(s.Mpeg2BitRateKbps(), 8);

  s.SetInt("MPEGMode", 7);
  EXPECT_EQ(s.EncoderMode(), kModeMpeg1);
  EXPECT_EQ(s.SelectedBitRateKbps(), 1001);
  s.SetInt("MPEGMode", 2);
  EXPECT_EQ(s.SelectedBitRateKbps(), 8);
  s.SetInt("MPEGMode", 3);
  EXPECT_EQ(s.SelectedBitRateKbps(), 256);
  s.SetInt("MPEGMode", 4);
  EXPECT_EQ(s.EncoderMode(), kModeExternal);

  s.SetText("ExternalProgram0", "zero");
  s.SetText("ExternalProgram9", "nine");
  s.SetInt("ExtPgm", 12);
  EXPECT_EQ(s.ExternalProgramIndex(), 0);
  EXPECT_EQ(s.SelectedExternalProgram(), "zero");
  s.SetInt("ExtPgm", -1);
  EXPECT_EQ(s.SelectedExternalProgram(), "zero");
  s.SetInt("ExtPgm", 9);
  EXPECT_EQ(s.SelectedExternalProgram(), "nine");
  EXPECT_EQ(s.ExternalProgram(10), "zero");
}

// Catches the access-method check ignoring the probe: without pass-through the OS
// interface is forced whatever is stored; with it the stored choice stands.
TEST(SettingsTable, AccessMethodCheckFollowsThePassThroughProbe) {
  TempDir dir;
  const std::string path = dir.File("zbmaker.INI");
  SettingsTable s;
  WriteText(path, Ini("UseWinNTRawRead=0\n"));
  ASSERT_TRUE(s.Load(path, kNoPassThrough));
  EXPECT_EQ(s.Int("UseWinNTRawRead"), 1);
  EXPECT_FALSE(s.PassThroughAvailable());
  ASSERT_TRUE(s.Load(path, kPassThrough));
  EXPECT_EQ(s.Int("UseWinNTRawRead"), 0);
  EXPECT_TRUE(s.PassThroughAvailable());
  WriteText(path, Ini("UseWinNTRawRead=5\n"));
  ASSERT_TRUE(s.Load(path, kPassThrough));
  EXPECT_EQ(s.Int("UseWinNTRawRead"), 1);
  // The real probe answers without crashing whatever the machine has.
  (void)ScsiPassThroughUsable();
}

// Catches a save that loses other sections or comments, writes keys out of order, or does
// not round-trip every value (long texts included).
TEST(SettingsTable, SaveRoundTripsAndKeepsTheRestOfTheFile) {
  TempDir dir;
  const std::string path = dir.File("sub/folder/zbmaker.INI");
  SettingsTable s;
  s.SetInt("MPEGMode", 3);
  s.SetFlag("Normalize", true);
  s.SetText("OutputPath", "/home/u/My Music/");
  s.SetText("ExternalProgram5", std::string(700, 'e'));
  s.SetText("FileNamePattern", "  $track#$ - $trackname$");
  ASSERT_TRUE(s.Save(path));  // creates the missing folders

  SettingsTable loaded;
  ASSERT_TRUE(loaded.Load(path, kPassThrough));
  for (const SettingEntry& e : SettingEntries()) {
    if (e.kind == SettingKind::Int)
      EXPECT_EQ(loaded.Int(e.key), s.Int(e.key)) << e.key;
    else
      EXPECT_EQ(loaded.Text(e.key), s.Text(e.key)) << e.key;
  }
  const std::string text = ReadText(path);
  EXPECT_LT(text.find("Version="), text.find("CD2MP3DelTempOnSuccess="));
  EXPECT_LT(text.find("ExternalProgram9="), text.find("Normalize="));
  EXPECT_LT(text.find("FileNamePattern="), text.find("CDDBUser="));

  WriteText(path, "; my notes\n[Window]\nLeft=10\n" + text);
  s.SetInt("Channels", 0);
  ASSERT_TRUE(s.Save(path));
  const IniFile after = IniFile::Load(path).Value();
  EXPECT_EQ(after.ReadInt("Window", "Left", 0), 10);
  EXPECT_EQ(after.ReadInt("Options", "Channels", 1), 0);
  EXPECT_EQ(ReadText(path).rfind("; my notes", 0), 0u);
}

// Catches save and load failures reported as success, and a failed load that leaves
// garbage instead of the defaults.
TEST(SettingsTable, FailuresAreReported) {
  TempDir dir;
  WriteText(dir.File("blocker"), "x");
  SettingsTable s;
  auto saved = s.Save(dir.File("blocker/zbmaker.INI"));
  ASSERT_FALSE(saved);
  EXPECT_FALSE(saved.Error().Message().empty());

  s.SetInt("MPEGMode", 3);
  auto loaded = s.Load(dir.Path(), kPassThrough);  // a folder, not a file
  ASSERT_FALSE(loaded);
  EXPECT_EQ(s.Int("MPEGMode"), 1);
}

// Catches the settings file landing outside the per-user folder.
TEST(SettingsTable, DefaultPathIsInTheUserFolder) {
  setenv("ZIMBAR_HOME", "/tmp/zb-user", 1);
  EXPECT_EQ(SettingsTable::DefaultPath(), "/tmp/zb-user/zbmaker.INI");
  unsetenv("ZIMBAR_HOME");
  EXPECT_EQ(&MakerSettings(), &MakerSettings());
}

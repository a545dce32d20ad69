// The maker's command line on its own: switches, rate tables and file arguments.
#include "maker/jobs/command_line.h"

#include <gtest/gtest.h>

// Catches rates that are in no table changing a setting, or being taken for files.
TEST(CommandLine, RatesOutsideTheTablesChangeNothing) {
  SettingsTable settings;
  const CommandLineFiles parsed = ParseCommandLine({"-100", "-1010", "-32"}, settings);
  EXPECT_TRUE(parsed.missing.empty());
  EXPECT_EQ(settings.Int("MPEG1BitRate"), 0);   // 32 is MPEG-1 index 0
  EXPECT_EQ(settings.Int("MPEG2BitRate"), 3);   // and MPEG-2 index 3
  const CommandLineFiles more = ParseCommandLine({"-8", "-320"}, settings);
  EXPECT_EQ(settings.Int("MPEG1BitRate"), 13);
  EXPECT_EQ(settings.Int("MPEG2BitRate"), 0);
  EXPECT_TRUE(more.missing.empty());
}

// Catches VBR levels outside 1..10 being accepted, and option words matched by case.
TEST(CommandLine, VbrLevelsAndCase) {
  SettingsTable settings;
  ParseCommandLine({"-VBR1"}, settings);
  EXPECT_EQ(settings.Int("MPEG1BitRate"), 14);
  ParseCommandLine({"-vbr10", "-STEREO"}, settings);
  EXPECT_EQ(settings.Int("MPEG1BitRate"), 23);
  EXPECT_EQ(settings.Int("Channels"), 1);
  const CommandLineFiles parsed = ParseCommandLine({"-vbr0", "-vbr11", "-vbr"}, settings);
  EXPECT_EQ(settings.Int("MPEG1BitRate"), 23);
  EXPECT_EQ(parsed.missing.size(), 3u);
}

// Catches a folder or a missing file being put on the file list.
TEST(CommandLine, OnlyExistingFilesAreKept) {
  SettingsTable settings;
  const CommandLineFiles parsed = ParseCommandLine({"/tmp", "/no/such/file.wav"}, settings);
  EXPECT_TRUE(parsed.files.empty());
  EXPECT_EQ(parsed.missing, (std::vector<std::string>{"/tmp", "/no/such/file.wav"}));
}

// Catches relative paths kept relative, or "." and ".." left in the listed path.
TEST(CommandLine, FullPathResolvesAgainstTheCurrentFolder) {
  EXPECT_EQ(FullPath("/a/./b/../c.wav"), "/a/c.wav");
  EXPECT_EQ(FullPath("/../x"), "/x");
  const std::string relative = FullPath("x/y.wav");
  EXPECT_EQ(relative.front(), '/');
  EXPECT_TRUE(relative.ends_with("/x/y.wav"));
}

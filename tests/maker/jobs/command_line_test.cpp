// The maker's command line on its own: switches, rate tables and file arguments.
#include "maker/jobs/command_line.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

// Catches rates in no table changing a setting or taken for files, VBR levels outside
// 1..10 being accepted, and option words matched by case.
TEST(CommandLine, RateAndVbrSwitches) {
  SettingsTable settings;
  EXPECT_TRUE(ParseCommandLine({"-100", "-1010", "-32"}, settings).missing.empty());
  EXPECT_EQ(settings.mpeg1BitRate, 0);  // 32 is MPEG-1 index 0
  EXPECT_EQ(settings.mpeg2BitRate, 3);  // and MPEG-2 index 3
  ParseCommandLine({"-8", "-320"}, settings);
  EXPECT_EQ(settings.mpeg1BitRate, 13);
  EXPECT_EQ(settings.mpeg2BitRate, 0);
  ParseCommandLine({"-VBR1"}, settings);
  EXPECT_EQ(settings.mpeg1BitRate, 14);
  ParseCommandLine({"-vbr10", "-STEREO"}, settings);
  EXPECT_EQ(settings.mpeg1BitRate, 23);
  EXPECT_EQ(settings.channels, 1);
  EXPECT_EQ(ParseCommandLine({"-vbr0", "-vbr11", "-vbr"}, settings).missing.size(), 3u);
  EXPECT_EQ(settings.mpeg1BitRate, 23);
}

// Catches a folder or a missing file put on the list, relative paths kept relative, or
// "." and ".." left in the listed path.
TEST(CommandLine, OnlyExistingFilesAreKeptWithFullPaths) {
  SettingsTable settings;
  const CommandLineFiles parsed = ParseCommandLine({"/tmp", "/no/such/file.wav"}, settings);
  EXPECT_TRUE(parsed.files.empty());
  EXPECT_EQ(parsed.missing, (std::vector<std::string>{"/tmp", "/no/such/file.wav"}));
  EXPECT_EQ(FullPath("/a/./b/../c.wav"), "/a/c.wav");
  EXPECT_EQ(FullPath("/../x"), "/x");
  EXPECT_TRUE(FullPath("x/y.wav").ends_with("/x/y.wav"));
  EXPECT_EQ(FullPath("x/y.wav").front(), '/');
}

// Catches a relative name resolved against "/" when the current folder is gone (it would
// list, encode and maybe delete a file of the root folder).
TEST(CommandLine, RelativeNameWithoutCurrentFolderStaysRelative) {
  const std::filesystem::path old = std::filesystem::current_path();
  char pattern[] = "/tmp/zb_cwd_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  ASSERT_EQ(chdir(pattern), 0);
  ASSERT_EQ(rmdir(pattern), 0);
  const std::string full = FullPath("tmp");
  SettingsTable settings;
  const CommandLineFiles parsed = ParseCommandLine({"x.wav"}, settings);
  std::filesystem::current_path(old);
  EXPECT_EQ(full, "tmp");
  EXPECT_TRUE(parsed.files.empty());
}

// Tests of INI documents: private-profile lookups, edits that keep the rest, atomic saves.
#include "common/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tests/common/temp_dir.h"

namespace {

const char* const kSample =
    "; settings of the tool\n"
    "[Options]\n"
    "Alpha=1\n"
    "; a comment inside\n"
    "  Beta = two words  \n"
    "Quoted=\"  padded  \"\n"
    "\n"
    "[Other]\n"
    "Alpha=other\n"
    "Weird line without equals\n";

}  // namespace

// Catches case-sensitive matching, a lookup that leaks into the next section, and a
// duplicate key where the first one does not win.
TEST(IniFile, SectionsAndKeysMatchWithoutCase) {
  const IniFile ini = IniFile::FromText(kSample);
  EXPECT_EQ(ini.ReadString("options", "ALPHA", "x"), "1");
  EXPECT_EQ(ini.ReadString("OTHER", "alpha", "x"), "other");
  EXPECT_EQ(ini.ReadString("Options", "beta", "x"), "two words");
  EXPECT_EQ(ini.ReadString("Options", "Quoted", "x"), "  padded  ");
  EXPECT_EQ(ini.ReadString("Other", "Beta", "fallback"), "fallback");
  EXPECT_EQ(ini.ReadString("Missing", "Alpha", "fallback"), "fallback");
  EXPECT_EQ(ini.Keys("Options"), (std::vector<std::string>{"Alpha", "Beta", "Quoted"}));
  EXPECT_EQ(IniFile::FromText("[A]\nX=first\nX=second\n").ReadString("a", "x", ""), "first");
}

// Catches integer and flag reads that differ from the C conversion or ignore the fallback.
TEST(IniFile, IntegersAndFlagsFollowDecimalConversion) {
  const IniFile ini = IniFile::FromText("[S]\nA=42\nB=-7\nC=12abc\nD=abc\nF=99999999999\nG=yes\nH=0\n");
  const std::pair<const char*, int> ints[] = {{"A", 42}, {"B", -7}, {"C", 12}, {"D", 0}, {"F", 2147483647}, {"Missing", 5}};
  for (const auto& [key, value] : ints) EXPECT_EQ(ini.ReadInt("S", key, 5), value) << key;
  EXPECT_TRUE(ini.ReadFlag("S", "G", false));
  EXPECT_FALSE(ini.ReadFlag("S", "H", true));
  EXPECT_TRUE(ini.ReadFlag("S", "Missing", true));
}

// Catches an edit that rewrites or loses comments, other keys, other sections or odd lines,
// changes the line-ending style, or a delete that removes too much.
TEST(IniFile, WritingOneKeyKeepsEverythingElse) {
  IniFile ini = IniFile::FromText(kSample);
  ini.WriteString("OPTIONS", "alpha", "changed");
  std::string expected = kSample;
  expected.replace(expected.find("Alpha=1"), 7, "alpha=changed");
  EXPECT_EQ(ini.Text(), expected);
  // A new key goes at the end of its section, before the blank line; a new section at the end.
  ini.WriteInt("Options", "Gamma", 3);
  ini.WriteFlag("New", "Flag", true);
  expected.replace(expected.find("\n\n[Other]"), 1, "\nGamma=3\n");
  EXPECT_EQ(ini.Text(), expected + "\n[New]\nFlag=1\n");

  IniFile crlf = IniFile::FromText("[A]\r\nX=1\r\n[B]\r\nY=1\r\n");
  crlf.WriteInt("A", "Y", 2);
  EXPECT_TRUE(crlf.DeleteSection("b"));
  EXPECT_FALSE(crlf.DeleteKey("A", "Nope"));
  EXPECT_EQ(crlf.Text(), "[A]\r\nX=1\r\nY=2\r\n");
  EXPECT_EQ(IniFile::FromText("[A]\nX=1").Text(), "[A]\nX=1");
}

// Catches values that do not come back as written: blanks at the ends, quotes, line
// breaks that would split the line, and long values.
TEST(IniFile, AwkwardValuesRoundTrip) {
  IniFile ini;
  const std::string values[] = {"  lead", "trail  ", "\"quoted\"", "semi;colon", "a=b=c", std::string(3000, 'v'), ""};
  // Built by appending: GCC 12 warns falsely (-Wrestrict) about "K" + std::to_string(n).
  const auto key = [](size_t n) { return std::string("K").append(std::to_string(n)); };
  for (size_t n = 0; n < std::size(values); ++n) ini.WriteString("S", key(n), values[n]);
  ini.WriteString("S", "Broken", "line\nbreak");
  const IniFile again = IniFile::FromText(ini.Text());
  for (size_t n = 0; n < std::size(values); ++n) EXPECT_EQ(again.ReadString("S", key(n), "x"), values[n]);
  EXPECT_EQ(again.ReadString("S", "Broken", "x"), "line break");
  EXPECT_EQ(again.Keys("S").size(), 8u);
}

// Catches a missing file treated as an error, and a save that is not a full round trip.
TEST(IniFile, MissingFileReadsAsDefaultsAndSaveRoundTrips) {
  TempDir dir;
  const std::string path = dir.File("tool.ini");
  auto loaded = IniFile::Load(path);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded.Value().ReadInt("Options", "Version", 7), 7);
  loaded.Value().WriteString("Options", "Path", "/home/u/Music");
  ASSERT_TRUE(loaded.Value().Save());
  EXPECT_EQ(ReadText(path), "[Options]\nPath=/home/u/Music\n");

  WriteText(path, kSample);
  ASSERT_TRUE(WriteProfileString(path, "Other", "Alpha", "new"));
  EXPECT_EQ(ReadProfileString(path, "other", "alpha", ""), "new");
  EXPECT_EQ(ReadProfileInt(path, "Options", "Alpha", 0), 1);
  EXPECT_NE(ReadText(path).find("; a comment inside"), std::string::npos);
}

// Catches a save that damages the old file or leaves temporary files when it fails, a
// failure reported as success, and an unreadable file taken as empty (its settings would
// then be overwritten).
TEST(IniFile, FailedSaveKeepsOldFileAndReportsIt) {
  TempDir dir;
  const std::string path = dir.File("keep.ini");
  WriteText(path, kSample);
  IniFile ini = IniFile::FromText("[X]\nY=1\n");
  const std::string folder = dir.File("folder.ini");  // the rename onto a folder must fail
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  WriteText(folder + "/inside", "x");
  auto saved = ini.SaveAs(folder);
  ASSERT_FALSE(saved);
  EXPECT_NE(saved.Error().Message().find(folder), std::string::npos);
  auto nowhere = ini.SaveAs(dir.File("no/such/dir.ini"));  // no temporary file can be made
  ASSERT_FALSE(nowhere);
  EXPECT_EQ(nowhere.Error().errnum, ENOENT);
  EXPECT_EQ(ReadText(path), kSample);
  const auto entries = std::distance(std::filesystem::directory_iterator(dir.Path()), {});
  EXPECT_EQ(entries, 2) << "a temporary file was left behind";

  auto unreadable = IniFile::Load(folder);
  ASSERT_FALSE(unreadable);
  EXPECT_EQ(unreadable.Error().kind, IniError::Kind::Read);
  EXPECT_FALSE(WriteProfileString(folder, "A", "B", "C"));
}

// Catches a save that makes a private settings file readable by others, or replaces a
// symbolic link by a plain file (the real file would silently stop receiving the settings).
TEST(IniFile, SaveKeepsFileModeAndSymlink) {
  TempDir dir;
  const std::string real = dir.File("real.ini"), link = dir.File("link.ini");
  WriteText(real, "[A]\nX=1\n");
  ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
  ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
  auto ini = IniFile::Load(link);
  ASSERT_TRUE(ini);
  ini.Value().WriteInt("A", "X", 2);
  ASSERT_TRUE(ini.Value().Save());
  struct stat info{};
  ASSERT_EQ(::lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(::stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(ReadText(real), "[A]\nX=2\n");

  // A relative link whose target is not there yet (a fresh dotfiles folder): the save
  // creates the target and the link stays.
  ASSERT_EQ(::mkdir(dir.File("dotfiles").c_str(), 0755), 0);
  const std::string dangling = dir.File("dangling.ini");
  ASSERT_EQ(::symlink("dotfiles/zbmaker.INI", dangling.c_str()), 0);
  ASSERT_TRUE(WriteProfileString(dangling, "Options", "Version", "66369"));
  ASSERT_EQ(::lstat(dangling.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(ReadText(dir.File("dotfiles/zbmaker.INI")), "[Options]\nVersion=66369\n");
}

// Catches a UTF-8 byte order mark (added by some editors) hiding the first section: its
// keys would read as missing, and each save would append a second copy of the section.
TEST(IniFile, ByteOrderMarkIsSkippedAndKept) {
  IniFile ini = IniFile::FromText("\xEF\xBB\xBF[Options]\r\nOutputPath=/m\r\n");
  EXPECT_EQ(ini.ReadString("Options", "OutputPath", ""), "/m");
  ini.WriteString("Options", "OutputPath", "/n");
  EXPECT_EQ(ini.Text(), "\xEF\xBB\xBF[Options]\r\nOutputPath=/n\r\n");
  EXPECT_EQ(IniFile::FromText("[A]\nX=\xEF\xBB\xBF\n").Text(), "[A]\nX=\xEF\xBB\xBF\n");
}

// Catches out-of-bounds reads on damaged files (seen by the sanitizers) and edits that
// lose lines of such files.
TEST(IniFile, RandomTextParsesAndKeepsItsLines) {
  uint32_t seed = 99;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  const char alphabet[] = "[]=;\"\r\n \tabcAB\xC3\xA9";
  for (int round = 0; round < 300; ++round) {
    std::string text(next() % 200, ' ');
    for (char& c : text) c = alphabet[(next() >> 24) % (sizeof alphabet - 1)];
    IniFile ini = IniFile::FromText(text);
    ini.WriteString("Zz", "Key", "value");
    EXPECT_EQ(IniFile::FromText(ini.Text()).ReadString("Zz", "Key", ""), "value") << text;
  }
}

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

// Catches case-sensitive matching and a lookup that leaks into the next section.
TEST(IniFile, SectionsAndKeysMatchWithoutCase) {
  const IniFile ini = IniFile::FromText(kSample);
  EXPECT_EQ(ini.ReadString("options", "ALPHA", "x"), "1");
  EXPECT_EQ(ini.ReadString("OTHER", "alpha", "x"), "other");
  EXPECT_EQ(ini.ReadString("Options", "beta", "x"), "two words");
  EXPECT_EQ(ini.ReadString("Options", "Quoted", "x"), "  padded  ");
  EXPECT_EQ(ini.ReadString("Other", "Beta", "fallback"), "fallback");
  EXPECT_EQ(ini.ReadString("Missing", "Alpha", "fallback"), "fallback");
  EXPECT_EQ(ini.Keys("Options"), (std::vector<std::string>{"Alpha", "Beta", "Quoted"}));
}

// Catches integer and flag reads that differ from the C conversion or ignore the fallback.
TEST(IniFile, IntegersAndFlagsFollowDecimalConversion) {
  const IniFile ini = IniFile::FromText(
      "[S]\nA=42\nB=-7\nC=12abc\nD=abc\nE=\nF=99999999999\nG=yes\nH=0\nI=TRUE\n");
  EXPECT_EQ(ini.ReadInt("S", "A", 5), 42);
  EXPECT_EQ(ini.ReadInt("S", "B", 5), -7);
  EXPECT_EQ(ini.ReadInt("S", "C", 5), 12);
  EXPECT_EQ(ini.ReadInt("S", "D", 5), 0);
  EXPECT_EQ(ini.ReadInt("S", "E", 5), 0);
  EXPECT_EQ(ini.ReadInt("S", "F", 5), 2147483647);
  EXPECT_EQ(ini.ReadInt("S", "Missing", 5), 5);
  EXPECT_TRUE(ini.ReadFlag("S", "G", false));
  EXPECT_FALSE(ini.ReadFlag("S", "H", true));
  EXPECT_TRUE(ini.ReadFlag("S", "I", false));
  EXPECT_TRUE(ini.ReadFlag("S", "A", false));
  EXPECT_TRUE(ini.ReadFlag("S", "Missing", true));
}

// Catches an edit that rewrites or loses comments, other keys, other sections or odd lines.
TEST(IniFile, WritingOneKeyKeepsEverythingElse) {
  IniFile ini = IniFile::FromText(kSample);
  ini.WriteString("OPTIONS", "alpha", "changed");
  std::string expected = kSample;
  expected.replace(expected.find("Alpha=1"), 7, "alpha=changed");
  EXPECT_EQ(ini.Text(), expected);

  // A new key goes at the end of its section, before the blank line.
  ini.WriteInt("Options", "Gamma", 3);
  EXPECT_NE(ini.Text().find("Quoted=\"  padded  \"\nGamma=3\n\n[Other]"), std::string::npos) << ini.Text();
  // A new section is added at the end.
  ini.WriteFlag("New", "Flag", true);
  const std::string tail = "equals\n\n[New]\nFlag=1\n";
  EXPECT_EQ(ini.Text().substr(ini.Text().size() - tail.size()), tail);
  EXPECT_EQ(ini.ReadString("Other", "Alpha", ""), "other");
  EXPECT_NE(ini.Text().find("Weird line without equals"), std::string::npos);
}

// Catches values that do not come back as written: blanks at the ends, quotes, line
// breaks that would split the line, and long values.
TEST(IniFile, AwkwardValuesRoundTrip) {
  IniFile ini;
  const std::string longValue(3000, 'v');
  const std::string values[] = {"  lead", "trail  ", "\"quoted\"", "semi;colon", "a=b=c", longValue, ""};
  int n = 0;
  for (const std::string& value : values) ini.WriteString("S", "K" + std::to_string(n++), value);
  ini.WriteString("S", "Broken", "line\nbreak");
  const IniFile again = IniFile::FromText(ini.Text());
  n = 0;
  for (const std::string& value : values) EXPECT_EQ(again.ReadString("S", "K" + std::to_string(n++), "x"), value);
  EXPECT_EQ(again.ReadString("S", "Broken", "x"), "line break");
  EXPECT_EQ(again.Keys("S").size(), 8u);
}

// Catches a changed line-ending style or a lost missing final newline.
TEST(IniFile, LineEndingsAreKept) {
  IniFile crlf = IniFile::FromText("[A]\r\nX=1\r\n");
  EXPECT_EQ(crlf.ReadString("A", "X", ""), "1");
  crlf.WriteInt("A", "Y", 2);
  EXPECT_EQ(crlf.Text(), "[A]\r\nX=1\r\nY=2\r\n");
  EXPECT_EQ(IniFile::FromText("[A]\nX=1").Text(), "[A]\nX=1");
}

// Catches the first duplicate not winning, and delete calls that remove too much.
TEST(IniFile, DuplicatesAndDeletes) {
  IniFile ini = IniFile::FromText("[A]\nX=first\nX=second\n[B]\nY=1\n[a]\nX=third\n");
  EXPECT_EQ(ini.ReadString("A", "X", ""), "first");
  EXPECT_TRUE(ini.DeleteKey("a", "x"));
  EXPECT_EQ(ini.ReadString("A", "X", ""), "second");
  EXPECT_FALSE(ini.DeleteKey("A", "Nope"));
  EXPECT_TRUE(ini.DeleteSection("B"));
  EXPECT_FALSE(ini.HasSection("B"));
  EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"A", "a"}));
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
  EXPECT_EQ(ReadProfileString(path, "options", "path", ""), "/home/u/Music");

  WriteText(path, kSample);
  ASSERT_TRUE(WriteProfileString(path, "Other", "Alpha", "new"));
  EXPECT_EQ(ReadProfileString(path, "Other", "Alpha", ""), "new");
  EXPECT_EQ(ReadProfileInt(path, "Options", "Alpha", 0), 1);
  EXPECT_NE(ReadText(path).find("; a comment inside"), std::string::npos);
}

// Catches a save that damages the old file or leaves temporary files when it fails, and
// a failure reported as success.
TEST(IniFile, FailedSaveKeepsOldFileAndReportsIt) {
  TempDir dir;
  const std::string path = dir.File("keep.ini");
  WriteText(path, kSample);
  IniFile ini = IniFile::FromText("[X]\nY=1\n");
  // The target is a folder: the rename must fail.
  const std::string folder = dir.File("folder.ini");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  WriteText(folder + "/inside", "x");
  auto saved = ini.SaveAs(folder);
  ASSERT_FALSE(saved);
  EXPECT_NE(saved.Error().Message().find(folder), std::string::npos);
  // A folder that does not exist: the temporary file cannot be made.
  auto nowhere = ini.SaveAs(dir.File("no/such/dir.ini"));
  ASSERT_FALSE(nowhere);
  EXPECT_EQ(nowhere.Error().errnum, ENOENT);
  EXPECT_EQ(ReadText(path), kSample);
  size_t entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 2u) << "a temporary file was left behind";
}

// Catches a save that changes the file's permissions (a private settings file must stay
// private).
TEST(IniFile, SaveKeepsFileMode) {
  TempDir dir;
  const std::string path = dir.File("mode.ini");
  WriteText(path, "[A]\nX=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  auto ini = IniFile::Load(path);
  ASSERT_TRUE(ini);
  ini.Value().WriteInt("A", "X", 2);
  ASSERT_TRUE(ini.Value().Save());
  struct stat info{};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// Catches a save that replaces a symbolic link by a plain file (the real file elsewhere
// would silently stop receiving the settings).
TEST(IniFile, SaveThroughSymlinkWritesTheTarget) {
  TempDir dir;
  const std::string real = dir.File("real.ini");
  const std::string link = dir.File("link.ini");
  WriteText(real, "[A]\nX=1\n");
  ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
  auto ini = IniFile::Load(link);
  ASSERT_TRUE(ini);
  ini.Value().WriteInt("A", "X", 2);
  ASSERT_TRUE(ini.Value().Save());
  struct stat info{};
  ASSERT_EQ(::lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(ReadText(real), "[A]\nX=2\n");
}

// Catches an unreadable file being taken as empty (its settings would be overwritten).
TEST(IniFile, UnreadableFileIsAnError) {
  TempDir dir;
  auto loaded = IniFile::Load(dir.Path());  // a folder cannot be read as a file
  ASSERT_FALSE(loaded);
  EXPECT_EQ(loaded.Error().kind, IniError::Kind::Read);
  EXPECT_FALSE(WriteProfileString(dir.Path(), "A", "B", "C"));
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
    const IniFile again = IniFile::FromText(ini.Text());
    EXPECT_EQ(again.ReadString("Zz", "Key", ""), "value") << text;
  }
}

// Tests of INI documents: private-profile lookups, edits that keep the rest, atomic saves.
#include "common/ini_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <string>

#include "common/paths.h"
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
  EXPECT_TRUE(unreadable.Error().Is(IniFault::Read));
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

// Catches the reader keeping whatever a file holds: 1 MB of newlines cost 237 MB and 11 s
// at every start, 5 MB 886 MB and 56 s. A file beyond the limits is refused whole, with
// the reason, and the limits themselves are still read (each boundary from both sides).
TEST(IniFile, FilesBeyondTheLimitsAreRefused) {
  TempDir dir;
  const std::string path = dir.File("zbmaker.INI");
  const auto refusal = [&](const std::string& text) -> std::string {
    WriteText(path, text);
    auto loaded = IniFile::Load(path);
    if (loaded) return "read";
    EXPECT_TRUE(loaded.Error().Is(IniFault::Refused)) << loaded.Error().Message();
    EXPECT_EQ(ReadText(path), text) << "a refused file must stay as it is";
    return loaded.Error().Message();
  };
  const std::string limit = std::to_string(kMaxIniLines);
  EXPECT_EQ(refusal(std::string(1000000, '\n')), "Not a settings file: " + path + ": it has more than " + limit + " lines");
  EXPECT_EQ(refusal(std::string(5000000, '\n')),
            "Not a settings file: " + path + ": it is larger than " + std::to_string(kMaxIniFileBytes) + " bytes");
  EXPECT_EQ(refusal(std::string(kMaxIniLines, '\n')), "read");
  EXPECT_EQ(refusal(std::string(kMaxIniLines + 1, '\n')).find("more than " + limit + " lines") != std::string::npos, true);

  // A file of exactly the largest size, in lines of the largest count, is a settings file.
  std::string largest;
  for (size_t line = 0; line < kMaxIniLines; ++line)
    largest += "K" + std::to_string(line) + "=" + std::string(kMaxIniFileBytes / kMaxIniLines - 3 - std::to_string(line).size(), 'v') + "\n";
  ASSERT_EQ(largest.size(), kMaxIniFileBytes);
  EXPECT_EQ(refusal("[S]" + largest.substr(3)), "read");
  EXPECT_NE(refusal("[S]" + largest.substr(3) + "x").find("larger than"), std::string::npos);

  const std::string longest = "[S]\nK=" + std::string(kMaxIniLineBytes - 2, 'v') + "\r\n";
  EXPECT_EQ(refusal(longest), "read");
  EXPECT_EQ(IniFile::Load(path).Value().ReadString("S", "K", "").size(), kMaxIniLineBytes - 2);
  EXPECT_EQ(refusal("[S]\nK=" + std::string(kMaxIniLineBytes - 1, 'v') + "\n"),
            "Not a settings file: " + path + ": line 2 is longer than " + std::to_string(kMaxIniLineBytes) + " bytes");
}

// Catches a FIFO in a settings file's place blocking the start for as long as no one
// writes to it (the reader waited in open()).
TEST(IniFile, FifoIsRefusedWithoutWaiting) {
  TempDir dir;
  const std::string path = dir.File("zbplayer.ini");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  auto loading = std::async(std::launch::async, [&] { return IniFile::Load(path); });
  if (loading.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    ADD_FAILURE() << "Load waits for a writer of the FIFO";
    ::close(::open(path.c_str(), O_WRONLY));  // lets it end
  }
  auto loaded = loading.get();
  ASSERT_FALSE(loaded);
  EXPECT_TRUE(loaded.Error().Is(IniFault::Refused));
  EXPECT_EQ(loaded.Error().Message(), "Not a settings file: " + path + ": it is not a regular file");
}

// Catches a refused settings file lost to the save at the end (which writes the defaults):
// loaded as a program's settings it is renamed aside first, under a name no other file
// has, and the message says where; when it cannot be moved it stays and a later save,
// which reads it again, fails instead of writing over it.
TEST(IniFile, RefusedSettingsFileIsMovedAsideBeforeTheSave) {
  TempDir dir;
  const std::string path = dir.File("zbmaker.INI");
  const std::string junk(2000000, '\n');
  for (const char* kept : {"zbmaker.INI.refused", "zbmaker.INI-2.refused"}) {
    WriteText(path, junk);
    auto loaded = IniFile::LoadSettings(path);
    ASSERT_FALSE(loaded);
    EXPECT_TRUE(loaded.Error().Message().ends_with("; it was renamed to " + dir.File(kept)));
    EXPECT_NE(loaded.Error().Message().find("; it was renamed to " + dir.File(kept)), std::string::npos);
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(ReadText(dir.File(kept)), junk);
  }
  ASSERT_TRUE(WriteProfileString(path, "Options", "Version", "1"));
  EXPECT_EQ(ReadText(path), "[Options]\nVersion=1\n");

  // A folder where nothing can be renamed (as root, a read-only bind would be needed).
  if (::geteuid() != 0) {
    const std::string locked = dir.File("locked");
    ASSERT_EQ(::mkdir(locked.c_str(), 0755), 0);
    WriteText(locked + "/zbmaker.INI", junk);
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    auto loaded = IniFile::LoadSettings(locked + "/zbmaker.INI");
    ASSERT_FALSE(loaded);
    EXPECT_EQ(loaded.Error().Message().find("renamed"), std::string::npos);
    EXPECT_FALSE(WriteProfileString(locked + "/zbmaker.INI", "Options", "Version", "1"));
    EXPECT_EQ(ReadText(locked + "/zbmaker.INI"), junk);
    ::chmod(locked.c_str(), 0755);
  }
  // Without moving: a save over a refused file fails and leaves it.
  WriteText(path, junk);
  auto saved = WriteProfileString(path, "Options", "Version", "1");
  ASSERT_FALSE(saved);
  EXPECT_TRUE(saved.Error().Is(IniFault::Refused));
  EXPECT_EQ(ReadText(path), junk);
}

// Catches a refusal that loses the line to blame, its category or the reason shown apart,
// and read errors without the file or the system's text.
TEST(IniFile, ErrorsCarryTheirCategoryPositionAndReason) {
  TempDir dir;
  const std::string path = dir.File("zbplayer.ini");
  WriteText(path, "[S]\nA=1\nK=" + std::string(kMaxIniLineBytes, 'v') + "\n");
  auto longLine = IniFile::Load(path);
  ASSERT_FALSE(longLine);
  EXPECT_EQ(longLine.Error().category, ErrorCategory::Format);
  EXPECT_EQ(PositionText(longLine.Error().position), "line 3");
  EXPECT_EQ(longLine.Error().reason, "line 3 is longer than " + std::to_string(kMaxIniLineBytes) + " bytes");
  EXPECT_EQ(longLine.Error().subject, path);
  auto folder = IniFile::Load(dir.Path());
  ASSERT_FALSE(folder);
  EXPECT_EQ(folder.Error().category, ErrorCategory::Io);
  EXPECT_EQ(folder.Error().errnum, EISDIR);
  EXPECT_EQ(folder.Error().Message(), "Cannot read settings file " + dir.Path() + ": " + std::strerror(EISDIR));
  EXPECT_EQ(IniFailure(IniFault::Rename, "/x/y.ini", EACCES).Message(), "Cannot write settings file /x/y.ini: Permission denied");
}

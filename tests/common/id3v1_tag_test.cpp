// Tests of the ID3v1 record and its maker and player file functions.
#include "common/id3v1_tag.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "common/paths.h"
#include "tests/common/temp_dir.h"

namespace {

std::vector<uint8_t> Audio(size_t bytes) {
  std::vector<uint8_t> data(bytes);
  for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(i * 31 + 7);
  return data;
}

std::string Field(const std::vector<uint8_t>& file, size_t at, size_t bytes) {
  const size_t base = file.size() - 128;
  return std::string(file.begin() + static_cast<long>(base + at), file.begin() + static_cast<long>(base + at + bytes));
}

}  // namespace

// Catches a wrong record layout: the appended record must be exactly the fields at their
// offsets, space-filled, comment and genre spaces, and the audio untouched.
TEST(Id3v1Tag, AppendedRecordMatchesLayoutByteForByte) {
  TempDir dir;
  const std::string path = dir.File("a.mp3");
  const auto audio = Audio(1000);
  WriteBytes(path, audio);
  ASSERT_EQ(AppendId3v1Tag(path, "Title", "Artist", "Album", "1999"), kId3Ok);
  const auto file = ReadBytes(path);
  ASSERT_EQ(file.size(), 1128u);
  EXPECT_TRUE(std::equal(audio.begin(), audio.end(), file.begin()));
  std::string expected(128, ' ');
  expected.replace(0, 3, "TAG");
  expected.replace(3, 5, "Title");
  expected.replace(33, 6, "Artist");
  expected.replace(63, 5, "Album");
  expected.replace(93, 4, "1999");
  EXPECT_EQ(Field(file, 0, 128), expected);
}

// Catches the maker writing the 30th character, or a year longer than 4, and a missing
// file being created instead of reported.
TEST(Id3v1Tag, MakerCutsTextsAndNeedsAnExistingFile) {
  TempDir dir;
  const std::string path = dir.File("b.mp3");
  WriteBytes(path, Audio(10));
  const std::string longText(40, 'x');
  ASSERT_EQ(AppendId3v1Tag(path, longText, longText, longText, "199999"), kId3Ok);
  const auto file = ReadBytes(path);
  EXPECT_EQ(Field(file, 3, 30), std::string(29, 'x') + " ");
  EXPECT_EQ(Field(file, 33, 30), std::string(29, 'x') + " ");
  EXPECT_EQ(Field(file, 63, 30), std::string(29, 'x') + " ");
  EXPECT_EQ(Field(file, 93, 4), "1999");
  EXPECT_EQ(AppendId3v1Tag(dir.File("missing.mp3"), "t", "a", "b", "2000"), kId3CannotOpen);
  EXPECT_FALSE(FileExists(dir.File("missing.mp3")));
}

// Catches a broken UTF-8 / ISO-8859-1 conversion on either side: Latin-1 letters are one
// byte on disk and come back as the same UTF-8; others become '?'; a slash stays.
TEST(Id3v1Tag, TextsAreLatin1OnDiskAndUtf8Inside) {
  TempDir dir;
  const std::string path = dir.File("c.mp3");
  WriteBytes(path, Audio(200));
  ASSERT_EQ(AppendId3v1Tag(path, "Caf\xC3\xA9 AC/DC", "Bj\xC3\xB6rk \xE2\x82\xAC", "\xC3\x85ngstr\xC3\xB6m", "2001"),
            kId3Ok);
  const auto file = ReadBytes(path);
  EXPECT_EQ(Field(file, 3, 10), "Caf\xE9 AC/DC");
  EXPECT_EQ(Field(file, 33, 7), "Bj\xF6rk ?");
  std::string album, artist, title, year;
  ASSERT_EQ(ReadId3v1Tag(path, &album, &artist, &title, &year), kId3Ok);
  EXPECT_EQ(title, "Caf\xC3\xA9 AC/DC");
  EXPECT_EQ(artist, "Bj\xC3\xB6rk ?");
  EXPECT_EQ(album, "\xC3\x85ngstr\xC3\xB6m");
  EXPECT_EQ(year, "2001");
}

// Catches reading the 30th byte, trimming the first byte of an all-space field, keeping
// zero padding, and a "0000" year read as a number.
TEST(Id3v1Tag, ReaderRulesForLimitsSpacesAndYear) {
  Id3v1Record record;
  record.fill(' ');
  std::memcpy(record.data(), "TAG", 3);
  std::memcpy(record.data() + 3, std::string(30, 'T').data(), 30);   // 30 characters
  std::memset(record.data() + 63, 0, 30);                             // zero-padded album
  std::memcpy(record.data() + 63, "Alb", 3);
  std::memcpy(record.data() + 93, "0000", 4);
  Id3v1Tag tag;
  ASSERT_TRUE(DecodeId3v1Tag(record, tag));
  EXPECT_EQ(tag.title, std::string(29, 'T'));
  EXPECT_EQ(tag.artist, " ");
  EXPECT_EQ(tag.album, "Alb");
  EXPECT_EQ(tag.year, "YYYY");
  std::memcpy(record.data() + 93, "    ", 4);
  ASSERT_TRUE(DecodeId3v1Tag(record, tag));
  EXPECT_EQ(tag.year, "YYYY");
  std::memcpy(record.data() + 93, "87ab", 4);
  ASSERT_TRUE(DecodeId3v1Tag(record, tag));
  EXPECT_EQ(tag.year, "87ab");
  record[0] = 'X';
  EXPECT_FALSE(DecodeId3v1Tag(record, tag));
}

// Catches outputs not emptied on failure and the wrong codes for a missing file, a file
// without a tag and one shorter than a record.
TEST(Id3v1Tag, ReadFailuresGiveTheirCodes) {
  TempDir dir;
  std::string album = "old", title = "old";
  EXPECT_EQ(ReadId3v1Tag(dir.File("none.mp3"), &album, nullptr, &title, nullptr), kId3CannotOpen);
  EXPECT_EQ(album, "");
  EXPECT_EQ(title, "");
  WriteBytes(dir.File("plain.mp3"), Audio(500));
  EXPECT_EQ(ReadId3v1Tag(dir.File("plain.mp3"), &album, nullptr, nullptr, nullptr), kId3NoTag);
  WriteText(dir.File("short.mp3"), "TAG");
  EXPECT_EQ(ReadId3v1Tag(dir.File("short.mp3"), nullptr, nullptr, nullptr, nullptr), kId3NoTag);
}

// Catches the player's writer appending twice, dropping old fields, or cutting at 29:
// first write appends, second replaces in place and keeps what was not given.
TEST(Id3v1Tag, PlayerWriterAppendsOnceThenReplacesInPlace) {
  TempDir dir;
  const std::string path = dir.File("p.mp3");
  const auto audio = Audio(3000);
  WriteBytes(path, audio);
  const std::string album = "Album", artist = "Artist", title30(30, 'q'), year = "1987";
  ASSERT_EQ(WriteId3v1Tag(path, &album, &artist, &title30, &year), kId3Ok);
  auto file = ReadBytes(path);
  ASSERT_EQ(file.size(), 3128u);
  EXPECT_EQ(Field(file, 3, 30), title30);  // the player writes the full width

  const std::string newTitle = "New";
  ASSERT_EQ(WriteId3v1Tag(path, nullptr, nullptr, &newTitle, nullptr), kId3Ok);
  file = ReadBytes(path);
  ASSERT_EQ(file.size(), 3128u);
  EXPECT_TRUE(std::equal(audio.begin(), audio.end(), file.begin()));
  std::string a, b, t, y;
  ASSERT_EQ(ReadId3v1Tag(path, &a, &b, &t, &y), kId3Ok);
  EXPECT_EQ(t, "New");
  EXPECT_EQ(a, "Album");
  EXPECT_EQ(b, "Artist");
  EXPECT_EQ(y, "1987");

  // A title of 30 characters written by the player reads back with 29.
  ASSERT_EQ(WriteId3v1Tag(path, nullptr, nullptr, &title30, nullptr), kId3Ok);
  ASSERT_EQ(ReadId3v1Tag(path, nullptr, nullptr, &t, nullptr), kId3Ok);
  EXPECT_EQ(t, std::string(29, 'q'));
}

// Catches a writer that fails on a missing file instead of creating it, and one that
// keeps an empty old year as empty rather than "YYYY".
TEST(Id3v1Tag, PlayerWriterCreatesMissingFile) {
  TempDir dir;
  const std::string path = dir.File("new.mp3");
  const std::string title = "Only title";
  ASSERT_EQ(WriteId3v1Tag(path, nullptr, nullptr, &title, nullptr), kId3Ok);
  const auto file = ReadBytes(path);
  ASSERT_EQ(file.size(), 128u);
  EXPECT_EQ(Field(file, 93, 4), "    ");
  std::string year;
  ASSERT_EQ(ReadId3v1Tag(path, nullptr, nullptr, nullptr, &year), kId3Ok);
  EXPECT_EQ(year, "YYYY");
}

// Catches a failed append that leaves a partial record behind: on a full disk the file
// must keep its old length and content.
TEST(Id3v1Tag, FailedAppendLeavesFileAsItWas) {
  TempDir dir;
  const std::string path = dir.File("full.mp3");
  const auto audio = Audio(4000);
  WriteBytes(path, audio);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4050, 4050};  // room for 50 of the 128 bytes
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const int appended = AppendId3v1Tag(path, "t", "a", "b", "2000");
    const std::string title = "x";
    const int written = WriteId3v1Tag(path, nullptr, nullptr, &title, nullptr);
    ::_exit(appended == kId3ShortWrite && written == kId3ShortWrite ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a short tag write was not reported";
  EXPECT_EQ(ReadBytes(path), audio);
}

// Catches an unwritable target reported as success (a folder cannot be opened for
// writing, not even by root).
TEST(Id3v1Tag, UnwritableTargetCannotBeOpened) {
  TempDir dir;
  const std::string title = "t";
  EXPECT_EQ(WriteId3v1Tag(dir.Path(), nullptr, nullptr, &title, nullptr), kId3CannotOpen);
  EXPECT_EQ(AppendId3v1Tag(dir.Path(), "t", "a", "b", "2000"), kId3CannotOpen);
  EXPECT_EQ(WriteId3v1Tag(dir.File("no/such/folder.mp3"), nullptr, nullptr, &title, nullptr), kId3CannotOpen);
}

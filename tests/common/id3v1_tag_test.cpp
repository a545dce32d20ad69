// Tests of the ID3v1 record and its maker and player file functions.
#include "common/id3v1_tag.h"

#include <gtest/gtest.h>

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

// The bytes of the record (the last 128 bytes of the file) from at on.
std::string Field(const std::vector<uint8_t>& file, size_t at, size_t bytes) {
  return std::string(file.end() - 128 + static_cast<long>(at), file.end() - 128 + static_cast<long>(at + bytes));
}

}  // namespace

// Catches a wrong record layout or a maker that writes the 30th character or a year longer
// than 4: the appended record must be exactly the fields at their offsets, space-filled,
// with the "no genre" byte (a space would label the song with genre 32), and the audio
// untouched.
TEST(Id3v1Tag, AppendedRecordMatchesLayoutByteForByte) {
  TempDir dir;
  const std::string path = dir.File("a.mp3");
  const auto audio = Audio(1000);
  WriteBytes(path, audio);
  ASSERT_EQ(AppendId3v1Tag(path, "Title", "Artist", std::string(40, 'x'), "199999"), kId3Ok);
  const auto file = ReadBytes(path);
  ASSERT_EQ(file.size(), 1128u);
  EXPECT_TRUE(std::equal(audio.begin(), audio.end(), file.begin()));
  std::string expected(128, ' ');
  expected.replace(0, 3, "TAG").replace(3, 5, "Title").replace(33, 6, "Artist").replace(63, 29, 29, 'x');
  expected[127] = '\xFF';
  EXPECT_EQ(Field(file, 0, 128), expected.replace(93, 4, "1999"));
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
// zero padding, and a "0000" or blank year read as a number.
TEST(Id3v1Tag, ReaderRulesForLimitsSpacesAndYear) {
  Id3v1Record record;
  record.fill(' ');
  std::memcpy(record.data(), "TAG", 3);
  std::memset(record.data() + 3, 'T', 30);
  std::memset(record.data() + 63, 0, 30);
  std::memcpy(record.data() + 63, "Alb", 3);
  Id3v1Tag tag;
  for (const char* year : {"0000", "    ", "87ab"}) {
    std::memcpy(record.data() + 93, year, 4);
    ASSERT_TRUE(DecodeId3v1Tag(record, tag));
    EXPECT_EQ(tag.year, year[0] == '8' ? "87ab" : "YYYY");
  }
  EXPECT_EQ(tag.title, std::string(29, 'T'));
  EXPECT_EQ(tag.artist, " ");
  EXPECT_EQ(tag.album, "Alb");
  record[0] = 'X';
  EXPECT_FALSE(DecodeId3v1Tag(record, tag));
}

// Catches outputs not emptied on failure, a missing file created by the maker, and the wrong
// codes for a missing file, a file without a tag or shorter than a record, and an
// unwritable target (a folder cannot be opened for writing, not even by root).
TEST(Id3v1Tag, FailuresGiveTheirCodes) {
  TempDir dir;
  std::string album = "old", title = "old";
  EXPECT_EQ(ReadId3v1Tag(dir.File("none.mp3"), &album, nullptr, &title, nullptr), kId3CannotOpen);
  EXPECT_EQ(album + title, "");
  EXPECT_EQ(AppendId3v1Tag(dir.File("none.mp3"), "t", "a", "b", "2000"), kId3CannotOpen);
  EXPECT_FALSE(FileExists(dir.File("none.mp3")));
  WriteBytes(dir.File("plain.mp3"), Audio(500));
  EXPECT_EQ(ReadId3v1Tag(dir.File("plain.mp3"), &album, nullptr, nullptr, nullptr), kId3NoTag);
  WriteText(dir.File("short.mp3"), "TAG");
  EXPECT_EQ(ReadId3v1Tag(dir.File("short.mp3"), nullptr, nullptr, nullptr, nullptr), kId3NoTag);
  EXPECT_EQ(WriteId3v1Tag(dir.Path(), nullptr, nullptr, &title, nullptr), kId3CannotOpen);
  EXPECT_EQ(AppendId3v1Tag(dir.Path(), "t", "a", "b", "2000"), kId3CannotOpen);
  EXPECT_EQ(WriteId3v1Tag(dir.File("no/such/folder.mp3"), nullptr, nullptr, &title, nullptr), kId3CannotOpen);
}

// Catches the player's writer appending twice, dropping old fields, cutting at 29 on disk,
// or failing on a missing file instead of creating it (with a "YYYY" year).
TEST(Id3v1Tag, PlayerWriterAppendsOnceThenReplacesInPlace) {
  TempDir dir;
  const std::string path = dir.File("p.mp3");
  const auto audio = Audio(3000);
  WriteBytes(path, audio);
  const std::string album = "Album", artist = "Artist", title30(30, 'q'), year = "1987", newTitle = "New";
  ASSERT_EQ(WriteId3v1Tag(path, &album, &artist, &title30, &year), kId3Ok);
  EXPECT_EQ(Field(ReadBytes(path), 3, 30), title30);
  ASSERT_EQ(WriteId3v1Tag(path, nullptr, nullptr, &newTitle, nullptr), kId3Ok);
  const auto file = ReadBytes(path);
  ASSERT_EQ(file.size(), 3128u);
  EXPECT_TRUE(std::equal(audio.begin(), audio.end(), file.begin()));
  std::string a, b, t, y;
  ASSERT_EQ(ReadId3v1Tag(path, &a, &b, &t, &y), kId3Ok);
  EXPECT_EQ(a + "|" + b + "|" + t + "|" + y, "Album|Artist|New|1987");

  const std::string fresh = dir.File("new.mp3");
  ASSERT_EQ(WriteId3v1Tag(fresh, nullptr, nullptr, &title30, nullptr), kId3Ok);
  ASSERT_EQ(ReadBytes(fresh).size(), 128u);
  ASSERT_EQ(ReadId3v1Tag(fresh, nullptr, nullptr, &t, &y), kId3Ok);
  EXPECT_EQ(t, std::string(29, 'q'));
  EXPECT_EQ(y, "YYYY");
}

// Catches a rewrite that loses what the caller did not change: a field not given keeps
// its bytes (a 30th character, a blank year, which would otherwise come back cut to 29 or
// as "YYYY"), and the comment, track number and genre written by another program stay;
// a given value replaces its whole field.
TEST(Id3v1Tag, PlayerWriterKeepsBytesItWasNotGiven) {
  TempDir dir;
  const std::string path = dir.File("other.mp3");
  auto bytes = Audio(600);
  std::string old(128, ' ');
  old.replace(0, 3, "TAG").replace(3, 30, std::string(30, 'T')).replace(33, 30, std::string(30, 'A'));
  old.replace(63, 11, "Long Album!").replace(97, 30, "ripped by someone else\0\0\0\0\0\0\0\x07", 30);
  old[127] = 17;  // genre "Rock", track 7 in the comment's last byte
  bytes.insert(bytes.end(), old.begin(), old.end());
  WriteBytes(path, bytes);

  const std::string album = "New";
  ASSERT_EQ(WriteId3v1Tag(path, &album, nullptr, nullptr, nullptr), kId3Ok);
  const auto file = ReadBytes(path);
  ASSERT_EQ(file.size(), bytes.size());
  std::string expected = old;
  expected.replace(63, 30, "New" + std::string(27, ' '));
  EXPECT_EQ(Field(file, 0, 128), expected);
  std::string t, y;
  ASSERT_EQ(ReadId3v1Tag(path, nullptr, nullptr, &t, &y), kId3Ok);
  EXPECT_EQ(t, std::string(29, 'T'));
  EXPECT_EQ(y, "YYYY");
}

// Catches a failed write that leaves a partial record behind: on a full disk both writers
// report the short write and the file keeps its old length and content.
TEST(Id3v1Tag, ShortWriteLeavesFileAsItWas) {
  TempDir dir;
  const std::string path = dir.File("full.mp3");
  const auto audio = Audio(4000);
  WriteBytes(path, audio);
  EXPECT_TRUE(PassesWithFileSizeLimit(4050, [&] {  // room for 50 of the 128 bytes
    const std::string title = "x";
    return AppendId3v1Tag(path, "t", "a", "b", "2000") == kId3ShortWrite &&
           WriteId3v1Tag(path, nullptr, nullptr, &title, nullptr) == kId3ShortWrite;
  })) << "a short tag write was not reported";
  EXPECT_EQ(ReadBytes(path), audio);
}

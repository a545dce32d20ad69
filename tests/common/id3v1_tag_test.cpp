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
// than 4: the record must be exactly the fields at their offsets, space-filled, with the
// "no genre" byte (a space would label the song with genre 32).
TEST(Id3v1Tag, MakerRecordMatchesLayoutByteForByte) {
  const Id3v1Record record = EncodeId3v1Tag({"Title", "Artist", std::string(40, 'x'), "199999"}, kId3v1MakerTextLimit);
  std::string expected(128, ' ');
  expected.replace(0, 3, "TAG").replace(3, 5, "Title").replace(33, 6, "Artist").replace(63, 29, 29, 'x');
  expected[127] = '\xFF';
  EXPECT_EQ(std::string(record.begin(), record.end()), expected.replace(93, 4, "1999"));
}

// Catches a broken UTF-8 / ISO-8859-1 conversion on either side: Latin-1 letters are one
// byte on disk and come back as the same UTF-8; others become '?'; a slash stays.
TEST(Id3v1Tag, TextsAreLatin1OnDiskAndUtf8Inside) {
  TempDir dir;
  const std::string path = dir.File("c.mp3");
  auto file = Audio(200);
  const Id3v1Record record = EncodeId3v1Tag(
      {"Caf\xC3\xA9 AC/DC", "Bj\xC3\xB6rk \xE2\x82\xAC", "\xC3\x85ngstr\xC3\xB6m", "2001"}, kId3v1MakerTextLimit);
  file.insert(file.end(), record.begin(), record.end());
  WriteBytes(path, file);
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

// Catches outputs not emptied on failure and the wrong codes for a missing file, a file
// without a tag or shorter than a record, and a folder.
TEST(Id3v1Tag, ReadFailuresGiveTheirCodes) {
  TempDir dir;
  std::string album = "old", title = "old";
  EXPECT_EQ(ReadId3v1Tag(dir.File("none.mp3"), &album, nullptr, &title, nullptr), kId3CannotOpen);
  EXPECT_EQ(album + title, "");
  WriteBytes(dir.File("plain.mp3"), Audio(500));
  EXPECT_EQ(ReadId3v1Tag(dir.File("plain.mp3"), &album, nullptr, nullptr, nullptr), kId3NoTag);
  WriteText(dir.File("short.mp3"), "TAG");
  EXPECT_EQ(ReadId3v1Tag(dir.File("short.mp3"), nullptr, nullptr, nullptr, nullptr), kId3NoTag);
  EXPECT_EQ(ReadId3v1Tag(dir.Path(), nullptr, nullptr, &title, nullptr), kId3CannotOpen);
}

// Catches a read whose error does not tell a missing tag from a file that cannot be opened,
// or loses where the record was looked for; the codes come from those cases.
TEST(Id3v1Tag, ReadErrorsCarryTheirCaseAndPosition) {
  TempDir dir;
  WriteBytes(dir.File("plain.mp3"), Audio(500));
  const auto plain = ReadId3v1TagFile(dir.File("plain.mp3"));
  ASSERT_FALSE(plain);
  EXPECT_TRUE(plain.Error().Is(Id3v1ReadFault::NoTag));
  EXPECT_EQ(plain.Error().category, ErrorCategory::Format);
  EXPECT_EQ(PositionText(plain.Error().position), "byte 372");
  EXPECT_EQ(Id3v1ReadCode(plain), kId3NoTag);
  const auto missing = ReadId3v1TagFile(dir.File("none.mp3"));
  ASSERT_FALSE(missing);
  EXPECT_TRUE(missing.Error().Is(Id3v1ReadFault::CannotOpen));
  EXPECT_EQ(missing.Error().category, ErrorCategory::Io);
  EXPECT_EQ(Id3v1ReadCode(missing), kId3CannotOpen);
  EXPECT_EQ(Id3v1ReadCode(ReadId3v1TagFile(dir.Path())), kId3CannotOpen);

  std::vector<uint8_t> file = Audio(300);
  const Id3v1Record record = EncodeId3v1Tag({"Title", "Artist", "Album", "1999"}, kId3v1MakerTextLimit);
  file.insert(file.end(), record.begin(), record.end());
  WriteBytes(dir.File("tagged.mp3"), file);
  const auto tagged = ReadId3v1TagFile(dir.File("tagged.mp3"));
  ASSERT_TRUE(tagged);
  EXPECT_EQ(tagged.Value().title + "|" + tagged.Value().artist + "|" + tagged.Value().album + "|" + tagged.Value().year,
            "Title|Artist|Album|1999");
  EXPECT_EQ(Id3v1ReadCode(tagged), kId3Ok);
}

// Catches the player's record cutting at 29 instead of 30, a fresh record that keeps
// nothing empty, and a year missing from a fresh record read as "YYYY".
TEST(Id3v1Tag, PlayerRecordOfAFileWithoutOne) {
  const std::string title30(30, 'q');
  const Id3v1Record record = UpdateId3v1Record(nullptr, {.title = title30});
  const std::vector<uint8_t> bytes(record.begin(), record.end());
  EXPECT_EQ(Field(bytes, 0, 3), "TAG");
  EXPECT_EQ(Field(bytes, 3, 30), title30);
  EXPECT_EQ(Field(bytes, 33, 30), std::string(30, ' '));
  Id3v1Tag tag;
  ASSERT_TRUE(DecodeId3v1Tag(record, tag));
  EXPECT_EQ(tag.title, std::string(29, 'q'));
  EXPECT_EQ(tag.year, "YYYY");
}

// Catches an update that loses what the caller did not change: a field not given keeps
// its bytes (a 30th character, a blank year, which would otherwise come back cut to 29 or
// as "YYYY"), and the comment, track number and genre written by another program stay;
// a given value replaces its whole field.
TEST(Id3v1Tag, PlayerRecordKeepsBytesItWasNotGiven) {
  std::string old(128, ' ');
  old.replace(0, 3, "TAG").replace(3, 30, std::string(30, 'T')).replace(33, 30, std::string(30, 'A'));
  old.replace(63, 11, "Long Album!").replace(97, 30, "ripped by someone else\0\0\0\0\0\0\0\x07", 30);
  old[127] = 17;  // genre "Rock", track 7 in the comment's last byte
  Id3v1Record record{};
  std::memcpy(record.data(), old.data(), record.size());

  const Id3v1Record updated = UpdateId3v1Record(&record, {.album = "New"});
  std::string expected = old;
  expected.replace(63, 30, "New" + std::string(27, ' '));
  EXPECT_EQ(std::string(updated.begin(), updated.end()), expected);
  Id3v1Tag tag;
  ASSERT_TRUE(DecodeId3v1Tag(updated, tag));
  EXPECT_EQ(tag.title, std::string(29, 'T'));
  EXPECT_EQ(tag.year, "YYYY");
}

// ID3v2.4 tags: UTF-8 texts that ffprobe reads back exactly, beside an untouched ID3v1 record.
#include "common/tags/id3v2_tag.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/id3v1_tag.h"
#include "common/tags/tag_file.h"
#include "tests/common/tags/reference_tools.h"
#include "tests/common/temp_dir.h"

namespace {

std::string Probe(const std::string& path, const std::string& key) { return reference_tools::ProbeTag(path, key); }

// One second of a tone as an MP3 without tags.
std::string MakeMp3(const TempDir& dir, const std::string& name) {
  const std::string path = dir.File(name);
  reference_tools::MakeMp3(path);
  return path;
}

// The ID3v2 part of a rewrite, as the maker and the editor ask for it.
bool WriteId3v2(const std::string& path, const Id3v2Update& update) {
  TagFileUpdate change;
  change.id3v2 = update;
  return WriteTagFile(path, change).Ok();
}

std::vector<uint8_t> LastBytes(const std::string& path, size_t count) {
  const auto bytes = ReadBytes(path);
  if (bytes.size() < count) return {};
  return std::vector<uint8_t>(bytes.end() - static_cast<std::ptrdiff_t>(count), bytes.end());
}

Id3v2Update FullUpdate(const std::string& title, const std::string& artist) {
  Id3v2Update update;
  update.title = title;
  update.artist = artist;
  update.album = "Album – Ärger";
  update.year = "1999";
  update.trackNumber = Id3v2TrackNumber(3, 12);
  update.genre = "Rock";
  return update;
}

}  // namespace

struct Names {
  const char* title;
  const char* artist;
};

class Id3v2Names : public ::testing::TestWithParam<Names> {};

// Catches texts stored as Latin-1 ('?' for what it cannot hold) or in a form other readers
// mangle, and a missing track n/N, genre or year.
TEST_P(Id3v2Names, FfprobeReadsBackEveryFieldExactly) {
  TempDir dir;
  const std::string mp3 = MakeMp3(dir, "a.mp3");
  ASSERT_TRUE(WriteId3v2(mp3, FullUpdate(GetParam().title, GetParam().artist)));
  EXPECT_EQ(Probe(mp3, "title"), GetParam().title);
  EXPECT_EQ(Probe(mp3, "artist"), GetParam().artist);
  EXPECT_EQ(Probe(mp3, "album"), "Album – Ärger");
  EXPECT_EQ(Probe(mp3, "date"), "1999");
  EXPECT_EQ(Probe(mp3, "track"), "3/12");
  EXPECT_EQ(Probe(mp3, "genre"), "Rock");
  const auto read = ReadId3v2Tag(mp3);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->title, GetParam().title);
  EXPECT_EQ(read->artist, GetParam().artist);
  EXPECT_EQ(read->trackNumber, "3/12");
  // Version 2.4 is what allows UTF-8 frames.
  const auto head = ReadBytes(mp3);
  ASSERT_GE(head.size(), 4u);
  EXPECT_EQ(std::string(head.begin(), head.begin() + 3), "ID3");
  EXPECT_EQ(head[3], 4);
}

INSTANTIATE_TEST_SUITE_P(Scripts, Id3v2Names,
                         ::testing::Values(Names{"Café – Ünïcödé", "Café – Ünïcödé"},
                                           Names{"夜に駆ける", "ヨルシカ"},
                                           Names{"Plain Title", "Plain Artist"}));

// Catches the ID3v2 write rewriting, moving or duplicating the ID3v1 record at the end.
TEST(Id3v2Tag, Id3v1RecordStaysByteForByte) {
  TempDir dir;
  const std::string mp3 = MakeMp3(dir, "b.mp3");
  TagFileUpdate record;
  record.appendedId3v1 = EncodeId3v1Tag({"Cafe", "Artist", "Album", "1999"}, kId3v1MakerTextLimit);
  ASSERT_TRUE(WriteTagFile(mp3, record));
  const auto before = LastBytes(mp3, kId3v1TagBytes);
  ASSERT_TRUE(WriteId3v2(mp3, FullUpdate("夜に駆ける", "Café – Ünïcödé")));
  EXPECT_EQ(LastBytes(mp3, kId3v1TagBytes), before);
  // A second write replaces the tag instead of adding one, and still leaves the record.
  ASSERT_TRUE(WriteId3v2(mp3, FullUpdate("Second", "Café – Ünïcödé")));
  EXPECT_EQ(LastBytes(mp3, kId3v1TagBytes), before);
  EXPECT_EQ(Probe(mp3, "title"), "Second");
  Id3v1Tag v1;
  ASSERT_EQ(ReadId3v1Tag(mp3, &v1.album, &v1.artist, &v1.title, &v1.year), kId3Ok);
  EXPECT_EQ(v1.title, "Cafe");
}

// Catches an update wiping fields it does not name, and an unknown year ("YYYY") written.
TEST(Id3v2Tag, UpdateKeepsWhatItDoesNotNameAndDropsUnknownYears) {
  TempDir dir;
  const std::string mp3 = MakeMp3(dir, "c.mp3");
  ASSERT_TRUE(WriteId3v2(mp3, FullUpdate("Title", "Artist")));
  Id3v2Update partial;
  partial.album = "New Album";
  partial.year = "YYYY";
  ASSERT_TRUE(WriteId3v2(mp3, partial));
  const auto read = ReadId3v2Tag(mp3);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->title, "Title");
  EXPECT_EQ(read->artist, "Artist");
  EXPECT_EQ(read->album, "New Album");
  EXPECT_EQ(read->year, "");
  EXPECT_EQ(read->genre, "Rock");
  EXPECT_EQ(Probe(mp3, "date"), "");
}

// Catches the disc number, user texts or the front cover not written, an update that drops
// user texts and pictures it does not name, and a second write that adds frames instead
// of replacing them.
TEST(Id3v2Tag, DiscNumberUserTextsAndCoverAreWrittenAndKept) {
  TempDir dir;
  const std::string mp3 = MakeMp3(dir, "d.mp3");
  Id3v2Update update = FullUpdate("Title", "Artist");
  update.discNumber = "2/3";
  update.albumArtist = "Künstler";
  update.userTexts = {{"MusicBrainz Album Id", "8a2d7a4f"}, {"REPLAYGAIN_TRACK_GAIN", "-3.21 dB"}};
  const std::string png = dir.File("c.png");
  reference_tools::Run("ffmpeg -v error -y -f lavfi -i color=c=red:s=8x8 -frames:v 1 '" + png + "'");
  update.frontCover = Id3v2Picture{"image/png", ReadBytes(png)};
  ASSERT_FALSE(update.frontCover->data.empty());
  ASSERT_TRUE(WriteId3v2(mp3, update));
  EXPECT_EQ(Probe(mp3, "disc"), "2/3");
  EXPECT_EQ(Probe(mp3, "album_artist"), "Künstler");
  EXPECT_EQ(Probe(mp3, "MusicBrainz Album Id"), "8a2d7a4f");
  EXPECT_EQ(Probe(mp3, "REPLAYGAIN_TRACK_GAIN"), "-3.21 dB");
  const std::string extracted = dir.File("out.png");
  reference_tools::Run("ffmpeg -v error -y -i '" + mp3 + "' -map 0:v:0 -c copy -f image2 '" + extracted + "'");
  EXPECT_EQ(ReadBytes(extracted), update.frontCover->data);

  // Only the ReplayGain text named: the other user text, the disc and the cover stay.
  Id3v2Update gain;
  gain.userTexts = {{"REPLAYGAIN_TRACK_GAIN", "+1.00 dB"}};
  ASSERT_TRUE(WriteId3v2(mp3, gain));
  EXPECT_EQ(Probe(mp3, "REPLAYGAIN_TRACK_GAIN"), "+1.00 dB");
  EXPECT_EQ(Probe(mp3, "MusicBrainz Album Id"), "8a2d7a4f");
  EXPECT_EQ(Probe(mp3, "disc"), "2/3");
  reference_tools::Run("ffmpeg -v error -y -i '" + mp3 + "' -map 0:v:0 -c copy -f image2 '" + extracted + "'");
  EXPECT_EQ(ReadBytes(extracted), update.frontCover->data);

  // Empty values remove their frames.
  Id3v2Update removal;
  removal.discNumber = "";
  removal.userTexts = {{"MusicBrainz Album Id", ""}};
  removal.frontCover = Id3v2Picture{};
  ASSERT_TRUE(WriteId3v2(mp3, removal));
  EXPECT_EQ(Probe(mp3, "disc"), "");
  EXPECT_EQ(Probe(mp3, "MusicBrainz Album Id"), "");
  EXPECT_EQ(reference_tools::Run("ffprobe -v error -select_streams v -show_entries stream=index -of csv=p=0 '" + mp3 + "'"),
            "");
  EXPECT_EQ(Probe(mp3, "title"), "Title");
}

// Catches placeholders taken for years and real years refused.
TEST(Id3v2Tag, KnownYears) {
  for (const char* year : {"1999", "2003-05", " 1970"}) EXPECT_TRUE(IsKnownYear(year)) << year;
  for (const char* year : {"", "YYYY", "0000", "  ", "-1"}) EXPECT_FALSE(IsKnownYear(year)) << year;
  EXPECT_EQ(Id3v2TrackNumber(7, 0), "7");
}

// Catches a missing file or a folder reported as written, or a file created by the write.
TEST(Id3v2Tag, MissingAndNonMpegFilesAreErrors) {
  TempDir dir;
  EXPECT_FALSE(WriteId3v2(dir.File("missing.mp3"), FullUpdate("a", "b")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing.mp3")));
  EXPECT_FALSE(WriteId3v2(dir.Path(), FullUpdate("a", "b")));
  EXPECT_FALSE(ReadId3v2Tag(dir.File("missing.mp3")));
  const std::string mp3 = MakeMp3(dir, "untagged.mp3");
  EXPECT_FALSE(ReadId3v2Tag(mp3));
}

// ID3v1 fields of a ripped track.
#include "maker/metadata/track_tag.h"

#include <gtest/gtest.h>

namespace {

// Catches: the tag getting the file-name-cleaned name, or fields swapped.
TEST(TrackTag, FieldsComeFromTrackNameArtistTitleAndYear) {
  CdInfo info;
  info.artist = "Artist";
  info.title = "Album";
  info.year = "1997";
  const auto fields = MakeTrackTagFields(info, 4, "AC/DC: Live");
  EXPECT_EQ(fields.title, "AC/DC: Live");
  EXPECT_EQ(fields.artist, "Artist");
  EXPECT_EQ(fields.album, "Album");
  EXPECT_EQ(fields.year, "1997");
  EXPECT_EQ(MakeTrackTagFields(info, 4, "").title, "Track04");
}

// Catches: cuts past 29 characters / 4 year digits, or cuts inside a UTF-8 character.
TEST(TrackTag, TextsAreCutToFieldLimitsOnCharacterBoundaries) {
  CdInfo info;
  info.artist = std::string(40, 'a');
  info.year = "20245";
  std::string name;
  for (int i = 0; i < 35; ++i) name += "\xC3\xBC";  // ü
  const auto fields = MakeTrackTagFields(info, 1, name);
  EXPECT_EQ(fields.artist, std::string(29, 'a'));
  EXPECT_EQ(fields.year, "2024");
  EXPECT_EQ(fields.title.size(), 58u);
}

// Catches: the ID3v2 tag cut like the ID3v1 record, a placeholder year written (in either
// tag), the track number without the disc's track count, or the genre left out.
TEST(TrackTag, Id3v2UpdateHoldsWholeTextsTrackOfCountAndGenre) {
  CdInfo info;
  info.artist = std::string(40, 'a');
  info.title = "夜に駆ける";
  info.genre = "J-Pop";
  const auto update = MakeTrackId3v2Update(info, 3, 12, std::string(35, 'n'));
  EXPECT_EQ(update.title, std::string(35, 'n'));
  EXPECT_EQ(update.artist, std::string(40, 'a'));
  EXPECT_EQ(update.album, "夜に駆ける");
  EXPECT_EQ(update.trackNumber, "3/12");
  EXPECT_EQ(update.genre, "J-Pop");
  ASSERT_TRUE(update.year);
  EXPECT_EQ(*update.year, "");  // not known: the frame is left out
  info.year = "YYYY";
  EXPECT_EQ(*MakeTrackId3v2Update(info, 3, 12, "").year, "");
  EXPECT_EQ(MakeTrackTagFields(info, 3, "").year, "") << "the placeholder is no year of the ID3v1 record";
  info.year = "1997";
  EXPECT_EQ(*MakeTrackId3v2Update(info, 3, 12, "").year, "1997");
  EXPECT_EQ(*MakeTrackId3v2Update(info, 3, 12, "").title, "Track03");
}

// Catches: an MP3 from a MusicBrainz disc without its disc n/N or the MusicBrainz ids that
// the other formats get, or an id of another track.
TEST(TrackTag, Id3v2UpdateHoldsDiscNumberAndMusicBrainzIds) {
  CdInfo info;
  info.artist = "Artist";
  info.discNumber = 2;
  info.discCount = 3;
  info.musicBrainzReleaseId = "release-id";
  info.musicBrainzDiscId = "disc-id";
  info.musicBrainzArtistId = "artist-id";
  info.musicBrainzRecordingIds = {"recording-1", "recording-2"};
  info.musicBrainzTrackIds = {"track-1", "track-2"};
  const auto update = MakeTrackId3v2Update(info, 2, 12, "Name");
  EXPECT_EQ(update.discNumber, "2/3");
  EXPECT_EQ(update.albumArtist, "Artist");
  const auto text = [&](const std::string& description) {
    for (const auto& [name, value] : update.userTexts)
      if (name == description) return value;
    return std::string("(none)");
  };
  EXPECT_EQ(text("MusicBrainz Album Id"), "release-id");
  EXPECT_EQ(text("MusicBrainz Disc Id"), "disc-id");
  EXPECT_EQ(text("MusicBrainz Artist Id"), "artist-id");
  EXPECT_EQ(text("MusicBrainz Track Id"), "recording-2");
  EXPECT_EQ(text("MusicBrainz Release Track Id"), "track-2");
  // Names typed by hand: no ids, and no disc number (the frames are removed).
  const auto plain = MakeTrackId3v2Update(CdInfo{}, 1, 12, "Name");
  EXPECT_EQ(plain.discNumber, "");
  for (const auto& [name, value] : plain.userTexts) EXPECT_EQ(value, "") << name;
}

}  // namespace

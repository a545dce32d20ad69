// Parsing of CDDB reply lines.
#include "maker/metadata/cddb_reply.h"

#include <gtest/gtest.h>

namespace {

// Catches: artist and title not split at '/' or blanks kept around it.
TEST(CddbReply, MatchSplitsArtistAndTitleAtSlash) {
  auto match = ParseCddbMatch("200 rock 06019002 Some Artist / Some Album");
  ASSERT_TRUE(match);
  EXPECT_EQ(match->code, 200);
  EXPECT_EQ(match->category, "rock");
  EXPECT_EQ(match->discId, 0x06019002u);
  EXPECT_EQ(match->artist, "Some Artist");
  EXPECT_EQ(match->title, "Some Album");
}

// Catches: a title without '/' lost, long titles cut at ten words, or doubled blanks kept.
TEST(CddbReply, MatchWithoutSlashIsAllArtistAndLongTitlesStayWhole) {
  auto match = ParseCddbMatch("211 misc 1a2b3c4d   Only  Artist  Text");
  ASSERT_TRUE(match);
  EXPECT_EQ(match->artist, "Only Artist Text");
  EXPECT_EQ(match->title, "");
  auto longTitle = ParseCddbMatch("200 jazz 00000001 A / 1 2 3 4 5 6 7 8 9 10 11 12");
  ASSERT_TRUE(longTitle);
  EXPECT_EQ(longTitle->title, "1 2 3 4 5 6 7 8 9 10 11 12");
}

// Catches: malformed match lines producing a read for a made-up disc.
TEST(CddbReply, MalformedMatchesAreRejected) {
  EXPECT_FALSE(ParseCddbMatch("200 rock"));
  EXPECT_FALSE(ParseCddbMatch("200 rock xyz Title"));
  EXPECT_FALSE(ParseCddbMatch("200 rock 123456789 Title"));
  EXPECT_EQ(CddbReplyCode("202 No match found"), 202);
  EXPECT_EQ(CddbReplyCode("garbage"), 0);
}

// Catches: buffer limits exceeded or cut inside a character.
TEST(CddbReply, MatchFieldsAreCutToTheirBuffers) {
  std::string artist;
  for (int i = 0; i < 100; ++i) artist += "\xC3\xA9\xC3\xA9";  // 200 characters
  auto match = ParseCddbMatch("200 " + std::string(80, 'c') + " 01 " + artist + " / T");
  ASSERT_TRUE(match);
  EXPECT_EQ(match->category.size(), 63u);
  EXPECT_EQ(match->artist.size(), 127u * 2);
}

// Catches: DTITLE/TTITLE matched case-sensitively, names out of arrival order, or long
// names continued on a second line split into two tracks.
TEST(CddbReply, EntryCollectsTitleAndTrackNames) {
  CddbEntryParser entry;
  entry.AddLine("# xmcd");
  entry.AddLine("DISCID=06019002");
  entry.AddLine("dtitle=  Some Artist / Some");
  entry.AddLine("DTITLE= Album");
  entry.AddLine("TTITLE1=Second");
  entry.AddLine("ttitle0=   First");
  entry.AddLine("TTITLE2=Third part");
  entry.AddLine("TTITLE2= two");
  entry.AddLine("EXTD=");
  EXPECT_EQ(entry.DiscTitle(), "Some Artist / Some Album");
  EXPECT_EQ(entry.AlbumTitle(), "Some Album");
  EXPECT_EQ(entry.TrackNames(), "Second\nFirst\nThird part two\n");
}

// Catches: a DTITLE without '/' not taken whole as the album title.
TEST(CddbReply, DiscTitleWithoutSlashIsTheAlbumTitle) {
  CddbEntryParser entry;
  entry.AddLine("DTITLE=Just A Title");
  entry.AddLine("TTITLE0");
  EXPECT_EQ(entry.AlbumTitle(), "Just A Title");
  EXPECT_EQ(entry.TrackNames(), "\n");
}

}  // namespace

// Parsing of CDDB reply lines.
#include "maker/metadata/cddb_reply.h"

#include <gtest/gtest.h>

namespace {

// Catches: artist and title not split at '/', blanks kept around it or doubled, a title
// without '/' lost, or long titles cut at ten words.
TEST(CddbReply, MatchSplitsArtistAndTitleAtSlash) {
  struct Case {
    const char* line;
    int code;
    const char* category;
    std::uint32_t discId;
    const char* artist;
    const char* title;
  };
  const Case cases[] = {
      {"200 rock 06019002 Some Artist / Some Album", 200, "rock", 0x06019002u, "Some Artist",
       "Some Album"},
      {"211 misc 1a2b3c4d   Only  Artist  Text", 211, "misc", 0x1a2b3c4du, "Only Artist Text", ""},
      {"200 jazz 00000001 A / 1 2 3 4 5 6 7 8 9 10 11 12", 200, "jazz", 1u, "A",
       "1 2 3 4 5 6 7 8 9 10 11 12"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const auto match = ParseCddbMatch(c.line);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->code, c.code);
    EXPECT_EQ(match->category, c.category);
    EXPECT_EQ(match->discId, c.discId);
    EXPECT_EQ(match->artist, c.artist);
    EXPECT_EQ(match->title, c.title);
  }
}

// Catches: malformed match lines producing a read for a made-up disc.
TEST(CddbReply, MalformedMatchesAreRejected) {
  for (const char* bad : {"200 rock", "200 rock xyz Title", "200 rock 123456789 Title"}) {
    EXPECT_FALSE(ParseCddbMatch(bad)) << bad;
  }
  EXPECT_EQ(CddbReplyCode("202 No match found"), 202);
  EXPECT_EQ(CddbReplyCode("garbage"), 0);
}

// Catches: buffer limits exceeded or cut inside a character.
TEST(CddbReply, MatchFieldsAreCutToTheirBuffers) {
  std::string artist;
  for (int i = 0; i < 200; ++i) artist += "\xC3\xA9";
  auto match = ParseCddbMatch("200 " + std::string(80, 'c') + " 01 " + artist + " / T");
  ASSERT_TRUE(match);
  EXPECT_EQ(match->category.size(), 63u);
  EXPECT_EQ(match->artist.size(), 127u * 2);
}

// Catches: DTITLE/TTITLE matched case-sensitively, names out of arrival order, long names
// continued on a second line split into two tracks, or a DTITLE without '/' not taken
// whole as the album title.
TEST(CddbReply, EntryCollectsTitleAndTrackNames) {
  CddbEntryParser entry;
  for (const char* line : {"# xmcd", "DISCID=06019002", "dtitle=  Some Artist / Some",
                           "DTITLE= Album", "TTITLE1=Second", "ttitle0=   First",
                           "TTITLE2=Third part", "TTITLE2= two", "EXTD="}) {
    entry.AddLine(line);
  }
  EXPECT_EQ(entry.DiscTitle(), "Some Artist / Some Album");
  EXPECT_EQ(entry.AlbumTitle(), "Some Album");
  EXPECT_EQ(entry.TrackNames(), "Second\nFirst\nThird part two\n");
  CddbEntryParser noSlash;
  noSlash.AddLine("DTITLE=Just A Title");
  noSlash.AddLine("TTITLE0");
  EXPECT_EQ(noSlash.AlbumTitle(), "Just A Title");
  EXPECT_EQ(noSlash.TrackNames(), "\n");
}

}  // namespace

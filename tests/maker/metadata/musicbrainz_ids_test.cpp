// The MusicBrainz ids of the CD information: kept with the names of their release only.
#include "maker/metadata/musicbrainz_ids.h"

#include <gtest/gtest.h>

#include "maker/metadata/cddb_lookup.h"

namespace {

CddbOutputs MusicBrainzOutputs() {
  CddbOutputs out;
  out.title = "Album";
  out.artist = "Band";
  out.trackNames = "One\nTwo\n";
  out.musicBrainz.releaseId = "release";
  out.musicBrainz.discId = "disc";
  out.musicBrainz.artistId = "artist";
  out.musicBrainz.recordingIds = {"r1", "r2"};
  out.musicBrainz.trackIds = {"t1", "t2"};
  out.musicBrainz.discNumber = 1;
  out.musicBrainz.discCount = 2;
  return out;
}

}  // namespace

// Catches ids of an earlier MusicBrainz lookup kept after a CDDB lookup renamed the disc:
// the files would carry another release's ids (and its cover).
TEST(MusicBrainzIds, CddbLookupClearsThem) {
  CdInfo info;
  ApplyCddbOutputs(MusicBrainzOutputs(), info);
  EXPECT_EQ(MusicBrainzIdsOf(info), MusicBrainzOutputs().musicBrainz);
  CddbOutputs cddb;
  cddb.title = "Other";
  cddb.trackNames = "A\nB\n";
  ApplyCddbOutputs(cddb, info);
  EXPECT_EQ(MusicBrainzIdsOf(info), MusicBrainzIds{});
  EXPECT_TRUE(info.musicBrainzReleaseId.empty());
  EXPECT_EQ(info.discNumber, 0);
}

// Catches ids that stay with names typed by hand, and ids lost over a change that is no
// change of name (the year, the genre, empty names after the last track).
TEST(MusicBrainzIds, TypedNamesClearThem) {
  CdInfo looked;
  ApplyCddbOutputs(MusicBrainzOutputs(), looked);
  const MusicBrainzNaming naming = KeepMusicBrainzNaming(looked);

  CdInfo shown;  // as the window gives it: no ids of its own
  shown.title = "Album";
  shown.artist = "Band";
  shown.year = "1999";
  shown.genre = "Rock";
  shown.trackNames = {"One", "Two", ""};
  AttachMusicBrainzIds(naming, shown);
  EXPECT_EQ(MusicBrainzIdsOf(shown), naming.ids);

  for (auto edit : {+[](CdInfo& i) { i.title = "Album!"; }, +[](CdInfo& i) { i.artist = "Other"; },
                    +[](CdInfo& i) { i.trackNames[1] = "Too"; }, +[](CdInfo& i) { i.trackNames.push_back("Three"); }}) {
    CdInfo typed = shown;
    edit(typed);
    AttachMusicBrainzIds(naming, typed);
    EXPECT_EQ(MusicBrainzIdsOf(typed), MusicBrainzIds{});
  }
}

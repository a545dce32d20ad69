// CD information: track rows, snapshot and restore, drop-down vocabularies.
#include "maker/metadata/cd_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// Catches: Cancel losing the names that were there before the window was shown.
TEST(CdInfo, CancelAfterRenamingThreeRowsBringsBackOldNames) {
  CdInfo info;
  info.SetTrackName(1, "One");
  info.SetTrackName(2, "Two");
  info.SetTrackName(3, "Three");
  info.title = "Album";
  const auto snapshot = CdInfoSnapshot::Take(info);
  info.SetTrackName(1, "x");
  info.SetTrackName(2, "y");
  info.SetTrackName(3, "z");
  info.title = "Other";
  snapshot.Restore(info);
  EXPECT_EQ(info.TrackName(1), "One");
  EXPECT_EQ(info.TrackName(2), "Two");
  EXPECT_EQ(info.TrackName(3), "Three");
  EXPECT_EQ(info.title, "Album");
}

// Catches: the snapshot's buffer limits splitting a UTF-8 character.
TEST(CdInfo, SnapshotCutsFieldsToBufferSizesOnCharacterBoundaries) {
  CdInfo info;
  info.title.clear();
  for (int i = 0; i < 200; ++i) info.title += "\xC3\xA9";  // é
  info.year = "2001-2002-2003-2004";
  const auto snapshot = CdInfoSnapshot::Take(info);
  EXPECT_EQ(snapshot.title.size(), 127u * 2);
  EXPECT_EQ(snapshot.year, "2001-2002-2003-");
}

// Catches: track numbers outside 1 … 99 writing past the list.
TEST(CdInfo, TrackNamesOutsideTheDiscRangeAreIgnored) {
  CdInfo info;
  info.SetTrackName(0, "zero");
  info.SetTrackName(100, "hundred");
  info.SetTrackName(99, "last");
  EXPECT_EQ(info.trackNames.size(), 99u);
  EXPECT_EQ(info.TrackName(99), "last");
  EXPECT_EQ(info.TrackName(100), "");
  EXPECT_EQ(info.TrackName(-1), "");
}

// Catches: row text and name extraction disagreeing (names lost after OK).
TEST(CdInfo, TrackRowRoundTripsItsName) {
  EXPECT_EQ(CdTrackRow(3, "Song\tX"), " 03\tSong\tX");
  EXPECT_EQ(CdTrackRowName(CdTrackRow(3, "Song\tX")), "Song\tX");
  EXPECT_EQ(CdTrackRowName(" 04"), "");
}

// Catches: a broken vocabulary (missing entries, unsorted, the doubled Fusion dropped).
TEST(CdInfo, GenreListHoldsTheSortedVocabulary) {
  const auto& genres = CdGenreList();
  EXPECT_EQ(std::count(genres.begin(), genres.end(), "Fusion"), 2);
  EXPECT_EQ(genres.front(), "Acid");
  EXPECT_EQ(genres.back(), "Vocal");
  EXPECT_NE(std::find(genres.begin(), genres.end(), "Pop"), genres.end());
}

// Catches: server entries of the wrong form or order (14 cddbp, then 11 http).
TEST(CdInfo, ServerListHoldsCddbpThenHttpAddresses) {
  const auto& servers = CddbServerList();
  for (std::size_t i = 0; i < servers.size(); ++i) {
    const std::string server(servers[i]);
    if (i < 14) {
      EXPECT_EQ(server.rfind("cddbp://", 0), 0u) << server;
      EXPECT_TRUE(server.ends_with(":888") || server.ends_with(":8880")) << server;
    } else {
      EXPECT_TRUE(CddbServerIsHttp(server)) << server;
      EXPECT_TRUE(server.ends_with(":80")) << server;
    }
  }
  EXPECT_TRUE(CddbServerIsHttp("HTTP://x"));
  EXPECT_FALSE(CddbServerIsHttp("cddbp://x"));
}

// Catches: proxy edits enabled for a cddbp server, or the pattern edit out of step.
TEST(CdInfo, ControlStatesFollowServerAndCheckBoxes) {
  CdInfo info;
  info.cddbServer = "HTTP://example.org";
  info.useHttpProxy = true;
  auto state = CdInfoControls(info);
  EXPECT_TRUE(state.useHttpProxyCheckBox);
  EXPECT_TRUE(state.httpProxyEdit);
  EXPECT_FALSE(state.socksProxyEdit);
  EXPECT_FALSE(state.filenamePatternEdit);
  info.cddbServer = "cddbp://example.org";
  info.useSocksProxy = true;
  info.useFileNameFormat = true;
  state = CdInfoControls(info);
  EXPECT_FALSE(state.useHttpProxyCheckBox);
  EXPECT_FALSE(state.httpProxyEdit);
  EXPECT_TRUE(state.socksProxyEdit);
  EXPECT_TRUE(state.filenamePatternEdit);
  EXPECT_EQ(TrackNamePromptLabel(7), "Enter name for track 07:");
}

}  // namespace

// CD information: track rows, snapshot and restore, drop-down vocabularies.
#include "maker/metadata/cd_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// Catches: Cancel losing the names that were there before the window was shown.
TEST(CdInfo, CancelAfterRenamingThreeRowsBringsBackOldNames) {
  CdInfo info;
  const char* names[] = {"One", "Two", "Three"};
  for (int row = 1; row <= 3; ++row) info.SetTrackName(row, names[row - 1]);
  info.title = "Album";
  const auto snapshot = CdInfoSnapshot::Take(info);
  for (int row = 1; row <= 3; ++row) info.SetTrackName(row, "x");
  info.title = "Other";
  snapshot.Restore(info);
  for (int row = 1; row <= 3; ++row) EXPECT_EQ(info.TrackName(row), names[row - 1]);
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
  EXPECT_EQ(info.TrackName(100) + info.TrackName(-1), "");
}

// Catches: row text and name extraction disagreeing (names lost after OK).
TEST(CdInfo, TrackRowRoundTripsItsName) {
  EXPECT_EQ(CdTrackRow(3, "Song\tX"), " 03\tSong\tX");
  EXPECT_EQ(CdTrackRowName(CdTrackRow(3, "Song\tX")), "Song\tX");
  EXPECT_EQ(CdTrackRowName(" 04"), "");
}

// Catches: a broken genre vocabulary (reordered, the doubled Fusion dropped) or server
// entries of the wrong form or order (cddbp, then http, gnudb first in each), or an entry
// that names no real server (the list once held placeholder hosts).
TEST(CdInfo, GenreAndServerListsHoldTheirVocabularies) {
  const auto& genres = CdGenreList();
  EXPECT_EQ(std::count(genres.begin(), genres.end(), "Fusion"), 2);
  EXPECT_EQ(genres.front(), "Acid");
  EXPECT_EQ(genres.back(), "Vocal");
  const auto& servers = CddbServerList();
  for (std::size_t i = 0; i < servers.size(); ++i) {
    const std::string server(servers[i]);
    EXPECT_EQ(CddbServerIsHttp(server), i >= 3) << server;
    EXPECT_EQ(server.rfind(i < 3 ? "cddbp://" : "http://", 0), 0u) << server;
    EXPECT_TRUE(i < 3 ? server.ends_with(":888") || server.ends_with(":8880") : server.ends_with(":80")) << server;
    // Only servers that exist: the public one and the user's own machine.
    EXPECT_TRUE(server.find("//gnudb.gnudb.org:") != std::string::npos ||
                server.find("//localhost:") != std::string::npos)
        << server;
  }
  EXPECT_EQ(servers[0], "cddbp://gnudb.gnudb.org:8880");
  EXPECT_EQ(servers[3], "http://gnudb.gnudb.org:80");
  EXPECT_TRUE(CddbServerIsHttp("HTTP://x"));
}

// Catches: proxy edits enabled for a cddbp server, or the pattern edit out of step.
TEST(CdInfo, ControlStatesFollowServerAndCheckBoxes) {
  CdInfo info;
  info.cddbServer = "HTTP://example.org";
  info.useHttpProxy = true;
  auto state = CdInfoControls(info);
  EXPECT_TRUE(state.useHttpProxyCheckBox && state.httpProxyEdit);
  EXPECT_FALSE(state.socksProxyEdit || state.filenamePatternEdit);
  info.cddbServer = "cddbp://example.org";
  info.useSocksProxy = true;
  info.useFileNameFormat = true;
  state = CdInfoControls(info);
  EXPECT_FALSE(state.useHttpProxyCheckBox || state.httpProxyEdit);
  EXPECT_TRUE(state.socksProxyEdit && state.filenamePatternEdit);
  EXPECT_EQ(TrackNamePromptLabel(7), "Enter name for track 07:");
}

}  // namespace

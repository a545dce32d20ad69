// The CD information kept per disc for the session.
#include "maker/metadata/disc_info_session.h"

#include <gtest/gtest.h>

namespace {

DiscLayout Layout(std::vector<std::int32_t> startSectors) {
  DiscLayout disc;
  disc.trackCount = static_cast<int>(startSectors.size()) - 1;
  disc.startSectors = std::move(startSectors);
  return disc;
}

DiscFields Typed(const std::string& album, const std::string& artist, const std::string& track1) {
  DiscFields typed = EmptyDiscFields();
  typed.fields.title = album;
  typed.fields.artist = artist;
  typed.fields.year = "1999";
  typed.fields.genre = "Jazz";
  typed.fields.trackNames = {track1};
  typed.discTextFill.title = album;
  return typed;
}

void ExpectSame(const DiscFields& got, const DiscFields& want) {
  EXPECT_EQ(got.fields.title, want.fields.title);
  EXPECT_EQ(got.fields.artist, want.fields.artist);
  EXPECT_EQ(got.fields.year, want.fields.year);
  EXPECT_EQ(got.fields.genre, want.fields.genre);
  EXPECT_EQ(got.fields.trackNames, want.fields.trackNames);
  EXPECT_EQ(got.discTextFill.title, want.discTextFill.title);
  EXPECT_EQ(got.discTextFill.artist, want.discTextFill.artist);
  EXPECT_EQ(got.discTextFill.trackNames, want.discTextFill.trackNames);
}

// Catches the fields of one disc carried over to another disc, a disc seen earlier that
// does not get its fields back (or gets them as they were before its last changes), and a
// re-read of the same disc that clears what was typed for it.
TEST(DiscInfoSession, EachDiscKeepsItsOwnFields) {
  DiscInfoSession session;
  const DiscLayout first = Layout({0, 150, 375});
  const DiscLayout second = Layout({0, 225, 450});
  const DiscFields empty = EmptyDiscFields();

  // The first disc takes what the window holds; a re-read of it changes nothing.
  ExpectSame(session.SwitchTo("/dev/sr0", first, empty), empty);
  const DiscFields firstTyped = Typed("Album One", "Artist One", "Song One");
  ExpectSame(session.SwitchTo("/dev/sr0", first, firstTyped), firstTyped);

  // Another disc starts empty.
  ExpectSame(session.SwitchTo("/dev/sr0", second, firstTyped), empty);
  const DiscFields secondTyped = Typed("Album Two", "Artist Two", "Song Two");

  // Back to the first: its fields as left; then the second's as left.
  ExpectSame(session.SwitchTo("/dev/sr0", first, secondTyped), firstTyped);
  DiscFields firstChanged = firstTyped;
  firstChanged.fields.title = "Album One (changed)";
  ExpectSame(session.SwitchTo("/dev/sr0", second, firstChanged), secondTyped);
  ExpectSame(session.SwitchTo("/dev/sr0", first, secondTyped), firstChanged);
}

// Catches discs told apart by their CDDB disc id alone (which two discs may share) or by
// their track count alone, two drives (two disc images of one layout) taken for one disc,
// and no disc (an empty table) that keeps the last disc's fields.
TEST(DiscInfoSession, DiscsDifferByEveryStartSector) {
  DiscInfoSession session;
  const DiscFields typed = Typed("Album", "Artist", "Song");
  const DiscFields empty = EmptyDiscFields();
  session.SwitchTo("/dev/sr0", Layout({0, 150, 375}), empty);
  // Same track count and length, another start of track 2.
  ExpectSame(session.SwitchTo("/dev/sr0", Layout({0, 151, 375}), typed), empty);
  // Same start sectors, another lead-out.
  ExpectSame(session.SwitchTo("/dev/sr0", Layout({0, 151, 376}), typed), empty);
  // No disc in the drive.
  ExpectSame(session.SwitchTo("/dev/sr0", DiscLayout{}, typed), empty);
  ExpectSame(session.SwitchTo("/dev/sr0", Layout({0, 151, 376}), empty), typed);
  // The same layout in another drive.
  ExpectSame(session.SwitchTo("/music/b.cue", Layout({0, 151, 376}), typed), empty);
  ExpectSame(session.SwitchTo("/dev/sr0", Layout({0, 151, 376}), empty), typed);
}

// Catches an empty disc's fields that differ from a fresh window's (a year or genre left
// over as a value).
TEST(DiscInfoSession, EmptyFieldsAreAFreshWindows) {
  const DiscFields empty = EmptyDiscFields();
  const CdInfo fresh;
  EXPECT_EQ(empty.fields.title, "");
  EXPECT_EQ(empty.fields.artist, "");
  EXPECT_EQ(empty.fields.year, fresh.year);
  EXPECT_EQ(empty.fields.genre, fresh.genre);
  EXPECT_TRUE(empty.fields.trackNames.empty());
  EXPECT_TRUE(empty.discTextFill.trackNames.empty());
}

}  // namespace

// The CD information filled from a disc's own titles and performers where nothing is typed.
#include "maker/metadata/disc_text_fill.h"

#include <gtest/gtest.h>

#include <string>

namespace {

DiscText Disc(std::string title, std::string performer, std::vector<TrackText> tracks = {}) {
  return DiscText{std::move(title), std::move(performer), std::move(tracks)};
}

struct CleanCase {
  const char* name;
  std::string value;
  std::string shown;
};

std::ostream& operator<<(std::ostream& out, const CleanCase& c) { return out << c.name; }

class DiscTextCleaning : public ::testing::TestWithParam<CleanCase> {};

// Catches a disc value reaching names and terminals with an escape sequence in it, 8-bit
// text shown as broken UTF-8, UTF-8 converted twice, and values longer than the window's.
TEST_P(DiscTextCleaning, TitleIsCleanedAsCddbText) {
  const DiscTextFill values = DiscTextValues(Disc(GetParam().value, ""), 0);
  EXPECT_EQ(values.title, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DiscTextCleaning,
    ::testing::Values(CleanCase{"Utf8KeptAsItIs", "Café – Ünïcödé 日本語", "Café – Ünïcödé 日本語"},
                      CleanCase{"Latin1Converted", "Caf\xe9 \xdc" "ber", "Café Über"},
                      CleanCase{"ControlCharactersOut", "Red\x1b[31m\tTab\x07\xc2\x9b", "Red[31m Tab"},
                      CleanCase{"BlanksAroundDropped", "  \t Spaced  ", "Spaced"},
                      CleanCase{"OnlyBlanksIsNothing", "   ", ""},
                      CleanCase{"CutTo127Characters", std::string(60, 'a') + std::string(100, 'x') + "\xe3\x81\x82",
                                std::string(60, 'a') + std::string(67, 'x')}));

// Catches compilations losing their artist, and one track's guest made the album's artist.
TEST(DiscTextValues, ArtistFromTheTracksOnlyWhenTheyAllAgree) {
  EXPECT_EQ(DiscTextValues(Disc("", "Band", {{"a", "Other"}}), 1).artist, "Band");
  EXPECT_EQ(DiscTextValues(Disc("", "", {{"a", "Solo"}, {"b", "Solo"}}), 2).artist, "Solo");
  EXPECT_EQ(DiscTextValues(Disc("", "", {{"a", "Solo"}, {"b", "Guest"}}), 2).artist, "");
  EXPECT_EQ(DiscTextValues(Disc("", "", {{"a", "Solo"}}), 2).artist, "");
}

// Catches typed values overwritten by the disc's, and empty fields left empty.
TEST(FillCdInfoFromDiscText, FillsOnlyWhatIsNotTyped) {
  CdInfo info;
  info.artist = "Typed Artist";
  info.SetTrackName(2, "Typed Name");
  const DiscTextFill filled =
      FillCdInfoFromDiscText(Disc("Album", "Sheet Artist", {{"One", ""}, {"Two", ""}, {"Three", ""}}), 3, {}, info);
  EXPECT_EQ(info.title, "Album");
  EXPECT_EQ(info.artist, "Typed Artist");
  EXPECT_EQ(info.TrackName(1), "One");
  EXPECT_EQ(info.TrackName(2), "Typed Name");
  EXPECT_EQ(info.TrackName(3), "Three");
  EXPECT_EQ(filled.title, "Album");
  EXPECT_EQ(filled.artist, "");
  EXPECT_EQ(filled.TrackName(2), "");
  EXPECT_EQ(filled.TrackName(3), "Three");
}

// Catches the previous disc's titles taken for typed ones when another disc is chosen (they
// would name its files), and a value typed over them lost on that change.
TEST(FillCdInfoFromDiscText, NextDiscReplacesWhatTheLastOnePutIn) {
  CdInfo info;
  DiscTextFill filled = FillCdInfoFromDiscText(
      Disc("First Album", "First Artist", {{"A1", ""}, {"A2", ""}, {"A3", ""}}), 3, {}, info);
  info.title = "Typed Title";
  info.SetTrackName(1, "Typed One");
  filled = FillCdInfoFromDiscText(Disc("", "Second Artist", {{"B1", ""}}), 2, filled, info);
  EXPECT_EQ(info.title, "Typed Title");
  EXPECT_EQ(info.artist, "Second Artist");
  EXPECT_EQ(info.TrackName(1), "Typed One");
  EXPECT_EQ(info.TrackName(2), "");
  EXPECT_EQ(info.TrackName(3), "");   // the first disc's third name goes with it
  filled = FillCdInfoFromDiscText(DiscText{}, 2, filled, info);
  EXPECT_EQ(info.artist, "");
  EXPECT_EQ(info.title, "Typed Title");
}

}  // namespace

// Output file names of ripped tracks: cleaning, pattern expansion, folder safety.
#include "maker/metadata/file_name_pattern.h"

#include <utility>

#include <gtest/gtest.h>

namespace {

CdInfo PatternInfo(std::string artist, std::string title) {
  CdInfo info;
  info.useFileNameFormat = true;
  info.artist = std::move(artist);
  info.title = std::move(title);
  return info;
}

// Catches: placeholders filled in the wrong order or track names left uncleaned.
TEST(FileNamePattern, DefaultPatternNamesTrackFromArtistTitleNumberAndCleanedName) {
  const CdInfo info = PatternInfo("A", "B");
  EXPECT_EQ(TrackFilePath("/music", info, 3, "C/D", ".wav"), "/music/(A) [B] [03] C-D.wav");
  EXPECT_EQ(TrackFilePath("/music/\r\n", info, 3, "C/D", ".tmp"), "/music/(A) [B] [03] C-D.tmp");
}

// Catches: every occurrence replaced instead of only the first, or a value holding a later
// placeholder not expanded in turn (the search runs over the changed text).
TEST(FileNamePattern, OnlyFirstOccurrenceOfEachPlaceholderIsReplacedInTheChangedText) {
  PatternValues values;
  values.trackNumber = "05";
  values.year = "1999";
  EXPECT_EQ(ExpandFileNamePattern("$track#$-$track#$ $year$$year$", values),
            "05-$track#$ 1999$year$");
  values.trackName = "$artist$";
  values.artist = "Band";
  EXPECT_EQ(ExpandFileNamePattern("$trackname$ $artist$", values), "Band $artist$");
}

// Catches: empty values leaving the placeholder text in the name.
TEST(FileNamePattern, EmptyValuesRemoveTheirPlaceholders) {
  PatternValues none;
  EXPECT_EQ(ExpandFileNamePattern("$genre$x$year$", none), "x");
}

// Catches: a disc with nothing known named "() [] [01] Track01", with empty brackets,
// dangling separators or empty folders where the unknown values were.
TEST(FileNamePattern, UnknownValuesNameNoEmptyBracketsSeparatorsOrFolders) {
  CdInfo info = PatternInfo("", "");
  info.genre.clear();
  EXPECT_EQ(TrackFileName(info, 1, ""), "(Unknown Artist) [Unknown Album] [01] Track01");
  info.artist = "Band";
  info.title = "Disc";
  const std::pair<const char*, const char*> cases[] = {
      {"$artist$ ($year$) $trackname$", "Band Song"},
      {"$artist$ - $year$ - $trackname$", "Band - Song"},
      {"$year$ - $trackname$", "Song"},
      {"$trackname$ [$genre$]", "Song"},
      {"$trackname$ [$genre$, $year$]", "Song"},
      {"$genre$/$artist$/$trackname$", "Band/Song"},
      {"$artist$/$year$/", "Band"},
      {"$genre$ $year$", "Song"},
      {"[$genre$ - $track#$] $trackname$", "[01] Song"},
      {"()$trackname$", "()Song"},  // brackets the pattern itself leaves empty stay
  };
  for (const auto& [pattern, expected] : cases) {
    info.fileNamePattern = pattern;
    EXPECT_EQ(TrackFileName(info, 1, "Song"), expected) << pattern;
  }
  info.genre = "Jazz";
  info.year = "1999";
  info.fileNamePattern = "$artist$ - $year$ - $trackname$ [$genre$]";
  EXPECT_EQ(TrackFileName(info, 1, "Song"), "Band - 1999 - Song [Jazz]");
}

// Catches: a missing name giving an empty file name instead of TrackNN.
TEST(FileNamePattern, TrackWithoutNameIsCalledTrackNumber) {
  CdInfo info;
  EXPECT_EQ(TrackFileName(info, 7, ""), "Track07");
  EXPECT_EQ(CleanTrackName("a/b:c*d?e\"f<g>h|i", 1), "a-b-c-d-e-f-g-h-i");
  EXPECT_EQ(CleanTrackName(std::string("x\0y", 3), 1), "x-y");
}

// Catches: the year edit's placeholder "YYYY" named into files as if it were a year.
TEST(FileNamePattern, UnknownYearRemovesItsPlaceholder) {
  CdInfo info = PatternInfo("Artist", "Album");
  info.fileNamePattern = "$artist$ ($year$) $trackname$";
  EXPECT_EQ(info.year, "");
  EXPECT_EQ(TrackFileName(info, 1, "Song"), "Artist Song");
  info.year = "YYYY";  // the placeholder typed as a value means the same
  EXPECT_EQ(TrackFileName(info, 1, "Song"), "Artist Song");
  info.year = "1999";
  EXPECT_EQ(TrackFileName(info, 1, "Song"), "Artist (1999) Song");
}

// Catches: titles, artists (e.g. from a CDDB reply) escaping the output folder.
TEST(FileNamePattern, DiscValuesCannotLeaveTheOutputFolder) {
  CdInfo info = PatternInfo("../../etc", "..");
  info.fileNamePattern = "$artist$/$title$/$trackname$";
  EXPECT_EQ(TrackFileName(info, 1, ".."), "..-..-etc/-/-");
  info.fileNamePattern = "$title$";
  info.title = "/abs/path";
  EXPECT_EQ(TrackFilePath("/out", info, 1, "", ".wav"), "/out/-abs-path.wav");
  info.title = std::string("a\0b", 3);
  EXPECT_EQ(TrackFileName(info, 1, ""), "a-b");
  info.fileNamePattern = "$year$";
  info.year.assign(1, '.');
  EXPECT_EQ(TrackFileName(info, 1, ""), "-");
}

// Catches: the pattern's own '/' flattened (sub-folders are wanted) or its own ".."
// components kept.
TEST(FileNamePattern, PatternSlashesMakeSubfoldersButDotComponentsAreNeutralized) {
  CdInfo info = PatternInfo("AC/DC", "Live");
  info.fileNamePattern = "$artist$/$title$/$track#$ $trackname$";
  EXPECT_EQ(TrackFileName(info, 2, "Song"), "AC-DC/Live/02 Song");
  info.fileNamePattern = "../$trackname$/./x..y";
  EXPECT_EQ(TrackFileName(info, 2, "Song"), "-/Song/-/x..y");
  EXPECT_EQ(NeutralizeDotComponents("..."), "...");
  EXPECT_EQ(NeutralizeDotComponents("a/../b/"), "a/-/b/");
}

// Catches: the plain track name used with the pattern switched off bypassing the checks.
TEST(FileNamePattern, WithoutPatternTheCleanedTrackNameIsUsed) {
  CdInfo info;
  info.artist = "Ignored";
  EXPECT_EQ(TrackFilePath("/out/", info, 12, "A: B", ".wav"), "/out/A- B.wav");
  EXPECT_EQ(TrackFileName(info, 1, ".."), "-");
  EXPECT_EQ(TrimOutputDirectory("/"), "");
}

}  // namespace

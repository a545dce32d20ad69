// The titles and performers a disc names for itself: TITLE and PERFORMER of a .cue sheet,
// the CD_TEXT blocks of a .toc file, CD-Text as libcdio hands it over.
#include <gtest/gtest.h>

#include <cdio/cdio.h>
#include <cdio/cdtext.h>

#include <string>
#include <vector>

#include "cdaccess/cd_source_internal.h"
#include "cdaccess/cue_sheet_parser.h"
#include "cdaccess/disc_text.h"
#include "cdaccess/toc_file_parser.h"

namespace {

// "title|performer" of the album, then of each track, one per line: what tests compare.
std::string Shown(const DiscText& text) {
  std::string shown = text.title + "|" + text.performer + "\n";
  for (const TrackText& track : text.tracks) shown += track.title + "|" + track.performer + "\n";
  return shown;
}

std::string CueText(const std::string& sheet) {
  auto parsed = ParseCueSheet(sheet);
  if (!parsed) return "error: " + parsed.Error().text;
  return Shown(parsed.Value().text);
}

std::string TocText(const std::string& sheet) {
  auto parsed = ParseTocFile(sheet);
  if (!parsed) return "error: " + parsed.Error().text;
  return Shown(parsed.Value().text);
}

struct TextCase {
  const char* name;
  std::string sheet;
  std::string expected;
};

std::ostream& operator<<(std::ostream& out, const TextCase& c) { return out << c.name; }

const std::string kFile = "FILE \"a.bin\" BINARY\n";
const std::string kTrack1 = "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
const std::string kTrack2 = "  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n";

class CueSheetText : public ::testing::TestWithParam<TextCase> {};

// Catches album and track values mixed up, values lost to their quoting, a TITLE after a
// track's INDEX lines not counted for the track, and a strange value failing a good sheet.
TEST_P(CueSheetText, GoesToTheAlbumOrTheTrack) { EXPECT_EQ(CueText(GetParam().sheet), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Sheets, CueSheetText,
    ::testing::Values(
        TextCase{"AlbumBeforeTheFirstTrackTracksAfterTheirTrackLine",
                 "PERFORMER \"Café – Ünïcödé\"\nTITLE \"日本のアルバム\"\n" + kFile +
                     "  TRACK 01 AUDIO\n    TITLE \"最初の曲\"\n    PERFORMER \"Someone\"\n    INDEX 01 00:00:00\n"
                     "  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n    TITLE \"After The Index\"\n",
                 "日本のアルバム|Café – Ünïcödé\n最初の曲|Someone\nAfter The Index|\n"},
        TextCase{"UnquotedValueIsTheRestOfTheLine",
                 "title   Two Words Here  \r\nPERFORMER Solo\r\n" + kFile + kTrack1,
                 "Two Words Here|Solo\n"},
        TextCase{"MissingValuesStayEmpty", kFile + kTrack1 + kTrack2 + "    TITLE \"Second\"\n",
                 "|\n|\nSecond|\n"},
        TextCase{"EmptyValueLeavesRoomForALaterOne", "TITLE \"\"\nTITLE\nTITLE \"Later\"\nTITLE \"Ignored\"\n" + kFile + kTrack1,
                 "Later|\n"},
        TextCase{"QuoteLeftOpenOrInsideTheValueKeepsTheText",
                 "TITLE \"Open to the end\nPERFORMER \"The \"Best\" Band\"\n" + kFile + kTrack1,
                 "Open to the end|The \"Best\" Band\n"},
        TextCase{"ControlCharactersAndOtherBytesAreKeptForTheReaderToClean",
                 "TITLE \"Red\x1b[31m\tTab\"\nPERFORMER \"Caf\xe9\"\n" + kFile + kTrack1,
                 "Red\x1b[31m\tTab|Caf\xe9\n"},
        TextCase{"FirstTrackNumberAboveOneIsTheFirstEntry",
                 kFile + "  TRACK 03 AUDIO\n    TITLE Three\n    INDEX 01 00:00:00\n  TRACK 04 AUDIO\n    TITLE Four\n"
                         "    INDEX 01 00:00:20\n",
                 "|\nThree|\nFour|\n"},
        TextCase{"TextDoesNotRescueABrokenSheet", "TITLE \"Fine\"\n" + kFile + "  TRACK 01 AUDIO\n    INDEX 02 00:00:00\n",
                 "error: line 4: track 1 begins with INDEX 02 00:00:00 (INDEX 00 or 01 expected)"},
        TextCase{"UnclosedQuoteOnAnAudioLineStillFails", "TITLE \"Fine\"\nFILE \"a.bin BINARY\n" + kTrack1,
                 "error: line 2: a quote is not closed"}));

// Catches a value longer than the limit kept whole, or cut inside a UTF-8 character.
TEST(CueSheetTextLimit, LongValueIsCutAtAWholeCharacter) {
  std::string long_title;
  for (int i = 0; i < 1000; ++i) long_title += "é";   // two bytes each
  const auto parsed = ParseCueSheet("TITLE \"x" + long_title + "\"\n" + kFile + kTrack1);
  ASSERT_TRUE(parsed) << parsed.Error().text;
  const std::string& title = parsed.Value().text.title;
  EXPECT_EQ(title.size(), kDiscTextValueBytes - 1);
  EXPECT_EQ(title, "x" + long_title.substr(0, kDiscTextValueBytes - 2));
}

class TocFileText : public ::testing::TestWithParam<TextCase> {};

// Catches CD_TEXT read from the wrong language or block level, octal escapes not decoded,
// and binary items or other fields taken for titles.
TEST_P(TocFileText, TakesTheFirstLanguage) { EXPECT_EQ(TocText(GetParam().sheet), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Files, TocFileText,
    ::testing::Values(
        TextCase{"AlbumAndTracks",
                 "CD_DA\nCD_TEXT {\n  LANGUAGE_MAP { 0 : EN 1 : 9 }\n"
                 "  LANGUAGE 0 {\n    TITLE \"Caf\\351 Album\"\n    PERFORMER \"Band\"\n    SIZE_INFO { 0, 1, 2 }\n  }\n"
                 "  LANGUAGE 1 {\n    TITLE \"Other Language\"\n  }\n}\n"
                 "TRACK AUDIO\nCD_TEXT { LANGUAGE 0 { TITLE \"One\" PERFORMER \"Singer\" SONGWRITER \"Writer\" } }\n"
                 "FILE \"a.bin\" 0 00:01:00\n"
                 "TRACK AUDIO\nFILE \"a.bin\" 00:01:00 00:01:00\n"
                 "TRACK AUDIO\nCD_TEXT { LANGUAGE 0 { TITLE { 1, 2 } PERFORMER \"Binary Title Skipped\" } }\n"
                 "FILE \"a.bin\" 00:02:00 00:01:00\n",
                 "Caf\xe9 Album|Band\nOne|Singer\n|\n|Binary Title Skipped\n"},
        TextCase{"WithoutCdText", "CD_DA\nTRACK AUDIO\nFILE \"a.bin\" 0\n", "|\n"},
        TextCase{"UnclosedBlockStillFails", "CD_DA\nCD_TEXT { LANGUAGE 0 { TITLE \"x\" }\nTRACK AUDIO\nFILE \"a.bin\" 0\n",
                 "error: line 2: the CD_TEXT block is not closed"}));

// Catches CD-Text of a disc whose first track is not track 1 landing on the wrong rows.
TEST(CdTextOfARealDisc, TracksCountFromTheFirstTrack) {
  cdtext_t* text = cdtext_init();
  ASSERT_NE(text, nullptr);
  const auto set = [&](cdtext_field_t field, const char* value, int track) {
    cdtext_set(text, field, reinterpret_cast<const uint8_t*>(value), static_cast<track_t>(track), nullptr);
  };
  set(CDTEXT_FIELD_TITLE, "Album", 0);
  set(CDTEXT_FIELD_PERFORMER, "Artist", 0);
  set(CDTEXT_FIELD_TITLE, "Two", 2);
  set(CDTEXT_FIELD_TITLE, "Three", 3);
  set(CDTEXT_FIELD_PERFORMER, "Guest", 3);
  set(CDTEXT_FIELD_TITLE, "Beyond", 5);
  EXPECT_EQ(Shown(DiscTextFromCdText(text, /*firstTrack=*/2, /*trackCount=*/3)), "Album|Artist\nTwo|\nThree|Guest\n");
  EXPECT_TRUE(DiscTextFromCdText(nullptr, 1, 3).Empty());
  cdtext_destroy(text);
}

}  // namespace

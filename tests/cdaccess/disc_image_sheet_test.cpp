// The .cue and .toc readers and the layout that checks their track table against the data.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cdaccess/cd_source.h"
#include "cdaccess/cue_sheet_parser.h"
#include "cdaccess/disc_image_layout.h"
#include "cdaccess/msf_time.h"
#include "cdaccess/toc_file_parser.h"

namespace {

constexpr int64_t kSector = 2352;

struct SheetCase {
  const char* name;
  const char* text;
  std::vector<int64_t> fileBytes;   // the size of each file, in the order the sheet names them
  const char* expected;             // start sectors and lead-out, or a part of the error
};

std::ostream& operator<<(std::ostream& out, const SheetCase& c) { return out << c.name; }

// The sheet laid out over files of the given sizes: "0 150 300" (starts and lead-out), or
// "error: ..." with the reason.
std::string Layout(bool cue, const SheetCase& c) {
  auto sheet = cue ? ParseCueSheet(c.text) : ParseTocFile(c.text);
  if (!sheet) return "error: " + sheet.Error().text;
  if (sheet.Value().files.size() != c.fileBytes.size())
    return "the sheet names " + std::to_string(sheet.Value().files.size()) + " files";
  auto layout = LayOutDiscImage(sheet.Value(), c.fileBytes);
  if (!layout) return "error: " + layout.Error().text;
  std::string starts;
  for (int32_t s : layout.Value().starts) starts += (starts.empty() ? "" : " ") + std::to_string(s);
  return starts;
}

std::string Repeat(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

class CueSheetLayout : public ::testing::TestWithParam<SheetCase> {};

// Catches: tracks placed anywhere but where the sheet and the file sizes put them, for the
// layouts ripping tools write (one file, a file per track with the pregap at the end of
// the previous file or in the next one, generated gaps), and sheets refused for harmless
// variations of the text.
TEST_P(CueSheetLayout, GivesTheTableOfTheSheet) {
  const std::string got = Layout(/*cue=*/true, GetParam());
  EXPECT_NE(got.find(GetParam().expected), std::string::npos) << got;
  if (std::string(GetParam().expected).starts_with("error")) return;
  EXPECT_EQ(got, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sheets, CueSheetLayout,
    ::testing::Values(
        SheetCase{"OneFile",
                  "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                  "  TRACK 02 AUDIO\n    INDEX 00 00:01:70\n    INDEX 01 00:02:00\n",
                  {400 * kSector},
                  "0 150 400"},
        SheetCase{"FilePerTrack",
                  "FILE \"1.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
                  "FILE \"2.wav\" WAVE\n TRACK 02 AUDIO\n  INDEX 01 00:00:00\n",
                  {100 * kSector, 50 * kSector},
                  "0 100 150"},
        SheetCase{"PregapAtTheEndOfThePreviousFile",
                  "FILE \"1.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n  INDEX 00 00:01:00\n"
                  "FILE \"2.wav\" WAVE\n  INDEX 01 00:00:00\n",
                  {100 * kSector, 50 * kSector},
                  "0 100 150"},
        SheetCase{"PregapInTheTracksOwnFile",
                  "FILE \"1.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
                  "FILE \"2.wav\" WAVE\n TRACK 02 AUDIO\n  INDEX 00 00:00:00\n  INDEX 01 00:00:30\n",
                  {100 * kSector, 50 * kSector},
                  "0 130 150"},
        SheetCase{"FileNotAWholeNumberOfSectorsIsPadded",
                  "FILE \"1.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
                  "FILE \"2.bin\" BINARY\n TRACK 02 AUDIO\n  INDEX 01 00:00:00\n",
                  {10 * kSector + 4, 5 * kSector},
                  "0 11 16"},
        SheetCase{"GeneratedGaps",
                  "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n  POSTGAP 00:00:10\n"
                  " TRACK 02 AUDIO\n  PREGAP 00:02:00\n  INDEX 01 00:00:40\n",
                  {60 * kSector},
                  "0 200 220"},
        SheetCase{"FirstTrackNumberAndTextCommands",
                  "\xEF\xBB\xBFREM GENRE Rock\r\nPERFORMER \"Someone\"\r\nfile \"a b.bin\" binary\r\n"
                  "  track 03 audio\r\n    TITLE \"One\"\r\n    FLAGS DCP\r\n    index 01 00:00:00\r\n"
                  "  TRACK 04 MODE1/2352\r\n    ISRC ABCDE1234567\r\n    INDEX 01 00:00:20\r\n",
                  {30 * kSector},
                  "0 20 30"},
        SheetCase{"IndexBeyondTheData",
                  "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n  INDEX 01 10:00:00\n",
                  {10 * kSector},
                  "error: track 2: INDEX 01 10:00:00 lies beyond the end of \"a.bin\" (00:00:10)"},
        SheetCase{"DecreasingStarts",
                  "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:05\n TRACK 02 AUDIO\n  INDEX 01 00:00:02\n",
                  {10 * kSector},
                  "error: line 5: track 2: INDEX 01 00:00:02 comes before the previous INDEX 01 00:00:05"},
        SheetCase{"ZeroLengthTrack",
                  "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:05\n TRACK 02 AUDIO\n  INDEX 01 00:00:05\n"
                  " TRACK 03 AUDIO\n  INDEX 01 00:00:07\n",
                  {10 * kSector},
                  "error: track 1 has no audio"},
        SheetCase{"LastTrackAtTheEndOfTheData",
                  "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n  INDEX 01 00:00:10\n",
                  {10 * kSector},
                  "error: track 2 has no audio"},
        SheetCase{"EmptyDataFile",
                  "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n", {0}, "error: track 1 has no audio"},
        SheetCase{"TracksOutOfOrder",
                  "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 03 AUDIO\n  INDEX 01 00:00:02\n",
                  {10 * kSector},
                  "error: line 4: TRACK 03 follows TRACK 01"},
        SheetCase{"TrackWithoutIndex1",
                  "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 00 00:00:00\n TRACK 02 AUDIO\n  INDEX 01 00:00:02\n",
                  {10 * kSector},
                  "error: line 4: track 1 has no INDEX 01"},
        SheetCase{"IndexesSkipped",
                  "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n  INDEX 03 00:00:02\n",
                  {10 * kSector},
                  "error: line 4: track 1: INDEX 03 00:00:02 follows INDEX 01"},
        SheetCase{"TrackBeforeFile", "TRACK 01 AUDIO\n INDEX 01 00:00:00\n", {}, "error: line 1: TRACK comes before the first FILE"},
        SheetCase{"UnsupportedFileType",
                  "FILE \"a.mp3\" MP3\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n", {}, "error: line 1: FILE type MP3 is not supported"},
        SheetCase{"CookedDataSectors",
                  "FILE \"a.bin\" BINARY\n TRACK 01 MODE1/2048\n  INDEX 01 00:00:00\n", {},
                  "error: line 2: track 1: MODE1/2048 sectors are not supported"},
        SheetCase{"SecondsOutOfRange",
                  "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:60:00\n", {}, "error: line 3: INDEX 01: 00:60:00 is not a time"},
        SheetCase{"UnclosedQuote", "FILE \"a.bin BINARY\n", {}, "error: line 1: a quote is not closed"},
        SheetCase{"NotACueSheet", "not a cue sheet\n", {}, "error: holds no TRACK"},
        SheetCase{"TrackLongerThanARip",
                  "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n", {(kImageMaxTrackSectors + 1) * kSector},
                  "error: track 1 is longer than a rip can hold"}),
    [](const auto& info) { return std::string(info.param.name); });

class TocFileLayout : public ::testing::TestWithParam<SheetCase> {};

// Catches: .toc tracks placed at their file offsets instead of one after the other, times
// in samples or offsets in bytes misread, and tables the data cannot hold accepted.
TEST_P(TocFileLayout, GivesTheTableOfTheFile) {
  const std::string got = Layout(/*cue=*/false, GetParam());
  EXPECT_NE(got.find(GetParam().expected), std::string::npos) << got;
  if (std::string(GetParam().expected).starts_with("error")) return;
  EXPECT_EQ(got, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, TocFileLayout,
    ::testing::Values(
        SheetCase{"OneFile",
                  "CD_DA\n// a comment\nTRACK AUDIO\nFILE \"a.bin\" 0 00:06:01\n\n"
                  "TRACK AUDIO\nNO COPY\nFILE \"a.bin\" 00:06:01 00:05:08\n",
                  {834 * kSector},
                  "0 451 834"},
        SheetCase{"FilesOneAfterTheOther",
                  "CD_DA\nTRACK AUDIO\nAUDIOFILE \"b.bin\" 0\nTRACK AUDIO\nAUDIOFILE \"a.bin\" 0\n",
                  {20 * kSector, 30 * kSector},
                  "0 20 50"},
        SheetCase{"SamplesBytesAndGaps",
                  "CD_DA\nCD_TEXT { LANGUAGE_MAP { 0 : EN } LANGUAGE 0 { TITLE \"a } \\\" b\" } }\n"
                  "TRACK AUDIO\nISRC \"ABCDE1234567\"\nFILE \"a.bin\" #2352 0 5880\n"
                  "TRACK AUDIO\nPREGAP 00:00:02\nFILE \"a.bin\" 00:00:11 00:00:03\n"
                  "TRACK AUDIO\nSILENCE 00:00:04\nFILE \"a.bin\" 00:00:14\nSTART 00:00:04\nINDEX 00:00:01\n",
                  {20 * kSector},
                  "0 12 19 25"},
        SheetCase{"SampleCountsAndStartWithinTheTrack",
                  "CD_DA\nTRACK AUDIO\nFILE \"a.bin\" 0 1176\nTRACK AUDIO\nFILE \"a.bin\" 1176 00:00:02\n"
                  "START 00:00:01\nTRACK AUDIO\nFILE \"a.bin\" #4704 0 00:00:03\n",
                  {20 * kSector},
                  "0 3 4 7"},
        SheetCase{"AudioFileThenAStretchOfAnother",
                  "CD_DA\nTRACK AUDIO\nAUDIOFILE \"t1.WAV\" 0\nTRACK AUDIO\nFILE \"a.bin\" 00:00:01 00:00:02\n",
                  {30 * kSector, 10 * kSector},
                  "0 30 32"},
        SheetCase{"StretchBeyondTheData",
                  "CD_DA\nTRACK AUDIO\nFILE \"a.bin\" 00:00:05 00:00:10\n", {10 * kSector},
                  "error: track 1: FILE \"a.bin\" 00:00:05 00:00:10 lies beyond the end of \"a.bin\" (00:00:10)"},
        SheetCase{"StartBeyondTheTrack",
                  "CD_DA\nTRACK AUDIO\nFILE \"a.bin\" 0 00:00:05\nSTART 00:00:06\nTRACK AUDIO\nFILE \"a.bin\" 0\n",
                  {10 * kSector},
                  "error: track 1: START 00:00:06 lies beyond the end of the track (00:00:05)"},
        SheetCase{"StartOffASector",
                  "CD_DA\nTRACK AUDIO\nFILE \"a.bin\" 0 00:00:05\nTRACK AUDIO\nSILENCE 100\nFILE \"a.bin\" 0\nSTART\n",
                  {10 * kSector},
                  "error: track 2: does not start on a whole sector"},
        SheetCase{"ZeroLengthTrack",
                  "CD_DA\nTRACK AUDIO\nFILE \"a.bin\" 0 0\nTRACK AUDIO\nFILE \"a.bin\" 0\n", {10 * kSector},
                  "error: track 1 has no audio"},
        SheetCase{"DataTrack", "CD_ROM\nTRACK MODE1\nDATAFILE \"a.iso\"\n", {},
                  "error: line 2: track 1: MODE1 tracks are not supported"},
        SheetCase{"SubChannelData", "CD_DA\nTRACK AUDIO RW_RAW\nFILE \"a.bin\" 0\n", {},
                  "error: line 2: track 1: sub-channel data (RW_RAW) is not supported"},
        SheetCase{"UnknownStatement", "CD_DA\nTRACK AUDIO\nFILES \"a.bin\" 0\n", {}, "error: line 3: unknown statement FILES"},
        SheetCase{"UnclosedTextBlock", "CD_DA\nCD_TEXT {\nLANGUAGE 0 {\n", {}, "error: line 2: the CD_TEXT block is not closed"},
        SheetCase{"FileWithoutStart", "CD_DA\nTRACK AUDIO\nFILE \"a.bin\"\n", {}, "error: line 3: FILE takes a time"}),
    [](const auto& info) { return std::string(info.param.name); });

// The data flags and pregap starts of a sheet laid out over files of the given sizes:
// "data 0 1 pregap -1 30", or "error: ..." with the reason.
std::string Flags(bool cue, const std::string& text, std::vector<int64_t> fileBytes) {
  auto sheet = cue ? ParseCueSheet(text) : ParseTocFile(text);
  if (!sheet) return "error: " + sheet.Error().text;
  auto layout = LayOutDiscImage(sheet.Value(), fileBytes);
  if (!layout) return "error: " + layout.Error().text;
  std::string flags = "data";
  for (uint8_t d : layout.Value().dataTracks) flags += " " + std::to_string(d);
  flags += " pregap";
  for (int32_t p : layout.Value().pregapStarts) flags += " " + std::to_string(p);
  return flags;
}

// Catches: a pregap placed at the track's INDEX 01 instead of where its INDEX 00 or its
// generated silence begins (in the same file, at the end of the previous file, at the very
// start of the disc), data tracks of either sheet read as audio, and data statements taken
// in audio tracks.
TEST(DiscImageSheet, MarksDataTracksAndWherePregapsBegin) {
  EXPECT_EQ(Flags(true,
                  "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 00 00:00:00\n  INDEX 01 00:02:00\n"
                  " TRACK 02 AUDIO\n  PREGAP 00:00:05\n  INDEX 00 00:02:10\n  INDEX 01 00:02:20\n"
                  " TRACK 03 MODE2/2352\n  INDEX 01 00:02:30\n TRACK 04 CDI/2352\n  INDEX 01 00:02:40\n",
                  {200 * kSector}),
            "data 0 0 1 1 pregap 0 160 -1 -1");
  EXPECT_EQ(Flags(true,
                  "FILE \"1.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n  INDEX 00 00:01:00\n"
                  "FILE \"2.wav\" WAVE\n  INDEX 01 00:00:00\n",
                  {100 * kSector, 50 * kSector}),
            "data 0 0 pregap -1 75");
  EXPECT_EQ(Flags(false,
                  "CD_ROM\nTRACK AUDIO\nZERO 00:02:00\nFILE \"a.bin\" 0 00:00:10\nSTART 00:02:00\n"
                  "TRACK MODE2_RAW\nPREGAP 00:00:03\nDATAFILE \"d.bin\" 00:00:07\n",
                  {10 * kSector, 20 * kSector}),
            "data 0 1 pregap 0 160");
  // The sectors of a data file are read as stored, also from a file named like a WAVE file.
  const auto named = ParseTocFile("CD_ROM\nTRACK MODE1_RAW\nDATAFILE \"data.wav\"\n");
  ASSERT_TRUE(named);
  EXPECT_EQ(named.Value().files.at(0).format, ImageFileFormat::RawLittleEndian);
  EXPECT_EQ(Flags(false, "CD_DA\nTRACK AUDIO\nDATAFILE \"a.bin\"\n", {kSector}),
            "error: line 3: track 1: DATAFILE is not supported (audio from FILE or AUDIOFILE only)");
  EXPECT_EQ(Flags(false, "CD_ROM\nTRACK MODE1_RAW\nDATAFILE \"a.bin\" 00:00:05 00:00:01\n", {kSector}),
            "error: line 3: unknown statement 00:00:01");
}

// Catches: sheets of 99 tracks refused, or a 100th track let through (libcdio 2.1 corrupted
// the heap on it, and the table used to cut it off silently).
TEST(DiscImageSheet, HoldsNinetyNineTracksAtMost) {
  for (int tracks : {99, 100}) {
    std::string cue = "FILE \"a.bin\" BINARY\n";
    for (int t = 1; t <= tracks; ++t) {
      char lines[64];
      std::snprintf(lines, sizeof lines, "  TRACK %02d AUDIO\n    INDEX 01 00:%02d:%02d\n", t, (t - 1) / 75, (t - 1) % 75);
      cue += lines;
    }
    const std::string got = Layout(/*cue=*/true, {"", cue.c_str(), {100 * kSector}, ""});
    if (tracks == 99) {
      EXPECT_TRUE(got.starts_with("0 1 2 ") && got.ends_with(" 97 98 100")) << got;
    } else {
      EXPECT_EQ(got, "error: line 200: TRACK 100: a disc holds at most 99 tracks");
    }
  }
  const std::string toc = "CD_DA\n" + Repeat("TRACK AUDIO\nFILE \"a.bin\" 0 00:00:01\n", 100);
  EXPECT_EQ(Layout(/*cue=*/false, {"", toc.c_str(), {kSector}, ""}),
            "error: line 200: TRACK 100: a disc holds at most 99 tracks");
}

// Catches: times misread at the limits of their fields.
TEST(MsfTime, ParsesAndPrintsTheFieldsAtTheirLimits) {
  EXPECT_EQ(ParseMsf("00:00:00"), 0);
  EXPECT_EQ(ParseMsf("01:02:03"), 4500 + 150 + 3);
  EXPECT_EQ(ParseMsf("9999:59:74"), (9999 * 60 + 59) * 75 + 74);
  for (const char* bad : {"00:60:00", "00:00:75", "10000:00:00", "1:2", "-1:00:00", "00:00:00 ", "a:00:00", ""})
    EXPECT_FALSE(ParseMsf(bad).has_value()) << bad;
  EXPECT_EQ(MsfText(4500 + 150 + 3), "01:02:03");
  EXPECT_EQ(MsfText(150 * 4500), "150:00:00");
}

}  // namespace

// Catches a sheet error that loses the line to blame or its category, and a drive error
// that loses the drive's code or the sector of the failed read.
TEST(DiscImageErrors, CarryTheLineTheSectorAndTheDrivesCode) {
  const std::string file = "FILE \"a.bin\" BINARY\n";
  auto cue = ParseCueSheet(file + "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 01 AUDIO\n");
  ASSERT_FALSE(cue);
  EXPECT_EQ(cue.Error().category, ErrorCategory::Format);
  EXPECT_EQ(PositionText(cue.Error().position), "line 4");
  EXPECT_TRUE(cue.Error().text.starts_with("line 4: ")) << cue.Error().text;
  auto quote = ParseTocFile("CD_DA\n\nTRACK AUDIO\nFILE \"a.bin 0\n");
  ASSERT_FALSE(quote);
  EXPECT_EQ(PositionText(quote.Error().position), "line 4");
  EXPECT_EQ(quote.Error().text, "line 4: a quote is not closed");
  auto statement = ParseTocFile("CD_DA\nBOGUS\n");
  ASSERT_FALSE(statement);
  EXPECT_EQ(PositionText(statement.Error().position), "line 2");
  EXPECT_TRUE(statement.Error().text.starts_with("line 2: ")) << statement.Error().text;
  auto empty = ParseCueSheet(file);
  ASSERT_FALSE(empty);
  EXPECT_FALSE(empty.Error().position.Known());

  const Error read = CdFailure(ErrorCategory::Io, 0x31100, 1234, "read failed");
  EXPECT_EQ(CdStatusCode(read), 0x31100);
  EXPECT_EQ(PositionText(read.position), "sector 1234");
  EXPECT_EQ(read.text, "read failed");
  EXPECT_FALSE(CdFailure(ErrorCategory::Io, 1, -1, "INQUIRY failed").position.Known());
  EXPECT_EQ(CdStatusCode(Error{}), 0);
}

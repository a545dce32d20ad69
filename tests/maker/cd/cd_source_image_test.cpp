// Disc images opened through the shared drive list: which data files are read, how each
// track's audio comes out of them, and which images are refused and why.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "cdaccess/cd_drive_list.h"
#include "maker/cd/cd_device.h"
#include "maker/cd/cd_drive_menu.h"
#include "tests/cdaccess/disc_image_builder.h"

namespace {

using testcd::Audio;
using testcd::AudioFileKind;

class DiscImageTest : public ::testing::Test {
 protected:
  // Gives the layer `sheet` (written as file `name`) as its only image; returns its drive index.
  int UseSheet(const std::string& name, const std::string& sheet) {
    std::ofstream(dir_.File(name)) << sheet;
    cd_.SetDiscImages({dir_.File(name)});
    return static_cast<int>(cd_.Drives(CdAccessMethod::OsInterface).size()) - 1;
  }

  // The audio of sectors [first, end) of the drive, read in pieces of `perRead` sectors.
  static Audio ReadSectors(CdSource& source, int32_t first, int32_t end, int perRead = 7) {
    Audio audio;
    for (int32_t sector = first; sector < end; sector += perRead) {
      const int count = std::min<int32_t>(perRead, end - sector);
      std::vector<uint8_t> bytes(static_cast<size_t>(count) * kCdSectorBytes);
      if (!source.ReadAudio(sector, count, 0, bytes)) return {};
      const size_t at = audio.size();
      audio.resize(at + bytes.size() / 2);
      std::memcpy(&audio[at], bytes.data(), bytes.size());
    }
    return audio;
  }

  CdLayer cd_;
  testcd::TempDir dir_;
};

// Catches: the data read from "<cue name>.bin" instead of the file the FILE line names.
TEST_F(DiscImageTest, CueReadsTheFileItsFileLineNames) {
  const Audio take2 = testcd::Noise(40, 7);
  testcd::WriteAudioFile(dir_.File("take 2.bin"), take2, AudioFileKind::RawLittleEndian);
  testcd::WriteAudioFile(dir_.File("album.bin"), testcd::Noise(40, 8), AudioFileKind::RawLittleEndian);
  const int drive = UseSheet("album.cue", "FILE \"take 2.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
  auto source = OpenCdDrive(drive, CdAccessMethod::OsInterface, cd_.DiscImages());
  ASSERT_TRUE(source) << source.Error().text;
  EXPECT_EQ(ReadSectors(*source.Value(), 0, 40), take2);
}

// Catches: an image named by its .bin file (as libcdio accepted it, and settings may hold)
// no longer opening through the .cue beside it.
TEST_F(DiscImageTest, BinPathOpensTheCueOfTheSameName) {
  const Audio audio = testcd::Noise(12, 6);
  testcd::WriteAudioFile(dir_.File("album.bin"), audio, AudioFileKind::RawLittleEndian);
  std::ofstream(dir_.File("album.cue")) << "FILE \"album.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
  cd_.SetDiscImages({dir_.File("album.bin")});
  auto source = OpenCdDrive(cd_.Drives(CdAccessMethod::OsInterface).back(), CdAccessMethod::OsInterface);
  ASSERT_TRUE(source) << source.Error().text;
  EXPECT_EQ(ReadSectors(*source.Value(), 0, 12), audio);
  EXPECT_EQ(source.Value()->Name().Value(), "Image album.bin");
}

struct FilePerTrackCase {
  const char* name;
  AudioFileKind kind;
  const char* type;          // the FILE type of the cue
  bool pregapInPrevious;     // track 2 starts with 30 sectors at the end of file 1
};

class FilePerTrackImage : public DiscImageTest, public ::testing::WithParamInterface<FilePerTrackCase> {};

// Catches: tracks of a cue with one FILE per track placed on top of each other, WAV
// headers or trailing chunks read as audio, big-endian files not swapped, a pregap kept
// at the end of the previous file lost or misplaced.
TEST_P(FilePerTrackImage, EachTrackComesFromItsOwnFile) {
  const FilePerTrackCase& c = GetParam();
  const std::vector<Audio> files = {testcd::Noise(100, 1), testcd::Tone(61, 441.0, 9000), testcd::Noise(33, 3)};
  std::string cue;
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string name = "track " + std::to_string(i + 1) + (c.kind == AudioFileKind::Wave ? ".wav" : ".raw");
    testcd::WriteAudioFile(dir_.File(name), files[i], c.kind);
    cue += "FILE \"" + name + "\" " + c.type + "\n";
    if (i == 0) {
      cue += "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
      if (c.pregapInPrevious) cue += "  TRACK 02 AUDIO\n    INDEX 00 00:00:70\n";
    } else if (i == 1 && c.pregapInPrevious) {
      cue += "    INDEX 01 00:00:00\n";
    } else {
      cue += "  TRACK 0" + std::to_string(i + 1) + " AUDIO\n    INDEX 01 00:00:00\n";
    }
  }
  const int drive = UseSheet("disc.cue", cue);
  ASSERT_EQ(cd_.Initialize(), 0);
  cd_.SelectApi(true);
  TrackTable table;
  ASSERT_TRUE(RefreshTrackTable(cd_, drive, table)) << cd_.DriveProblem(drive);
  ASSERT_EQ(table.trackCount, 3);
  EXPECT_EQ(table.start[1], 0);
  EXPECT_EQ(table.start[2], 100);
  EXPECT_EQ(table.start[3], 161);
  EXPECT_EQ(table.start[4], 194);

  auto source = OpenCdDrive(drive, CdAccessMethod::OsInterface, cd_.DiscImages());
  ASSERT_TRUE(source) << source.Error().text;
  // Track 1 ends where its file ends, with or without track 2's pregap inside it.
  EXPECT_TRUE(ReadSectors(*source.Value(), 0, 100) == files[0]);
  EXPECT_TRUE(ReadSectors(*source.Value(), 100, 161) == files[1]);
  EXPECT_TRUE(ReadSectors(*source.Value(), 161, 194) == files[2]);
  EXPECT_TRUE(ReadSectors(*source.Value(), 0, 194, 26) == testcd::Join({files[0], files[1], files[2]}));
}

INSTANTIATE_TEST_SUITE_P(Layouts, FilePerTrackImage,
                         ::testing::Values(FilePerTrackCase{"Wave", AudioFileKind::Wave, "WAVE", false},
                                           FilePerTrackCase{"WaveWithPregapInPreviousFile", AudioFileKind::Wave, "WAVE", true},
                                           FilePerTrackCase{"Binary", AudioFileKind::RawLittleEndian, "BINARY", false},
                                           FilePerTrackCase{"Motorola", AudioFileKind::RawBigEndian, "MOTOROLA", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches: a .toc whose tracks come from several files placed at their file offsets, and
// a relative data file name looked up in the current folder instead of the .toc's.
TEST_F(DiscImageTest, TocTracksFollowOneAnotherFromTheirFiles) {
  const Audio one = testcd::Noise(20, 4), two = testcd::Noise(30, 5);
  testcd::WriteAudioFile(dir_.File("one.bin"), one, AudioFileKind::RawLittleEndian);
  testcd::WriteAudioFile(dir_.File("two.wav"), two, AudioFileKind::Wave);
  const int drive = UseSheet("disc.toc", "CD_DA\nTRACK AUDIO\nFILE \"one.bin\" 0\nTRACK AUDIO\nFILE \"two.wav\" 0\n");
  auto source = OpenCdDrive(drive, CdAccessMethod::OsInterface, cd_.DiscImages());
  ASSERT_TRUE(source) << source.Error().text;
  auto toc = source.Value()->ReadToc();
  ASSERT_TRUE(toc);
  EXPECT_EQ(toc.Value().starts, (std::vector<int32_t>{0, 20, 50}));
  EXPECT_TRUE(ReadSectors(*source.Value(), 0, 50) == testcd::Join({one, two}));
}

// Catches the titles of an image's sheet lost between the sheet and the CD layer, for
// either kind of sheet.
TEST_F(DiscImageTest, SheetTextComesWithTheTableOfContents) {
  testcd::WriteAudioFile(dir_.File("a.bin"), testcd::Noise(30, 6), AudioFileKind::RawLittleEndian);
  const std::pair<const char*, std::string> sheets[] = {
      {"disc.cue", "TITLE \"Album\"\nPERFORMER Band\nFILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    TITLE \"One\"\n"
                   "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:00:10\n    TITLE \"Two\"\n"},
      {"disc.toc", "CD_DA\nCD_TEXT { LANGUAGE 0 { TITLE \"Album\" PERFORMER \"Band\" } }\n"
                   "TRACK AUDIO\nCD_TEXT { LANGUAGE 0 { TITLE \"One\" } }\nFILE \"a.bin\" 0 00:00:10\n"
                   "TRACK AUDIO\nCD_TEXT { LANGUAGE 0 { TITLE \"Two\" } }\nFILE \"a.bin\" 00:00:10\n"},
  };
  for (const auto& [name, sheet] : sheets) {
    const int drive = UseSheet(name, sheet);
    ASSERT_EQ(cd_.Initialize(), 0);
    cd_.SelectApi(/*osInterface=*/true);
    TrackTable table;
    DiscText text;
    ASSERT_TRUE(RefreshTrackTable(cd_, drive, table, text)) << name;
    EXPECT_EQ(table.trackCount, 2);
    EXPECT_EQ(text.title, "Album") << name;
    EXPECT_EQ(text.performer, "Band") << name;
    ASSERT_EQ(text.tracks.size(), 2u) << name;
    EXPECT_EQ(text.tracks[0].title, "One") << name;
    EXPECT_EQ(text.tracks[1].title, "Two") << name;
    cd_.Shutdown();
  }
}

struct RefusedCase {
  const char* name;
  const char* sheetName;
  std::string sheet;
  std::map<std::string, int> rawFiles;   // data files to write: name and sectors of noise
  const char* reason;                    // what the message says after "<image path>: "
};

std::ostream& operator<<(std::ostream& out, const RefusedCase& c) { return out << c.name; }

std::string TocOfTracks(int tracks) {
  std::string toc = "CD_DA\n";
  for (int t = 0; t < tracks; ++t) toc += "TRACK AUDIO\nFILE \"a.bin\" 0 00:00:01\n";
  return toc;
}

std::string CueOfTracks(int tracks) {
  std::string cue = "FILE \"a.bin\" BINARY\n";
  for (int t = 1; t <= tracks; ++t) {
    char lines[64];
    std::snprintf(lines, sizeof lines, "  TRACK %02d AUDIO\n    INDEX 01 00:%02d:%02d\n", t, (t - 1) / 75, (t - 1) % 75);
    cue += lines;
  }
  return cue;
}

class RefusedImage : public DiscImageTest, public ::testing::WithParamInterface<RefusedCase> {};

// Catches: images the data cannot hold reaching the readers (a heap corruption inside
// libcdio with more than 99 tracks, a silent cut to 99, a rip of silence from an index
// beyond the data, negative track lengths), and refusals that do not say which file and why.
TEST_P(RefusedImage, IsRefusedWithTheFileAndTheReason) {
  const RefusedCase& c = GetParam();
  for (const auto& [name, sectors] : c.rawFiles)
    testcd::WriteAudioFile(dir_.File(name), testcd::Noise(sectors, 9), AudioFileKind::RawLittleEndian);
  const int drive = UseSheet(c.sheetName, c.sheet);
  ASSERT_EQ(cd_.Initialize(), 0);
  for (bool osInterface : {true, false}) {
    cd_.SelectApi(osInterface);
    TrackTable table;
    EXPECT_FALSE(RefreshTrackTable(cd_, drive, table));
    EXPECT_EQ(table.trackCount, 0);
    EXPECT_EQ(cd_.DriveProblem(drive), dir_.File(c.sheetName) + ": " + c.reason);
    // The image keeps its place and name in the drive list.
    uint8_t ha, target, lun;
    std::string name;
    EXPECT_EQ(cd_.GetDriveName(drive, ha, target, lun, name), 0);
    EXPECT_EQ(name, std::string("Image ") + c.sheetName);
  }
  auto source = OpenCdDrive(drive, CdAccessMethod::OsInterface, cd_.DiscImages());
  ASSERT_FALSE(source);
  EXPECT_EQ(source.Error().text, dir_.File(c.sheetName) + ": " + c.reason);
}

INSTANTIATE_TEST_SUITE_P(
    Images, RefusedImage,
    ::testing::Values(
        RefusedCase{"TocOfHundredTracks", "disc.toc", TocOfTracks(100), {{"a.bin", 1}},
                    "line 200: TRACK 100: a disc holds at most 99 tracks"},
        RefusedCase{"TocOfHundredFiftyTracks", "disc.toc", TocOfTracks(150), {{"a.bin", 1}},
                    "line 200: TRACK 100: a disc holds at most 99 tracks"},
        RefusedCase{"CueOfHundredTracks", "disc.cue", CueOfTracks(100), {{"a.bin", 120}},
                    "line 200: TRACK 100: a disc holds at most 99 tracks"},
        RefusedCase{"IndexBeyondTheData", "disc.cue",
                    "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n  INDEX 01 10:00:00\n",
                    {{"a.bin", 10}}, "track 2: INDEX 01 10:00:00 lies beyond the end of \"a.bin\" (00:00:10)"},
        RefusedCase{"DecreasingStarts", "disc.cue",
                    "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:05\n TRACK 02 AUDIO\n  INDEX 01 00:00:02\n",
                    {{"a.bin", 10}},
                    "line 5: track 2: INDEX 01 00:00:02 comes before the previous INDEX 01 00:00:05 of the same FILE"},
        RefusedCase{"ZeroLengthTrack", "disc.cue",
                    "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n TRACK 02 AUDIO\n  INDEX 01 00:00:10\n",
                    {{"a.bin", 10}}, "track 2 has no audio (its length is 00:00:00)"},
        RefusedCase{"MissingDataFile", "disc.cue",
                    "FILE \"disc.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
                    "FILE \"gone.wav\" WAVE\n TRACK 02 AUDIO\n  INDEX 01 00:00:00\n",
                    {{"disc.bin", 10}}, "cannot open the data file \"gone.wav\": No such file or directory"},
        RefusedCase{"WaveFileThatIsRaw", "disc.cue", "FILE \"a.bin\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n",
                    {{"a.bin", 10}}, "the data file \"a.bin\" is not a RIFF WAVE file"},
        RefusedCase{"DataFileThatIsAFolder", "disc.toc", "CD_DA\nTRACK AUDIO\nFILE \"/tmp\" 0\n", {},
                    "the data file \"/tmp\" is not a regular file"},
        RefusedCase{"OtherImageKind", "disc.nrg", "NERO", {}, "is not a .cue or .toc disc image"}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches: a WAVE file of another format read as CD audio (its samples would come out as
// noise at the wrong speed).
TEST_F(DiscImageTest, WaveFileOfAnotherFormatIsRefused) {
  ASSERT_EQ(std::system(("sox -q -n -r 48000 -c 2 -b 16 '" + dir_.File("a.wav") + "' synth 0.1 sine 440").c_str()), 0);
  const int drive = UseSheet("disc.cue", "FILE \"a.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n");
  auto source = OpenCdDrive(drive, CdAccessMethod::OsInterface, cd_.DiscImages());
  ASSERT_FALSE(source);
  EXPECT_EQ(source.Error().text, dir_.File("disc.cue") +
                                     ": the data file \"a.wav\" is not 16-bit stereo 44 100 Hz PCM (format 1, 2 "
                                     "channels, 48000 Hz, 16 bits)");
}

// Catches: a data file that shrinks after the image was opened read past its end or as
// silence instead of failing the read.
TEST_F(DiscImageTest, DataFileCutAfterOpeningFailsTheRead) {
  testcd::WriteAudioFile(dir_.File("a.bin"), testcd::Noise(20, 2), AudioFileKind::RawLittleEndian);
  const int drive = UseSheet("disc.cue", "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n");
  auto source = OpenCdDrive(drive, CdAccessMethod::OsInterface, cd_.DiscImages());
  ASSERT_TRUE(source) << source.Error().text;
  ASSERT_EQ(truncate(dir_.File("a.bin").c_str(), 5 * kCdSectorBytes), 0);
  std::vector<uint8_t> bytes(10 * kCdSectorBytes);
  EXPECT_TRUE(source.Value()->ReadAudio(0, 5, 0, bytes));
  auto read = source.Value()->ReadAudio(4, 4, 0, bytes);
  ASSERT_FALSE(read);
  EXPECT_EQ(read.Error().text, "cannot read the data file \"a.bin\"");
}

// The disc's audio as a drive that reads `offsetFrames` early delivers it: frame i of the
// result is disc frame i - offsetFrames, silence where that lies outside the disc.
Audio Shifted(const Audio& disc, int offsetFrames) {
  Audio shifted(disc.size(), 0);
  const int64_t frames = static_cast<int64_t>(disc.size() / 2);
  for (int64_t i = 0; i < frames; ++i) {
    const int64_t from = i - offsetFrames;
    if (from < 0 || from >= frames) continue;
    shifted[static_cast<size_t>(2 * i)] = disc[static_cast<size_t>(2 * from)];
    shifted[static_cast<size_t>(2 * i + 1)] = disc[static_cast<size_t>(2 * from + 1)];
  }
  return shifted;
}

// Catches: a simulated read offset that shifts the wrong way, loses frames at a read's
// boundary, reads something other than silence before the disc's first frame or after its
// last, or does not combine with bad sectors.
TEST_F(DiscImageTest, ReadOffsetFaultShiftsEveryReadByItsFrames) {
  const Audio disc = testcd::Join({testcd::Noise(23, 11), testcd::Noise(17, 12)});
  testcd::WriteAudioFile(dir_.File("a.bin"), disc, AudioFileKind::RawLittleEndian);
  const int drive = UseSheet("disc.cue", "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                         "  TRACK 02 AUDIO\n    INDEX 01 00:00:23\n");
  for (const int offset : {667, -30, 588, 0}) {
    const testcd::ScopedEnv simulate("ZIMBAR_CD_SIMULATE", "offset=" + std::string(offset > 0 ? "+" : "") +
                                                               std::to_string(offset));
    auto source = OpenCdDrive(drive, CdAccessMethod::OsInterface, cd_.DiscImages());
    ASSERT_TRUE(source) << source.Error().text;
    const Audio expected = Shifted(disc, offset);
    // Whole, in reads that do not fall on the offset's sector boundaries, and the first and
    // last sector alone: the disc's start and end.
    EXPECT_TRUE(ReadSectors(*source.Value(), 0, 40, 3) == expected) << "offset " << offset;
    EXPECT_TRUE(ReadSectors(*source.Value(), 0, 40, 40) == expected) << "offset " << offset;
    const Audio first(expected.begin(), expected.begin() + 2 * kCdFramesPerSector);
    const Audio last(expected.end() - 2 * kCdFramesPerSector, expected.end());
    EXPECT_TRUE(ReadSectors(*source.Value(), 0, 1) == first) << "offset " << offset;
    EXPECT_TRUE(ReadSectors(*source.Value(), 39, 40) == last) << "offset " << offset;
  }
  // With a bad sector the shifted reads around it still come, and the bad one fails.
  const testcd::ScopedEnv simulate("ZIMBAR_CD_SIMULATE", "offset=667,bad=10-10");
  auto source = OpenCdDrive(drive, CdAccessMethod::OsInterface, cd_.DiscImages());
  ASSERT_TRUE(source) << source.Error().text;
  const Audio expected = Shifted(disc, 667);
  EXPECT_TRUE(ReadSectors(*source.Value(), 0, 10, 5) == Audio(expected.begin(), expected.begin() + 10 * 2 * kCdFramesPerSector));
  std::vector<uint8_t> bytes(kCdSectorBytes);
  EXPECT_FALSE(source.Value()->ReadAudio(10, 1, 0, bytes));
}

}  // namespace

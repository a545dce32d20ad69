// The cue sheet and play list of a rip: their text, and a sheet over ripped WAV files that
// plays back in the disc-image reader as the disc it was ripped from.
#include "maker/accuracy/cue_sheet_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "cdaccess/cd_drive_list.h"
#include "cdaccess/cue_sheet_parser.h"
#include "common/fd_io.h"
#include "common/version.h"
#include "common/wav_header.h"
#include "tests/cdaccess/disc_image_builder.h"

namespace {

using testcd::Audio;

std::string Msf(int32_t sectors) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", sectors / 4500, sectors / 75 % 60, sectors % 75);
  return text;
}

// A disc image in one data file whose tracks may start with a pregap (INDEX 00): track i
// is pregaps[i] sectors of its pregap, then bodies[i] sectors from its index 01 on.
struct PregapDisc {
  std::vector<int32_t> pregaps;
  std::vector<int32_t> bodies;
  std::vector<std::string> titles;
  std::string cuePath;
  std::vector<uint8_t> bytes;   // the whole disc

  PregapDisc(const std::string& dir, std::vector<int32_t> pregapSectors, std::vector<int32_t> bodySectors,
             std::vector<std::string> trackTitles)
      : pregaps(std::move(pregapSectors)), bodies(std::move(bodySectors)), titles(std::move(trackTitles)) {
    cuePath = dir + "/disc.cue";
    std::string cue = "PERFORMER \"The Band\"\nTITLE \"Live at Home\"\nFILE \"disc.bin\" BINARY\n";
    int32_t sector = 0;
    for (size_t t = 0; t < bodies.size(); ++t) {
      // Noise of its own in every pregap and track, so that a misplaced sector shows.
      const Audio body = testcd::Noise(bodies[t], static_cast<uint32_t>(200 + t));
      char line[64];
      std::snprintf(line, sizeof line, "  TRACK %02zu AUDIO\n", t + 1);
      cue += line;
      cue += "    TITLE \"" + titles[t] + "\"\n    PERFORMER \"The Band\"\n";
      if (pregaps[t] > 0) cue += "    INDEX 00 " + Msf(sector) + "\n";
      sector += pregaps[t];
      cue += "    INDEX 01 " + Msf(sector) + "\n";
      sector += bodies[t];
      if (pregaps[t] > 0) {
        // Before the first track silence (no rip holds it), elsewhere quiet noise.
        const Audio pregap =
            t == 0 ? testcd::Silence(pregaps[t]) : testcd::Noise(pregaps[t], static_cast<uint32_t>(100 + t), 3000);
        const auto pregapBytes = testcd::Bytes(pregap);
        bytes.insert(bytes.end(), pregapBytes.begin(), pregapBytes.end());
      }
      const auto bodyBytes = testcd::Bytes(body);
      bytes.insert(bytes.end(), bodyBytes.begin(), bodyBytes.end());
    }
    WriteFile(dir + "/disc.bin", std::string(bytes.begin(), bytes.end()));
    WriteFile(cuePath, cue);
  }

  static void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
  }
};

std::unique_ptr<CdSource> OpenImage(const std::string& cuePath) {
  auto source = OpenCdDrive(CdDriveEntry{true, cuePath}, CdAccessMethod::OsInterface);
  if (!source) ADD_FAILURE() << source.Error().Message();
  return source ? std::move(source.Value()) : nullptr;
}

// Sectors [first, end) of a source, read as the reader does: a few sectors at a time.
std::vector<uint8_t> ReadSectors(CdSource& source, int32_t first, int32_t end) {
  std::vector<uint8_t> bytes(static_cast<size_t>(end - first) * kCdSectorBytes);
  for (int32_t sector = first; sector < end; sector += 26) {
    const int count = std::min(26, end - sector);
    const auto read = source.ReadAudio(sector, count, 0,
                                       std::span<uint8_t>(bytes).subspan(static_cast<size_t>(sector - first) * kCdSectorBytes,
                                                                         static_cast<size_t>(count) * kCdSectorBytes));
    if (!read) {
      ADD_FAILURE() << "sector " << sector << ": " << read.Error().Message();
      return {};
    }
  }
  return bytes;
}

// A WAV file as the maker writes a ripped track: the canonical header, then the samples.
void WriteRippedWav(const std::string& path, const std::vector<uint8_t>& samples) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << path;
  EXPECT_EQ(WriteWavHeader(fd, /*mono=*/false, 44100, static_cast<uint32_t>(samples.size())), kWavWriteOk);
  EXPECT_TRUE(WriteAll(fd, samples.data(), samples.size()));
  ::close(fd);
}

// Where each track of a sheet begins on the disc (its index 00, or its index 01 when it has
// no pregap), in sectors: the sheet's layout steps walked over files of the given sizes.
std::vector<int32_t> TrackBeginnings(const ImageSheet& sheet, const std::vector<int64_t>& fileBytes) {
  std::vector<int32_t> beginnings;
  int64_t position = 0;
  for (const ImageStep& step : sheet.steps) {
    switch (step.kind) {
      case ImageStep::Kind::TrackStart:
        beginnings.push_back(static_cast<int32_t>(position / kCdSectorBytes));
        break;
      case ImageStep::Kind::Index:
        break;
      case ImageStep::Kind::Data:
        position += step.bytes ? *step.bytes : fileBytes.at(step.file) - step.fileByte;
        break;
      case ImageStep::Kind::Silence:
        position += step.bytes.value_or(0);
        break;
      case ImageStep::Kind::PadToSector:
        position = (position + kCdSectorBytes - 1) / kCdSectorBytes * kCdSectorBytes;
        break;
    }
  }
  return beginnings;
}

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// Catches: a pregap placed in the track's own file (or at the start of the previous one,
// or in the file of a track that is not the one before it), the first track moved to the
// start of the disc, quotes that end a name early,
// a line feed in a title that starts a command, LF line ends, missing REM lines.
TEST(CueSheetWriter, PregapsSitAtTheEndOfThePreviousFile) {
  CueSheet sheet;
  sheet.performer = "The \"Best\" Band";
  sheet.title = "Greatest\nHits";
  sheet.genre = "Alt. Rock";
  sheet.date = "1999";
  sheet.discId = "2a0bc304";
  sheet.tracks = {
      {1, "01 - Intro.wav", "WAVE", "Intro", "The \"Best\" Band", 1000, 150},
      {2, "02 - Say \"Hi\".wav", "WAVE", "Say \"Hi\"", "", 18932, 75},
      {3, "03 - Outro.wav", "WAVE", "", "Guest", 4000, 0},
      {4, "04 - Hidden.wav", "", "Hidden", "", 500, 4000},
  };
  EXPECT_EQ(FormatCueSheet(sheet), Crlf(std::string("REM GENRE \"Alt. Rock\"\n"
                                                    "REM DATE 1999\n"
                                                    "REM DISCID 2a0bc304\n"
                                                    "REM COMMENT \"zbmaker ") +
                                        kZimbarVersion +
                                        "\"\n"
                                        "PERFORMER \"The 'Best' Band\"\n"
                                        "TITLE \"Greatest Hits\"\n"
                                        "FILE \"01 - Intro.wav\" WAVE\n"
                                        "  TRACK 01 AUDIO\n"
                                        "    TITLE \"Intro\"\n"
                                        "    PERFORMER \"The 'Best' Band\"\n"
                                        "    PREGAP 00:02:00\n"
                                        "    INDEX 01 00:00:00\n"
                                        "  TRACK 02 AUDIO\n"
                                        "    TITLE \"Say 'Hi'\"\n"
                                        "    INDEX 00 00:12:25\n"
                                        "FILE \"02 - Say 'Hi'.wav\" WAVE\n"
                                        "    INDEX 01 00:00:00\n"
                                        "FILE \"03 - Outro.wav\" WAVE\n"
                                        "  TRACK 03 AUDIO\n"
                                        "    PERFORMER \"Guest\"\n"
                                        "    INDEX 01 00:00:00\n"
                                        "FILE \"04 - Hidden.wav\" WAVE\n"
                                        "  TRACK 04 AUDIO\n"
                                        "    TITLE \"Hidden\"\n"
                                        "    PREGAP 00:53:25\n"
                                        "    INDEX 01 00:00:00\n"));

  // A compressed rip names its files by their type; no REM line for what is not known.
  CueSheet mp3;
  mp3.tracks = {{1, "a.mp3", "MP3", "A", "", 100, 0}, {2, "b.mp3", "MP3", "B", "", 100, 33}};
  EXPECT_EQ(FormatCueSheet(mp3), Crlf(std::string("REM COMMENT \"zbmaker ") + kZimbarVersion +
                                      "\"\n"
                                      "FILE \"a.mp3\" MP3\n"
                                      "  TRACK 01 AUDIO\n"
                                      "    TITLE \"A\"\n"
                                      "    INDEX 01 00:00:00\n"
                                      "  TRACK 02 AUDIO\n"
                                      "    TITLE \"B\"\n"
                                      "    INDEX 00 00:00:67\n"
                                      "FILE \"b.mp3\" MP3\n"
                                      "    INDEX 01 00:00:00\n"));

  // Tracks 2 and 3 not ripped: track 4's pregap is the end of track 3, which no file holds.
  CueSheet some;
  some.tracks = {{1, "01.wav", "WAVE", "", "", 1000, 0}, {4, "04.wav", "WAVE", "", "", 500, 75}};
  EXPECT_EQ(FormatCueSheet(some), Crlf(std::string("REM COMMENT \"zbmaker ") + kZimbarVersion +
                                       "\"\n"
                                       "FILE \"01.wav\" WAVE\n"
                                       "  TRACK 01 AUDIO\n"
                                       "    INDEX 01 00:00:00\n"
                                       "FILE \"04.wav\" WAVE\n"
                                       "  TRACK 04 AUDIO\n"
                                       "    PREGAP 00:01:00\n"
                                       "    INDEX 01 00:00:00\n"));

  EXPECT_TRUE(CueSheetCanName("01 - It's (Live) [Remix].wav"));
  EXPECT_FALSE(CueSheetCanName("02 - Say \"Hi\".wav"));
  EXPECT_FALSE(CueSheetCanName("03\n.wav"));
  EXPECT_FALSE(CueSheetCanName(""));
}

// Catches: a sheet over the ripped files that lays the tracks out elsewhere than the disc
// had them (a pregap in the wrong file, an index off by a sector), or that the project's
// own reader cannot read; every sample of the disc and every track start must come back.
TEST(CueSheetWriter, RippedFilesPlayBackAsTheDisc) {
  testcd::TempDir dir;
  // Odd lengths; a gap before the first track, pregaps of one second, of two seconds, and
  // of a single sector.
  const PregapDisc disc(dir.Path(), {32, 75, 0, 150, 1}, {301, 213, 157, 97, 5},
                        {"Opening", "Second Song", "Rock 'n' Roll", "Fourth", "Last"});
  auto original = OpenImage(disc.cuePath);
  ASSERT_NE(original, nullptr);
  const auto toc = original->ReadToc();
  ASSERT_TRUE(toc.Ok()) << toc.Error().Message();
  ASSERT_EQ(toc.Value().starts.size(), 6u);

  // Rip every track into a WAV file of its own: from its index 01 to the next one's.
  testcd::TempDir ripDir;
  CueSheet sheet;
  sheet.performer = toc.Value().text.performer;
  sheet.title = toc.Value().text.title;
  for (size_t t = 0; t + 1 < toc.Value().starts.size(); ++t) {
    const int32_t start = toc.Value().starts[t];
    const int32_t end = toc.Value().starts[t + 1];
    const std::string name = "0" + std::to_string(t + 1) + " - " + disc.titles[t] + ".wav";
    WriteRippedWav(ripDir.File(name), ReadSectors(*original, start, end));
    // What the disc says about the pregap, where the table of contents gives it, else what
    // the image was made with.
    int32_t pregap = disc.pregaps[t];
    if (t < toc.Value().pregapStarts.size() && toc.Value().pregapStarts[t] >= 0) {
      EXPECT_EQ(start - toc.Value().pregapStarts[t], pregap) << "track " << t + 1;
      pregap = start - toc.Value().pregapStarts[t];
    }
    const TrackText text = t < toc.Value().text.tracks.size() ? toc.Value().text.tracks[t] : TrackText{};
    sheet.tracks.push_back({static_cast<int>(t + 1), name, "WAVE", text.title, text.performer, end - start, pregap});
  }
  const std::string cue = FormatCueSheet(sheet);
  const auto parsed = ParseCueSheet(cue);
  ASSERT_TRUE(parsed.Ok()) << parsed.Error().Message() << "\n" << cue;
  // Each pregap (index 00) lies where the disc had it.
  std::vector<int64_t> fileBytes;
  std::vector<int32_t> beginnings;
  for (size_t t = 0; t < sheet.tracks.size(); ++t) {
    fileBytes.push_back(int64_t{sheet.tracks[t].sectors} * kCdSectorBytes);
    beginnings.push_back(toc.Value().starts[t] - disc.pregaps[t]);
  }
  EXPECT_EQ(TrackBeginnings(parsed.Value(), fileBytes), beginnings);
  PregapDisc::WriteFile(ripDir.File("rip.cue"), cue);

  auto copy = OpenImage(ripDir.File("rip.cue"));
  ASSERT_NE(copy, nullptr);
  const auto copyToc = copy->ReadToc();
  ASSERT_TRUE(copyToc.Ok()) << copyToc.Error().Message();
  EXPECT_EQ(copyToc.Value().firstTrack, toc.Value().firstTrack);
  EXPECT_EQ(copyToc.Value().starts, toc.Value().starts);
  EXPECT_EQ(copyToc.Value().pregapStarts, toc.Value().pregapStarts);
  EXPECT_EQ(copyToc.Value().dataTracks, toc.Value().dataTracks);
  EXPECT_EQ(copyToc.Value().text.title, "Live at Home");
  EXPECT_EQ(copyToc.Value().text.performer, "The Band");
  ASSERT_EQ(copyToc.Value().text.tracks.size(), 5u);
  for (size_t t = 0; t < 5; ++t) {
    EXPECT_EQ(copyToc.Value().text.tracks[t].title, disc.titles[t]);
    EXPECT_EQ(copyToc.Value().text.tracks[t].performer, "The Band");
  }

  // The whole disc, sector by sector, pregaps included.
  const auto played = ReadSectors(*copy, 0, copyToc.Value().starts.back());
  ASSERT_EQ(played.size(), disc.bytes.size());
  for (size_t sector = 0; sector < played.size() / kCdSectorBytes; ++sector)
    ASSERT_EQ(std::memcmp(played.data() + sector * kCdSectorBytes, disc.bytes.data() + sector * kCdSectorBytes,
                          kCdSectorBytes),
              0)
        << "sector " << sector << " differs";
}

// Catches: a list in another order than the disc, names made absolute, a name that begins
// with '#' read back as a comment.
TEST(CueSheetWriter, PlayListNamesTheFilesInOrder) {
  EXPECT_EQ(FormatM3uPlayList({"01 - One.wav", "02 - Two.wav", "#1 Hit.wav"}),
            "#EXTM3U\n01 - One.wav\n02 - Two.wav\n./#1 Hit.wav\n");
  EXPECT_EQ(FormatM3uPlayList({}), "#EXTM3U\n");
}

}  // namespace

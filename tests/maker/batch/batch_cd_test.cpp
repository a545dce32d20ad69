// zbmaker --batch ripping tracks of generated disc images with the real reader library.
#include "batch_test_support.h"

#include <algorithm>
#include <vector>

using namespace batch_test;

using BatchCd = BatchCdRun;

// Catches a rip that differs from the disc by a single byte, or lands in the wrong folder.
TEST_F(BatchCd, RipToWavIsBitExact) {
  MakeDisc();
  const RunResult r = Maker("--batch --cd2wav --cd-image disc.cue --output out");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(Bytes(dir + "/out/Track01.wav", 44), Bytes(dir + "/t1.raw"));
  EXPECT_EQ(Bytes(dir + "/out/Track02.wav", 44), Bytes(dir + "/t2.raw"));
  EXPECT_EQ(Count(r.output, "Reading: Track 0"), 2);
  EXPECT_EQ(Count(r.output, "OK\tTrack 0"), 2);
}

// Catches --tracks reading unselected tracks, and temporary files left after encoding.
TEST_F(BatchCd, RipToMp3OfOneTrackLeavesNoTemporaryFile) {
  MakeDisc();
  const RunResult r = Maker("--batch --cd2mp3 --cd-image disc.cue --output out --tracks 2 -js -192");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_FALSE(std::filesystem::exists(dir + "/out/Track01.mp3"));
  EXPECT_FALSE(std::filesystem::exists(dir + "/out/Track02.tmp"));
  const std::string info = Probe(dir + "/out/Track02.mp3", "codec_name,bit_rate");
  EXPECT_NE(info.find("codec_name=mp3"), std::string::npos) << info;
  EXPECT_NE(info.find("bit_rate=192000"), std::string::npos) << info;
  EXPECT_EQ(Count(r.output, "Joint-Stereo, 192 kbps"), 1);
}

// Catches an unreadable sector ending in a rip reported as converted.
TEST_F(BatchCd, UnreadableSectorFailsTheTrackAndTheRun) {
  MakeDisc();
  const RunResult r =
      RunShell(MakerCommand("--batch --cd2wav --cd-image disc.cue --output out", "ZIMBAR_CD_SIMULATE='bad=160-162' "));
  EXPECT_NE(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("OK\tTrack 01"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Error\tTrack 02"), std::string::npos) << r.output;
}

// Catches the error of a track whose file name an earlier track of the run has put under the
// earlier track ("Track 01: Error: Track 02 has the same file name ..."): it is the
// track's own, in the log and in the line on standard error.
TEST_F(BatchCd, SameFileNameErrorNamesItsOwnTrack) {
  MakeDisc();
  // Standard error apart: there each problem line names what it is about (no AccurateRip
  // lookup, whose server the tests' environment makes unreachable, to warn there).
  const RunResult r = RunShell("(" + MakerCommand("--batch --cd2wav --no-accuraterip --cd-image disc.cue --output out --name 1=Same "
                                                  "--name 2=Same") + " 2>'" + dir + "/err.txt')");
  EXPECT_NE(r.exitCode, 0) << r.output;
  const std::string error = "Error: Track 02 has the same file name as track 01: " + dir + "/out/Same.wav";
  const std::string problems = Bytes(dir + "/err.txt");
  EXPECT_EQ(problems, "zbmaker: Track 02: " + error + "\n");
  EXPECT_NE(r.output.find("\nNot reading: Track 02\n    " + error), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Error\tTrack 02"), std::string::npos) << r.output;
}

// Catches a disc image that cannot be read, or a track the disc lacks, passing quietly.
TEST_F(BatchCd, BadImageOrTrackIsReported) {
  MakeDisc();
  RunResult r = Maker("--batch --cd2wav --cd-image disc.cue --output out --tracks 3");
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.output.find("the disc has no track 3"), std::string::npos) << r.output;
  std::ofstream(dir + "/broken.cue") << "not a cue sheet\n";
  r = Maker("--batch --cd2wav --cd-image broken.cue --output out");
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.output.find("zbmaker: "), std::string::npos) << r.output;
  EXPECT_FALSE(std::filesystem::exists(dir + "/out/Track01.wav"));
}

// Catches CD information options not reaching the file names and the ID3 tag (the tag
// keeps the name as typed, the file name has the unsafe characters replaced).
TEST_F(BatchCd, NamesAndTagsComeFromTheCdInformation) {
  MakeDisc();
  RunResult r = Maker("--batch --cd2mp3 --cd-image disc.cue --output out --tracks 1 --id3 --artist Art "
                      "--title Album --year 1999 --name '1=AC/DC: Live?'");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  const std::string mp3 = Bytes(dir + "/out/AC-DC- Live-.mp3");
  ASSERT_GT(mp3.size(), 128u) << r.output;
  const std::string tag = mp3.substr(mp3.size() - 128);
  EXPECT_EQ(tag.substr(0, 3 + 12), "TAGAC/DC: Live?");
  EXPECT_EQ(tag.substr(33, 4), "Art ");
  EXPECT_EQ(tag.substr(63, 6), "Album ");
  EXPECT_EQ(tag.substr(93, 4), "1999");
  EXPECT_NE(r.output.find("    ID3 tag added."), std::string::npos);

  r = Maker("--batch --cd2wav --cd-image disc.cue --output out --tracks 2 --artist Art --pattern '$artist$ - $track#$'");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(std::filesystem::exists(dir + "/out/Art - 02.wav")) << r.output;
  EXPECT_NE(Maker("--batch --cd2wav --cd-image disc.cue --output out --name 7=x").exitCode, 0);
}

// Catches a drive list that leaves out the disc images or numbers them differently from
// the drive a rip reads.
TEST_F(BatchCd, ListDrivesShowsTheImageUnderTheNumberARipUses) {
  MakeDisc();
  const RunResult r = Maker("--batch --list-drives --cd-image disc.cue");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  const size_t at = r.output.find("disc.cue");
  ASSERT_NE(at, std::string::npos) << r.output;
  const size_t lineStart = r.output.rfind('\n', at) == std::string::npos ? 0 : r.output.rfind('\n', at) + 1;
  const std::string number = r.output.substr(lineStart, r.output.find(':', lineStart) - lineStart);
  const RunResult rip = Maker("--batch --cd2wav --cd-image disc.cue --drive " + number + " --tracks 1 --output out");
  EXPECT_EQ(rip.exitCode, 0) << rip.output;
  EXPECT_EQ(Bytes(dir + "/out/Track01.wav", 44), Bytes(dir + "/t1.raw"));
}

// Catches the sheet's titles not reaching file names and tags (or reaching them as
// mojibake), and the sheet winning over what the command line gives.
TEST_F(BatchCd, SheetTitlesNameTheFilesAndTypedValuesWin) {
  MakeDiscWithTitles();
  const std::string pattern = " --pattern '$artist$/$title$/$track#$ $trackname$'";
  RunResult r = Maker("--batch --cd2mp3 --cd-image disc.cue --output out --id3" + pattern);
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("    Disc text: Café – Ünïcödé / 夜に駆ける, 2 track names\n"), std::string::npos) << r.output;
  const std::string first = dir + "/out/Café – Ünïcödé/夜に駆ける/01 群青.mp3";
  ASSERT_TRUE(std::filesystem::exists(first)) << r.output;
  EXPECT_TRUE(std::filesystem::exists(dir + "/out/Café – Ünïcödé/夜に駆ける/02 Zwei- Teil-Ende.mp3")) << r.output;
  const std::string tags = RunShell("ffprobe -v error -show_entries format_tags=title,artist,album "
                                    "-of default=noprint_wrappers=1 '" + first + "'").output;
  EXPECT_NE(tags.find("TAG:title=群青\n"), std::string::npos) << tags;
  EXPECT_NE(tags.find("TAG:artist=Café – Ünïcödé\n"), std::string::npos) << tags;
  EXPECT_NE(tags.find("TAG:album=夜に駆ける\n"), std::string::npos) << tags;

  // Without a pattern the track's title alone names the file.
  r = Maker("--batch --cd2wav --cd-image disc.cue --output plain --tracks 1");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(Bytes(dir + "/plain/群青.wav", 44), Bytes(dir + "/t1.raw"));

  r = Maker("--batch --cd2wav --cd-image disc.cue --output typed --artist Typed --name 2=Given" + pattern);
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(std::filesystem::exists(dir + "/typed/Typed/夜に駆ける/01 群青.wav")) << r.output;
  EXPECT_TRUE(std::filesystem::exists(dir + "/typed/Typed/夜に駆ける/02 Given.wav")) << r.output;
}

// Catches the DiscImages setting not reaching the drive list, or an image named both there
// and by --cd-image listed twice.
TEST_F(BatchCd, DiscImagesSettingAddsDrives) {
  MakeDisc();
  std::filesystem::create_directories(dir + "/home");
  std::ofstream(dir + "/home/zbmaker.INI") << "[Options]\nDiscImages= " << dir << "/disc.cue |\n";
  RunResult r = Maker("--batch --list-drives");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(Count(r.output, "disc.cue"), 1) << r.output;
  r = Maker("--batch --list-drives --cd-image disc.cue");
  EXPECT_EQ(Count(r.output, "disc.cue"), 1) << r.output;
}

// Catches a second run without --yes that keeps every output yet reports the tracks as
// converted with exit 0, and a kept MP3 that gets one more ID3 tag on every run.
TEST_F(BatchCd, RerunWithoutYesKeepsTheOutputsAndFails) {
  MakeDisc();
  ASSERT_EQ(Maker("--batch --cd2wav --cd-image disc.cue --output out").exitCode, 0);
  RunResult r = Maker("--batch --cd2wav --cd-image disc.cue --output out");
  EXPECT_NE(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("0 of 2 tracks converted, 2 kept an existing output"), std::string::npos) << r.output;

  ASSERT_EQ(Maker("--batch --cd2mp3 --id3 --cd-image disc.cue --output out --tracks 1").exitCode, 0);
  const auto size = std::filesystem::file_size(dir + "/out/Track01.mp3");
  r = Maker("--batch --cd2mp3 --id3 --cd-image disc.cue --output out --tracks 1");
  EXPECT_NE(r.exitCode, 0) << r.output;
  EXPECT_EQ(std::filesystem::file_size(dir + "/out/Track01.mp3"), size) << r.output;
}

// Catches a ".tmp" left by an interrupted run being kept (the terminal answers No to
// overwrites) and encoded in place of the track, reported as converted, or asked about:
// the run's own temporary file is no output of the run.
TEST_F(BatchCd, StaleTemporaryFileIsReplacedNotEncoded) {
  MakeDisc();
  std::filesystem::create_directories(dir + "/out");
  ASSERT_EQ(RunShell("sox -n -r 44100 -c 2 -b 16 -t wav '" + dir + "/out/Track01.tmp' synth 0.2 sine 300").exitCode, 0);
  const RunResult r = Maker("--batch --cd2mp3 --cd-image disc.cue --output out --tracks 1");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(r.output.find("Track01.tmp ?"), std::string::npos) << r.output;
  const std::string info = Probe(dir + "/out/Track01.mp3", "duration");
  const size_t at = info.find("duration=");
  ASSERT_NE(at, std::string::npos) << info;
  EXPECT_GT(std::stod(info.substr(at + 9)), 1.9) << "the 0.2 s stale file was encoded";
}

// The names in `folder`, hidden ones included.
static std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Catches a rerun that reads the whole disc only to keep the old MP3s, leaves new ".tmp"
// files and says "OK": a track whose MP3 exists and may not be replaced is not read and
// is listed as kept; with --yes each MP3 is asked about once and replaced.
TEST_F(BatchCd, TrackWhoseMp3IsKeptIsNotRead) {
  MakeDisc();
  ASSERT_EQ(Maker("--batch --cd2mp3 --cd-image disc.cue --output out").exitCode, 0);
  RunResult r = Maker("--batch --cd2mp3 --cd-image disc.cue --output out");
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_EQ(Count(r.output, "Reading: Track"), 0) << r.output;
  EXPECT_EQ(Count(r.output, "Kept\tTrack 0"), 2) << r.output;
  EXPECT_NE(r.output.find("0 of 2 tracks converted, 2 kept an existing output"), std::string::npos) << r.output;
  // The first run's rip log, cue sheet and play list beside them.
  EXPECT_EQ(FolderNames(dir + "/out"),
            (std::vector<std::string>{"Track01.mp3", "Track02.mp3", "rip.cue", "rip.log", "rip.m3u"}));

  r = Maker("--batch --cd2mp3 --yes --cd-image disc.cue --output out --tracks 1");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(Count(r.output, "Overwrite existing file " + dir + "/out/Track01.mp3 ?"), 1) << r.output;
  EXPECT_EQ(Count(r.output, "OK\tTrack 01"), 1) << r.output;
}

// Catches Ctrl-C leaving ".tmp" files, hidden temporary files or the reads of the
// cancelled run (a part of a track, a track not encoded) behind with the default settings.
TEST_F(BatchCd, InterruptedRipLeavesNoTemporaryFile) {
  MakeDisc();
  const RunResult r = MakerInterruptedAt("--batch --cd2mp3 --cd-image disc.cue --output out", "Reading: Track 02",
                                         "ZIMBAR_CD_SIMULATE='delay=100' ");
  EXPECT_NE(r.output.find("exit=1"), std::string::npos) << r.output;
  for (const std::string& name : FolderNames(dir + "/out")) {
    EXPECT_FALSE(name.ends_with(".tmp")) << name;
    EXPECT_FALSE(name.ends_with(".wav")) << name;
    EXPECT_NE(name.front(), '.') << name;
  }
  EXPECT_FALSE(std::filesystem::exists(dir + "/out/Track02.mp3"));
}

// Catches a track name longer than a file name may be failing the rip with a bare
// "Cannot create file": the name is cut on a character boundary and keeps ".wav".
TEST_F(BatchCd, OverlongTrackNameIsShortened) {
  MakeDisc();
  std::string name;
  for (int i = 0; i < 150; ++i) name += "\xC3\xA9";  // 300 bytes of "é"
  const RunResult r = Maker("--batch --cd2wav --cd-image disc.cue --output out --tracks 1 --name '1=" + name + "'");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  const std::string expected = name.substr(0, 250) + ".wav";
  EXPECT_EQ(FolderNames(dir + "/out"), (std::vector<std::string>{"rip.cue", "rip.log", "rip.m3u", expected}));
  EXPECT_EQ(Bytes(dir + "/out/" + expected, 44), Bytes(dir + "/t1.raw"));
}

// Catches a cue whose FILE line is ignored (the data read from "<cue name>.bin"), and a cue
// with one WAVE file per track ripped with the WAV headers as audio or with every track
// from the first file: each track must come out byte for byte from its own file.
TEST_F(BatchCd, CueWithAFilePerTrackRipsEachTrackFromItsFile) {
  MakeDisc();
  std::filesystem::remove(dir + "/disc.bin");
  ASSERT_EQ(RunShell("cd '" + dir + "' && for t in t1 t2; do sox -q -t raw -r 44100 -c 2 -b 16 -e signed-integer -L "
                     "$t.raw \"take $t.wav\" || exit 1; done").exitCode, 0);
  std::ofstream(dir + "/disc.cue") << "FILE \"take t1.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                      "FILE \"take t2.wav\" WAVE\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n";
  const RunResult r = Maker("--batch --cd2wav --cd-image disc.cue --output out");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  // Compared whole, without printing megabytes of samples on a mismatch.
  EXPECT_TRUE(Bytes(dir + "/out/Track01.wav", 44) == Bytes(dir + "/t1.raw"));
  EXPECT_TRUE(Bytes(dir + "/out/Track02.wav", 44) == Bytes(dir + "/t2.raw"));
}

// Catches images the data cannot hold reaching the reader (a crash inside libcdio for more
// than 99 tracks, a rip of silence from an INDEX beyond the data) and refusals that do not
// name the image file and the reason. Nothing may be written.
TEST_F(BatchCd, RefusedImageIsNamedWithTheReasonAndNothingIsWritten) {
  MakeDisc();
  std::string toc = "CD_DA\n";
  for (int t = 0; t < 150; ++t) toc += "TRACK AUDIO\nFILE \"disc.bin\" 0 00:00:01\n";
  std::ofstream(dir + "/many.toc") << toc;
  std::ofstream(dir + "/beyond.cue") << "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                        "  TRACK 02 AUDIO\n    INDEX 01 01:00:00\n";
  std::ofstream(dir + "/missing.cue") << "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                         "FILE \"gone.bin\" BINARY\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n";
  const std::pair<std::string, std::string> cases[] = {
      {"many.toc", "line 200: TRACK 100: a disc holds at most 99 tracks"},
      {"beyond.cue", "track 2: INDEX 01 01:00:00 lies beyond the end of \"disc.bin\" (00:03:45)"},
      {"missing.cue", "cannot open the data file \"gone.bin\": No such file or directory"},
  };
  for (const auto& [image, reason] : cases) {
    const RunResult r = Maker("--batch --cd2wav --cd-image " + image + " --output out");
    EXPECT_NE(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("zbmaker: " + dir + "/" + image + ": " + reason), std::string::npos) << r.output;
    EXPECT_TRUE(!std::filesystem::exists(dir + "/out") || std::filesystem::is_empty(dir + "/out")) << image;
  }
}

// The rip log: its SHA-256 line, the check that finds any changed byte, the lines scripts
// read, and the file it is written to.
#include "maker/accuracy/rip_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "tests/common/small_disk.h"
#include "tests/common/temp_dir.h"

namespace {

// A disc of three audio tracks and a data track, ripped in burst-then-verify mode: track 1
// accurate, track 2 re-read securely and still not accurate with a suspicious stretch,
// track 3 not in the database.
RipLog SampleLog() {
  RipLog log;
  log.program = "zbmaker 9.8.7";
  log.date = "2026-12-09 20:15:03";
  log.driveVendor = "ACME";
  log.driveModel = "CDR-52";
  log.readOffset = 667;
  log.readMode = "burst, then verify";
  log.format = "WAV";
  log.artist = "The Artist";
  log.album = "An Album";
  log.toc.trackCount = 4;
  log.toc.start = {0, 0, 18932, 30001, 45123, 60000};
  log.toc.data[4] = 1;
  log.discIds = AccurateRipDiscIds{3, 0x0001a2b3, 0x0004c5d6, 0x2a0bc304};
  log.accurateRipStatus = "found, 2 pressings";

  RipLogTrack one;
  one.track = 1;
  one.fileName = "01 - One.wav";
  one.readMode = "burst";
  one.peak = 32213;
  one.copyCrc = 0x1234ABCD;
  one.accurateRip = AccurateRipSums{0x0BADF00D, 0xCAFE0001};
  one.verdict = {AccurateRipVerdict::Kind::Accurate, 12, 2, 12};
  one.silenceBefore = 667;

  RipLogTrack two;
  two.track = 2;
  two.fileName = "02 - Two.wav";
  two.readMode = "burst, then secure";
  two.peak = 16384;
  two.testCrc = 0x00000001;
  two.copyCrc = 0x00000002;
  two.accurateRip = AccurateRipSums{0xDEADBEEF, 0x00C0FFEE};
  two.verdict = {AccurateRipVerdict::Kind::NotAccurate, 0, 0, 15};
  two.retries = 5;
  two.suspicious = true;
  two.suspiciousRanges = {{44100, 44100 + 588}, {2646000, 2646588}};
  two.errors = {"    Warning: Sync Error. (At 42.50%)", "Cannot write to file."};

  RipLogTrack three;
  three.track = 3;
  three.fileName = "03 - Three.wav";
  three.readMode = "burst";
  three.peak = 0;
  three.copyCrc = 0xFFFFFFFF;
  three.accurateRip = AccurateRipSums{0, 0};
  three.verdict = {AccurateRipVerdict::Kind::NotInDatabase, 0, 0, 0};
  three.silenceAfter = 12;

  log.tracks = {one, two, three};
  return log;
}

// The output of a command line run through the shell.
std::string CommandOutput(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[256];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  ::pclose(pipe);
  return output;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The lines of one track's block, without their indent.
std::vector<std::string> TrackLines(const std::string& text, int track) {
  std::vector<std::string> block;
  bool inside = false;
  for (const std::string& line : Lines(text)) {
    if (line == "Track " + std::to_string(track)) {
      inside = true;
    } else if (inside && line.starts_with("  ")) {
      block.push_back(line.substr(2));
    } else if (inside) {
      break;
    }
  }
  return block;
}

bool Holds(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Catches: a hash over the wrong bytes (without the last line feed, or with the hash line
// itself), upper-case digits, a missing final line feed.
TEST(RipLog, LastLineIsTheSha256OfEverythingAboveIt) {
  const std::string text = FormatRipLog(SampleLog());
  ASSERT_FALSE(text.empty());
  ASSERT_EQ(text.back(), '\n');
  const size_t lastLine = text.rfind('\n', text.size() - 2) + 1;
  const std::string body = text.substr(0, lastLine);
  const std::string hashLine = text.substr(lastLine);
  ASSERT_EQ(hashLine.size(), 8u + 64u + 1u) << hashLine;
  ASSERT_TRUE(hashLine.starts_with("SHA-256 ")) << hashLine;
  EXPECT_EQ(hashLine.find_first_not_of("0123456789abcdef", 8), 72u) << hashLine;

  // The reference: sha256sum of the same bytes, written to a file of their own.
  TempDir dir;
  {
    std::ofstream out(dir.File("body"), std::ios::binary);
    out << body;
  }
  const std::string reference = CommandOutput("sha256sum '" + dir.File("body") + "'");
  ASSERT_GE(reference.size(), 64u) << "sha256sum did not run";
  EXPECT_EQ(hashLine, "SHA-256 " + reference.substr(0, 64) + "\n");
  EXPECT_TRUE(VerifyRipLogText(text).Ok());

  // A known vector: the SHA-256 of "abc\n".
  EXPECT_TRUE(VerifyRipLogText("abc\nSHA-256 edeaaff3f1774ad2888673770c6d64097e391bc362d7d6fb34982ddf0efd18cb\n").Ok());
}

// Catches: a check that looks only at part of the text, or that accepts a hash line with
// changed digits, a changed prefix or a changed line end.
TEST(RipLog, EveryChangedByteIsFound) {
  const std::string text = FormatRipLog(SampleLog());
  for (size_t at = 0; at < text.size(); ++at) {
    std::string changed = text;
    changed[at] = static_cast<char>(changed[at] ^ 0x01);
    const auto verdict = VerifyRipLogText(changed);
    ASSERT_FALSE(verdict.Ok()) << "byte " << at << " changed and not found";
    EXPECT_EQ(verdict.Error().category, ErrorCategory::Format);
  }
  const auto edited = [&](std::string changed) { return VerifyRipLogText(changed); };
  // A line taken out, a line added, the last line feed removed, bytes appended.
  std::string withoutLine = text;
  withoutLine.erase(withoutLine.find("Retries: 5\n"), 11);
  EXPECT_TRUE(edited(withoutLine).Error().Is(RipLogFault::Changed));
  std::string withLine = text;
  withLine.insert(withLine.find("Summary\n"), "Track 9\n");
  EXPECT_TRUE(edited(withLine).Error().Is(RipLogFault::Changed));
  EXPECT_TRUE(edited(text.substr(0, text.size() - 1)).Error().Is(RipLogFault::Changed));
  EXPECT_FALSE(edited(text + "x").Ok());
  EXPECT_FALSE(edited(text + "\n").Ok());

  // A plausible forgery: a CRC changed and the hash line left as it was.
  std::string forged = text;
  const size_t crc = forged.find("Copy CRC 00000002");
  ASSERT_NE(crc, std::string::npos);
  forged.replace(crc, 17, "Copy CRC 00000001");
  const auto verdict = VerifyRipLogText(forged);
  ASSERT_FALSE(verdict.Ok());
  EXPECT_TRUE(verdict.Error().Is(RipLogFault::Changed));
  EXPECT_EQ(verdict.Error().reason, "the log was changed after it was written");
  EXPECT_EQ(verdict.Error().position.unit, ErrorPosition::Unit::Line);
  EXPECT_EQ(verdict.Error().position.value, Lines(text).size());
}

// Catches: a log without its hash line (cut off, or never sealed) taken as intact.
TEST(RipLog, TextWithoutHashLineIsRefused) {
  const std::string text = FormatRipLog(SampleLog());
  const std::string body = text.substr(0, text.rfind('\n', text.size() - 2) + 1);
  for (const std::string& unsealed : {body, std::string(), std::string("\n"), std::string("SHA-256\n"),
                                      std::string("Summary\nAll tracks accurately ripped\n")}) {
    const auto verdict = VerifyRipLogText(unsealed);
    ASSERT_FALSE(verdict.Ok()) << unsealed;
    EXPECT_TRUE(verdict.Error().Is(RipLogFault::NoHashLine)) << unsealed;
    EXPECT_EQ(verdict.Error().reason, "the log has no SHA-256 line");
  }
  // The hash line of another log pasted under this one.
  RipLog other = SampleLog();
  other.album = "Another Album";
  const std::string otherText = FormatRipLog(other);
  const std::string otherHash = otherText.substr(otherText.rfind('\n', otherText.size() - 2) + 1);
  EXPECT_TRUE(VerifyRipLogText(body + otherHash).Error().Is(RipLogFault::Changed));
}

// Catches: checksum lines in another form than scripts look for (lower-case hex, missing
// zero padding, other words), a verdict not shown, CRC lines of reads that did not happen.
TEST(RipLog, TracksCarryTheirChecksumsInTheDocumentedForm) {
  const std::string text = FormatRipLog(SampleLog());

  const auto one = TrackLines(text, 1);
  EXPECT_TRUE(Holds(one, "File: 01 - One.wav"));
  EXPECT_TRUE(Holds(one, "Peak level: 98.3 %"));
  EXPECT_TRUE(Holds(one, "Copy CRC 1234ABCD"));
  EXPECT_TRUE(Holds(one, "AccurateRip v1 0BADF00D v2 CAFE0001"));
  EXPECT_TRUE(Holds(one, "Result: accurately ripped (confidence 12, v2)"));
  EXPECT_TRUE(Holds(one, "Retries: 0"));
  EXPECT_TRUE(Holds(one, "Silence outside the disc: 667 samples before, 0 samples after"));
  for (const std::string& line : one) EXPECT_FALSE(line.starts_with("Test CRC")) << "a burst read has no test read";

  const auto two = TrackLines(text, 2);
  EXPECT_TRUE(Holds(two, "Read mode: burst, then secure"));
  EXPECT_TRUE(Holds(two, "Peak level: 50.0 %"));
  EXPECT_TRUE(Holds(two, "Test CRC 00000001"));
  EXPECT_TRUE(Holds(two, "Copy CRC 00000002"));
  EXPECT_TRUE(Holds(two, "AccurateRip v1 DEADBEEF v2 00C0FFEE"));
  EXPECT_TRUE(Holds(two, "Result: not accurate (confidence of the disc 15)"));
  EXPECT_TRUE(Holds(two, "Retries: 5"));
  // 44 100 frames = 1 s; 588 frames = 13.33 ms; 2 646 000 frames = 60 s.
  EXPECT_TRUE(Holds(two, "Suspicious: 0:01.000 - 0:01.013, 1:00.000 - 1:00.013"));
  EXPECT_TRUE(Holds(two, "Warning: Sync Error. (At 42.50%)"));
  EXPECT_TRUE(Holds(two, "Error: Cannot write to file."));

  const auto three = TrackLines(text, 3);
  EXPECT_TRUE(Holds(three, "Peak level: 0.0 %"));
  EXPECT_TRUE(Holds(three, "Copy CRC FFFFFFFF"));
  EXPECT_TRUE(Holds(three, "AccurateRip v1 00000000 v2 00000000"));
  EXPECT_TRUE(Holds(three, "Result: not in the database"));

  // What a script that reads every track's checksums finds.
  std::vector<std::string> found;
  for (const std::string& line : Lines(text)) {
    char v1[9] = {};
    char v2[9] = {};
    if (std::sscanf(line.c_str(), "  AccurateRip v1 %8[0-9A-F] v2 %8[0-9A-F]", v1, v2) == 2)
      found.push_back(std::string(v1) + "/" + v2);
  }
  EXPECT_EQ(found, (std::vector<std::string>{"0BADF00D/CAFE0001", "DEADBEEF/00C0FFEE", "00000000/00000000"}));
}

// Catches: a heading without drive, offset or read mode, a table of contents with wrong
// times or end sectors, a data track not marked, the disc ids or the lookup left out.
TEST(RipLog, HeadingSaysWhichDriveReadWhichDisc) {
  const auto lines = Lines(FormatRipLog(SampleLog()));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "zbmaker 9.8.7 rip log");
  EXPECT_TRUE(Holds(lines, "Date: 2026-12-09 20:15:03"));
  EXPECT_TRUE(Holds(lines, "Drive: ACME - CDR-52"));
  EXPECT_TRUE(Holds(lines, "Read offset: +667 samples"));
  EXPECT_TRUE(Holds(lines, "Read mode: burst, then verify"));
  EXPECT_TRUE(Holds(lines, "Samples outside the disc are written as silence"));
  EXPECT_TRUE(Holds(lines, "Format: WAV"));
  EXPECT_TRUE(Holds(lines, "Artist: The Artist"));
  EXPECT_TRUE(Holds(lines, "Album: An Album"));
  // 18 932 sectors = 4:12 and 32 sectors; 45 123 - 30 001 = 15 122 = 3:21 and 47.
  EXPECT_TRUE(Holds(lines, "      1  00:00.00  04:12.32             0       18931"));
  EXPECT_TRUE(Holds(lines, "      2  04:12.32  02:27.44         18932       30000"));
  EXPECT_TRUE(Holds(lines, "      3  06:40.01  03:21.47         30001       45122"));
  EXPECT_TRUE(Holds(lines, "      4  10:01.48  03:18.27         45123       59999  data track"));
  EXPECT_TRUE(Holds(lines, "AccurateRip disc: dBAR-003-0001a2b3-0004c5d6-2a0bc304.bin (id1 0001a2b3, id2 0004c5d6, "
                           "CDDB id 2a0bc304)"));
  EXPECT_TRUE(Holds(lines, "AccurateRip: found, 2 pressings"));

  RipLog plain = SampleLog();
  plain.readOffset = -6;
  for (RipLogTrack& track : plain.tracks) track.silenceBefore = track.silenceAfter = 0;
  const auto plainLines = Lines(FormatRipLog(plain));
  EXPECT_TRUE(Holds(plainLines, "Read offset: -6 samples"));
  EXPECT_FALSE(Holds(plainLines, "Samples outside the disc are written as silence"));
}

// Catches: a summary that calls a disc accurate while a track is not, counts a failed
// track twice, or says "1 tracks".
TEST(RipLog, SummaryNamesEveryKindOfTrackThatIsNotProven) {
  RipLog log = SampleLog();
  EXPECT_EQ(RipLogSummary(log), "1 track not accurate\n1 track could not be verified\n1 track suspicious\n");

  for (RipLogTrack& track : log.tracks) {
    track.verdict = {AccurateRipVerdict::Kind::Accurate, 3, 1, 3};
    track.suspicious = false;
  }
  EXPECT_EQ(RipLogSummary(log), "All tracks accurately ripped\n");

  log.tracks[0].verdict = {};
  log.tracks[1].verdict = {AccurateRipVerdict::Kind::NotInDatabase, 0, 0, 0};
  log.tracks[2].failed = true;
  log.tracks[2].verdict = {};
  EXPECT_EQ(RipLogSummary(log), "2 tracks could not be verified\n1 track with errors\n");

  const std::string text = FormatRipLog(log);
  EXPECT_NE(text.find("\nSummary\n2 tracks could not be verified\n1 track with errors\n\nSHA-256 "), std::string::npos);
  EXPECT_TRUE(Holds(TrackLines(text, 3), "Result: read failed"));

  log.tracks.clear();
  EXPECT_EQ(RipLogSummary(log), "No tracks ripped\n");
}

// Catches: a name with a line feed making a line of its own, which a script would take for
// a checksum or a summary line.
TEST(RipLog, NamesCannotAddLines) {
  RipLog log = SampleLog();
  log.album = "Album\nAll tracks accurately ripped";
  log.tracks[1].fileName = "02.wav\n  Copy CRC 00000000\r";
  log.errors = {"Cannot write\nSHA-256 0000"};
  const std::string text = FormatRipLog(log);
  EXPECT_TRUE(VerifyRipLogText(text).Ok());
  const auto lines = Lines(text);
  EXPECT_TRUE(Holds(lines, "Album: Album All tracks accurately ripped"));
  EXPECT_TRUE(Holds(TrackLines(text, 2), "File: 02.wav   Copy CRC 00000000 "));
  EXPECT_TRUE(Holds(lines, "  Cannot write SHA-256 0000"));
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("SHA-256"); }), 1);
}

// Catches: the file check reading only part of the file, taking a missing file or a folder
// for a changed log, or a write that leaves a half-written log under the log's name.
TEST(RipLog, FileIsWrittenWholeAndChecked) {
  TempDir dir;
  const std::string path = dir.File("An Album.log");
  const std::string text = FormatRipLog(SampleLog());
  ASSERT_TRUE(WriteTextFileAtomically(path, text).Ok());
  EXPECT_EQ(ReadText(path), text);
  EXPECT_TRUE(VerifyRipLogFile(path).Ok());
  // Only the log is in the folder: no temporary file stays behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()), 1);

  std::string changed = text;
  changed[changed.find("Copy CRC 1234ABCD") + 9] = '0';
  WriteText(path, changed);
  const auto verdict = VerifyRipLogFile(path);
  ASSERT_FALSE(verdict.Ok());
  EXPECT_TRUE(verdict.Error().Is(RipLogFault::Changed));
  EXPECT_EQ(verdict.Error().subject, path);
  EXPECT_EQ(verdict.Error().text, path + ": the log was changed after it was written");

  // A log larger than one read of the file.
  RipLog big = SampleLog();
  for (int t = 4; t <= 99; ++t) {
    big.tracks.push_back(big.tracks[1]);
    big.tracks.back().track = t;
    big.tracks.back().suspiciousRanges.assign(40, FrameRange{588, 1176});
  }
  const std::string bigText = FormatRipLog(big);
  ASSERT_GT(bigText.size(), 70000u);
  ASSERT_TRUE(WriteTextFileAtomically(path, bigText).Ok());
  EXPECT_TRUE(VerifyRipLogFile(path).Ok());

  const auto missing = VerifyRipLogFile(dir.File("none.log"));
  ASSERT_FALSE(missing.Ok());
  EXPECT_EQ(missing.Error().category, ErrorCategory::Io);
  const auto folder = VerifyRipLogFile(dir.Path());
  ASSERT_FALSE(folder.Ok());
  EXPECT_EQ(folder.Error().category, ErrorCategory::Unsupported);

  const auto noFolder = WriteTextFileAtomically(dir.File("no/such/folder/rip.log"), text);
  ASSERT_FALSE(noFolder.Ok());
  EXPECT_EQ(noFolder.Error().category, ErrorCategory::Io);
}

// Catches: a full disk leaving a cut log (or none) where the previous log was.
TEST(RipLog, FullDiskKeepsThePreviousLog) {
  TempDir dir;
  SmallDisk disk(dir, 64 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << "Skipped: the full-disk case needs a small tmpfs: " << disk.Why();
  const std::string path = disk.File("rip.log");
  ASSERT_TRUE(WriteTextFileAtomically(path, "old log\n").Ok());
  ASSERT_TRUE(disk.Fill());
  const auto written = WriteTextFileAtomically(path, FormatRipLog(SampleLog()));
  ASSERT_FALSE(written.Ok());
  EXPECT_EQ(written.Error().category, ErrorCategory::Io);
  EXPECT_EQ(ReadText(path), "old log\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk.Path()), std::filesystem::directory_iterator()), 2)
      << "the log and the filler, no temporary file";
}

}  // namespace

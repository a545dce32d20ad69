// What the track reading thread proves about a read: digests, AccurateRip verdicts, test and
// copy, burst then verify, the read offset; disc images through the real reader library.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "cdaccess/cd_drive_list.h"
#include "maker/cd/cd_extract_thread.h"
#include "maker/cd/track_read_loop.h"
#include "tests/cdaccess/disc_image_builder.h"
#include "tests/maker/cd/extract_thread_test_support.h"

namespace {

using testcd::ReadWav;
using testcd::RecordingHost;

uint32_t Crc32Of(const std::vector<uint8_t>& bytes) {
  return static_cast<uint32_t>(crc32(crc32(0L, Z_NULL, 0), bytes.data(), static_cast<uInt>(bytes.size())));
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

// The track's frames as the disc holds them: left sample in the low half.
std::vector<uint32_t> Frames(const testcd::Audio& audio) {
  std::vector<uint32_t> frames(audio.size() / 2);
  std::memcpy(frames.data(), audio.data(), frames.size() * 4);
  return frames;
}

class ExtractAccuracyTest : public ::testing::Test {
 protected:
  ExtractAccuracyTest() {
    auto drive = OpenCdDrive(image_.DriveIndex(), CdAccessMethod::OsInterface, image_.Images());
    EXPECT_TRUE(drive);
    auto toc = drive.Value()->ReadToc();
    EXPECT_TRUE(toc);
    ids_ = ComputeAccurateRipDiscIds(toc.Value());
  }

  // The record of this disc: a pressing that matches every track's v2 checksum with
  // confidence 12, another pressing of the same layout that matches none (confidence 3),
  // and a pressing of another disc that matches every v1 checksum (it must not count).
  std::shared_ptr<const AccurateRipRecord> Record() const {
    AccurateRipPressing matching{ids_.id1, ids_.id2, ids_.cddb, {}};
    AccurateRipPressing other = matching;
    AccurateRipPressing elsewhere{ids_.id1 + 1, ids_.id2, ids_.cddb, {}};
    for (int t = 1; t <= kTracks; ++t) {
      const AccurateRipSums sums = AccurateRipChecksums(Frames(image_.Track(t)), t == 1, t == kTracks);
      matching.tracks.push_back({12, sums.v2, 0});
      other.tracks.push_back({3, sums.v2 ^ 0x01000000u, 0});
      elsewhere.tracks.push_back({40, sums.v1, 0});
    }
    auto record = std::make_shared<AccurateRipRecord>();
    record->pressings = {other, elsewhere, matching};
    return record;
  }

  ReaderJob Job(int track, const std::string& name) const {
    ReaderJob job;
    job.drive = image_.DriveIndex();
    job.discImages = image_.Images();
    job.outputPath = dir_.File(name);
    job.track = track;
    job.firstSector = image_.Start(track);
    job.endSector = image_.End(track);
    job.sectorsPerRead = 16;
    job.jitterCorrection = false;
    job.overlapPercent = 30;
    job.maxSyncNoMatchRetry = 3;
    job.startTime = std::time(nullptr);
    job.accuracy.discIds = ids_;
    job.accuracy.audioTrackIndex = track - 1;
    job.accuracy.firstAudioTrack = track == 1;
    job.accuracy.lastAudioTrack = track == kTracks;
    return job;
  }

  struct Ripped {
    RecordingHost host;
    TrackAccuracy accuracy;
    bool error = false;
    bool warning = false;
  };

  // Reads the job's track to the end; cancelAfter > 0 cancels after that long, counted from
  // the first line that starts with `cancelFrom` when one is given.
  Ripped Rip(const ReaderJob& job, std::chrono::milliseconds cancelAfter = std::chrono::milliseconds(0),
             const std::string& cancelFrom = {}) {
    Ripped ripped;
    Worker<TCDExtractThread> thread(loop_, ripped.host, job);
    bool finished = false;
    thread.SetOnFinished([&] { finished = true; });
    thread.Start();
    if (cancelAfter.count() > 0) {
      if (!cancelFrom.empty()) loop_.RunUntil([&] { return finished || ripped.host.CountStartingWith(cancelFrom) > 0; });
      loop_.RunUntil([&] { return finished; }, cancelAfter);
      thread.Cancel();
    }
    EXPECT_TRUE(loop_.RunUntil([&] { return finished; }, std::chrono::seconds(120)));
    ripped.accuracy = thread.Accuracy();
    ripped.error = thread.Error();
    ripped.warning = thread.Warning();
    return ripped;
  }

  static constexpr int kTracks = 3;
  testcd::ScopedEnv libDir_{"ZIMBAR_LIB_DIR", ZIMBAR_BIN_DIR};
  testcd::TempDir dir_;
  // Tracks of odd lengths; the first starts quietly, the last ends in noise.
  testcd::DiscImage image_{dir_.Path(), "disc",
                           {testcd::Join({testcd::Silence(3), testcd::Tone(28, 440.0, 15000)}),
                            testcd::Noise(41, 3, 25000),
                            testcd::Join({testcd::Tone(12, 1000.0, 8000), testcd::Noise(13, 9, 20000)})}};
  AccurateRipDiscIds ids_;
  QueueMainLoop loop_;
};

// Catches: digests over the wrong frames (the first or last track's skips, the converted
// audio of mono and 22 050 Hz rips), pressings of another disc counted, or a verdict line
// without the checksums scripts read.
TEST_F(ExtractAccuracyTest, BurstWithMatchingRecordIsAccurateInOneRead) {
  struct Case {
    int track;
    bool mono;
    bool half;
  };
  for (const Case& c : {Case{1, false, false}, Case{2, true, false}, Case{3, false, true}}) {
    SCOPED_TRACE("track " + std::to_string(c.track));
    ReaderJob job = Job(c.track, "t.wav");
    job.mono = c.mono;
    job.rate22050 = c.half;
    job.accuracy.record = Record();
    const Ripped ripped = Rip(job);
    EXPECT_FALSE(ripped.error);
    EXPECT_FALSE(ripped.warning);
    const TrackAccuracy& accuracy = ripped.accuracy;
    EXPECT_EQ(accuracy.reads, 1);
    EXPECT_FALSE(accuracy.test);
    EXPECT_FALSE(accuracy.secureReread);
    ASSERT_TRUE(accuracy.copy);
    EXPECT_EQ(accuracy.copy->crc32, Crc32Of(testcd::Bytes(image_.Track(c.track))));
    EXPECT_EQ(accuracy.verdict.kind, AccurateRipVerdict::Kind::Accurate);
    EXPECT_EQ(accuracy.verdict.confidence, 12);
    EXPECT_EQ(accuracy.verdict.version, 2);
    const AccurateRipSums sums =
        AccurateRipChecksums(Frames(image_.Track(c.track)), c.track == 1, c.track == kTracks);
    EXPECT_EQ(ripped.host.lines.back(),
              "    AccurateRip v1 " + Hex(sums.v1) + " v2 " + Hex(sums.v2) + ": accurately ripped (confidence 12, v2)");
    EXPECT_EQ(ripped.host.CountStartingWith("    Test CRC"), 0);
  }
}

// Catches: a verdict without a record, or a line about AccurateRip when there is nothing to
// compare with; the digest is still made.
TEST_F(ExtractAccuracyTest, BurstWithoutRecordIsNotChecked) {
  const Ripped ripped = Rip(Job(2, "t2.wav"));
  EXPECT_EQ(ripped.accuracy.verdict.kind, AccurateRipVerdict::Kind::NotChecked);
  ASSERT_TRUE(ripped.accuracy.copy);
  EXPECT_EQ(ripped.accuracy.copy->crc32, Crc32Of(testcd::Bytes(image_.Track(2))));
  EXPECT_EQ(ripped.host.lines.size(), 4u) << ripped.host.lines.back();
}

// Catches: test and copy reads that are not both made, CRCs other than those of the disc's
// bytes, or a clean track re-read.
TEST_F(ExtractAccuracyTest, SecureOnACleanImageReadsTwiceWithEqualCrcs) {
  ReaderJob job = Job(2, "t2.wav");
  job.accuracy.secure = true;
  job.accuracy.record = Record();
  const Ripped ripped = Rip(job);
  const uint32_t crc = Crc32Of(testcd::Bytes(image_.Track(2)));
  EXPECT_EQ(ripped.accuracy.reads, 2);
  ASSERT_TRUE(ripped.accuracy.test);
  ASSERT_TRUE(ripped.accuracy.copy);
  EXPECT_EQ(ripped.accuracy.test->crc32, crc);
  EXPECT_EQ(ripped.accuracy.copy->crc32, crc);
  EXPECT_FALSE(ripped.accuracy.suspicious);
  EXPECT_FALSE(ripped.warning);
  EXPECT_EQ(ripped.accuracy.verdict.kind, AccurateRipVerdict::Kind::Accurate);
  const std::vector<std::string> tail(ripped.host.lines.begin() + 4, ripped.host.lines.end());
  ASSERT_EQ(tail.size(), 3u);
  EXPECT_EQ(tail[0], "    Test CRC " + Hex(crc));
  EXPECT_EQ(tail[1], "    Copy CRC " + Hex(crc));
  EXPECT_TRUE(tail[2].starts_with("    AccurateRip v1 "));
  EXPECT_EQ(ReadWav(job.outputPath).audio, testcd::Bytes(image_.Track(2)));
}

// Catches: normalization run after every read, or before the checks.
TEST_F(ExtractAccuracyTest, NormalizationRunsOnceOnTheKeptRead) {
  ReaderJob job = Job(1, "t1.wav");
  job.normalize = true;
  job.accuracy.secure = true;
  job.accuracy.record = Record();
  const Ripped ripped = Rip(job);
  const uint32_t crc = Crc32Of(testcd::Bytes(image_.Track(1)));
  const std::vector<std::string> tail(ripped.host.lines.begin() + 4, ripped.host.lines.end());
  ASSERT_EQ(tail.size(), 4u);
  EXPECT_EQ(tail[0], "    Test CRC " + Hex(crc));
  EXPECT_EQ(tail[1], "    Copy CRC " + Hex(crc));
  EXPECT_TRUE(tail[2].ends_with(": accurately ripped (confidence 12, v2)"));
  EXPECT_EQ(tail[3], "    Normalizing.");
  const testcd::WavFile wav = ReadWav(job.outputPath);
  std::vector<int16_t> samples(wav.audio.size() / 2);
  std::memcpy(samples.data(), wav.audio.data(), wav.audio.size());
  EXPECT_EQ(*std::max_element(samples.begin(), samples.end()), 32767);
}

// Catches: reads that never agree being passed as good, retries beyond the setting, ranges
// that miss where the reads differed, or a file that does not hold the last read.
TEST_F(ExtractAccuracyTest, SecureReadsThatNeverAgreeAreSuspicious) {
  // A drive whose reads land a little off every time, without jitter correction.
  testcd::ScopedEnv simulate("ZIMBAR_CD_SIMULATE", "jitter=40,share=1,seed=3,vary=1");
  ReaderJob job = Job(2, "t2.wav");
  job.accuracy.secure = true;
  job.accuracy.secureRetries = 3;
  const Ripped ripped = Rip(job);
  const TrackAccuracy& accuracy = ripped.accuracy;
  EXPECT_EQ(accuracy.reads, 5);
  EXPECT_TRUE(accuracy.suspicious);
  EXPECT_TRUE(ripped.warning);
  EXPECT_FALSE(ripped.error);
  ASSERT_TRUE(accuracy.copy);
  const testcd::WavFile wav = ReadWav(job.outputPath);
  EXPECT_EQ(Crc32Of(wav.audio), accuracy.copy->crc32) << "the file keeps the last read";
  for (int i = 1; i <= 3; ++i)
    EXPECT_TRUE(ripped.host.Has("    Reads differ: re-reading (" + std::to_string(i) + " of 3)"));
  EXPECT_EQ(ripped.host.CountStartingWith("    Copy CRC "), 4);
  EXPECT_EQ(ripped.host.CountStartingWith("    Warning: suspicious: reads never agreed at 0:00.00-"), 1);
  // Where the kept read differs from the disc lies inside the ranges reported.
  ASSERT_FALSE(accuracy.suspiciousRanges.empty());
  const auto disc = testcd::Bytes(image_.Track(2));
  ASSERT_EQ(wav.audio.size(), disc.size());
  for (size_t frame = 0; frame < disc.size() / 4; ++frame) {
    if (std::memcmp(&wav.audio[frame * 4], &disc[frame * 4], 4) == 0) continue;
    const bool covered = std::any_of(accuracy.suspiciousRanges.begin(), accuracy.suspiciousRanges.end(), [&](const FrameRange& r) {
      return r.first <= static_cast<int64_t>(frame) && static_cast<int64_t>(frame) < r.end;
    });
    ASSERT_TRUE(covered) << "frame " << frame;
  }
}

// Catches: ranges in the warning that leave out part of the frames they stand for.
TEST(TrackTimeTextTest, RangesAreRoundedOutward) {
  EXPECT_EQ(TrackTimeText(0), "0:00.00");
  EXPECT_EQ(TrackTimeText(440), "0:00.00");
  EXPECT_EQ(TrackTimeText(440, /*roundUp=*/true), "0:00.01");
  EXPECT_EQ(TrackTimeText(441, /*roundUp=*/true), "0:00.01");
  EXPECT_EQ(TrackTimeText(44100 * 61 + 441 * 23), "1:01.23");
  EXPECT_EQ(TrackTimeText(44100 * 3600 + 1, /*roundUp=*/true), "60:00.01");
}

// Catches: burst then verify re-reading a track that AccurateRip proved, or not re-reading
// (securely, with its own test and copy) one through an unreadable sector.
TEST_F(ExtractAccuracyTest, BurstThenVerifyReReadsOnlyTracksNotProven) {
  const int32_t bad = image_.Start(3) + 8;   // not in the last five sectors, which the checksums skip
  testcd::ScopedEnv simulate("ZIMBAR_CD_SIMULATE", "bad=" + std::to_string(bad) + "-" + std::to_string(bad + 1));
  ReaderJob job = Job(2, "t2.wav");
  job.accuracy.burstThenVerify = true;
  job.accuracy.record = Record();
  const Ripped proven = Rip(job);
  EXPECT_EQ(proven.accuracy.reads, 1);
  EXPECT_FALSE(proven.accuracy.secureReread);
  EXPECT_EQ(proven.accuracy.verdict.kind, AccurateRipVerdict::Kind::Accurate);
  EXPECT_EQ(proven.host.CountStartingWith("    AccurateRip: "), 0);

  job = Job(3, "t3.wav");
  job.accuracy.burstThenVerify = true;
  job.accuracy.record = Record();
  const Ripped damaged = Rip(job);
  EXPECT_TRUE(damaged.error);
  EXPECT_EQ(damaged.accuracy.reads, 3);
  EXPECT_TRUE(damaged.accuracy.secureReread);
  ASSERT_TRUE(damaged.accuracy.test);
  ASSERT_TRUE(damaged.accuracy.copy);
  EXPECT_EQ(damaged.accuracy.test->crc32, damaged.accuracy.copy->crc32);
  EXPECT_EQ(damaged.accuracy.verdict.kind, AccurateRipVerdict::Kind::NotAccurate);
  EXPECT_TRUE(damaged.host.Has("    AccurateRip: not accurate (confidence of the disc 15); re-reading securely"));
  EXPECT_EQ(damaged.host.CountStartingWith("    Test CRC "), 1);
  EXPECT_EQ(damaged.host.CountStartingWith("    Copy CRC "), 1);
  EXPECT_EQ(damaged.host.CountStartingWith("    AccurateRip v1 "), 1);
}

// Catches: a read offset not passed to the reader, silence outside the disc not noted (or
// noted as a warning), or a digest of other frames than those written.
TEST_F(ExtractAccuracyTest, ReadOffsetShiftsTheTrackAndNotesTheSilenceOutsideTheDisc) {
  for (const int32_t offset : {667, -667}) {
    SCOPED_TRACE(offset);
    const int track = offset > 0 ? kTracks : 1;
    ReaderJob job = Job(track, "t.wav");
    job.accuracy.readOffset = offset;
    const Ripped ripped = Rip(job);
    EXPECT_FALSE(ripped.warning);
    EXPECT_FALSE(ripped.error);
    const auto disc = testcd::Bytes(image_.Track(track));
    std::vector<uint8_t> expected(disc.size(), 0);
    if (offset > 0) {
      std::copy(disc.begin() + offset * 4, disc.end(), expected.begin());
      EXPECT_EQ(ripped.accuracy.silenceAfter, offset);
      EXPECT_EQ(ripped.host.lines.back(),
                "    Note: 667 samples after the disc's last readable sample were written as silence");
    } else {
      std::copy(disc.begin(), disc.end() + offset * 4, expected.begin() - offset * 4);
      EXPECT_EQ(ripped.accuracy.silenceBefore, -offset);
      EXPECT_EQ(ripped.host.lines.back(),
                "    Note: 667 samples before the disc's first readable sample were written as silence");
    }
    EXPECT_EQ(ripped.host.events.back().severity, LogSeverity::Info);
    EXPECT_EQ(ReadWav(job.outputPath).audio, expected);
    ASSERT_TRUE(ripped.accuracy.copy);
    EXPECT_EQ(ripped.accuracy.copy->crc32, Crc32Of(expected));
  }
}

// Catches: a read offset that is not applied to the audio the checksums are taken of: a
// drive that reads 667 samples early verifies only once its offset is set.
TEST_F(ExtractAccuracyTest, ADriveWithAnOffsetVerifiesOnceTheOffsetIsSet) {
  testcd::ScopedEnv simulate("ZIMBAR_CD_SIMULATE", "offset=667");
  for (const int32_t readOffset : {0, 667}) {
    SCOPED_TRACE(readOffset);
    ReaderJob job = Job(2, "t2.wav");
    job.accuracy.readOffset = readOffset;
    job.accuracy.record = Record();
    const Ripped ripped = Rip(job);
    EXPECT_EQ(ripped.accuracy.verdict.kind,
              readOffset == 0 ? AccurateRipVerdict::Kind::NotAccurate : AccurateRipVerdict::Kind::Accurate);
    EXPECT_EQ(ReadWav(job.outputPath).audio == testcd::Bytes(image_.Track(2)), readOffset != 0);
  }
}

// Catches: a cancel during the test read that goes on to the copy read, or leaves digests
// of a read that did not reach the track's end.
TEST_F(ExtractAccuracyTest, CancelDuringTheTestReadEndsTheReads) {
  testcd::ScopedEnv simulate("ZIMBAR_CD_SIMULATE", "delay=20");   // a slow drive: a second or more a track
  ReaderJob job = Job(2, "t2.wav");
  job.sectorsPerRead = 8;
  job.accuracy.secure = true;
  const Ripped ripped = Rip(job, std::chrono::milliseconds(150));
  EXPECT_EQ(ripped.accuracy.reads, 1);
  EXPECT_FALSE(ripped.accuracy.test);
  EXPECT_FALSE(ripped.accuracy.copy);
  EXPECT_EQ(ripped.host.CountStartingWith("    Test CRC "), 0);
  EXPECT_EQ(ripped.host.CountStartingWith("    Copy CRC "), 0);
  EXPECT_TRUE(ripped.host.Has("    Kept the unfinished file as " + dir_.File("t2.part.wav") + " (cancelled)."));
}

// Catches: a cancelled copy read that leaves the test read's tail behind it in the file
// (the header would then not match the file, and the kept bytes mix two reads).
TEST_F(ExtractAccuracyTest, CancelDuringTheCopyReadKeepsOnlyWhatItRead) {
  testcd::ScopedEnv simulate("ZIMBAR_CD_SIMULATE", "delay=100");   // over half a second a read
  ReaderJob job = Job(2, "t2.wav");
  job.sectorsPerRead = 8;
  job.accuracy.secure = true;
  const Ripped ripped = Rip(job, std::chrono::milliseconds(100), "    Test CRC ");
  EXPECT_EQ(ripped.accuracy.reads, 2);
  ASSERT_TRUE(ripped.accuracy.test);
  EXPECT_FALSE(ripped.accuracy.copy);
  EXPECT_EQ(ripped.host.CountStartingWith("    Copy CRC "), 0);
  const testcd::WavFile wav = ReadWav(dir_.File("t2.part.wav"));
  const auto disc = testcd::Bytes(image_.Track(2));
  EXPECT_LT(wav.audio.size(), disc.size());
  EXPECT_EQ(wav.dataSize, wav.audio.size());
  EXPECT_TRUE(std::equal(wav.audio.begin(), wav.audio.end(), disc.begin()));
}

}  // namespace

// The reads of one track with scripted reads: which reads are made, which one is kept, and
// what the log says.
#include "maker/cd/track_read_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// A read whose CRC is `crc`, two sectors long; its second sector differs between CRCs.
TrackDigest ReadWithCrc(uint32_t crc) {
  TrackDigest digest;
  digest.crc32 = crc;
  digest.sectorCrcs = {7, crc};
  digest.frames = 2 * 588;
  digest.accurateRip = {crc << 4, (crc << 4) + 1};
  return digest;
}

// Hands out reads with the scripted CRCs in turn; 0 stands for a read that ended early.
struct ScriptedReads {
  explicit ScriptedReads(std::vector<uint32_t> script) : crcs(std::move(script)) {
    hooks.read = [this]() -> std::optional<TrackDigest> {
      const uint32_t crc = crcs.at(static_cast<size_t>(made++));
      if (crc == 0) return std::nullopt;
      return ReadWithCrc(crc);
    };
    hooks.stopped = [this] { return stopAfter >= 0 && made >= stopAfter; };
    hooks.log = [this](LogSeverity severity, const std::string& line) {
      lines.push_back(line);
      if (severity == LogSeverity::Warning) ++warnings;
    };
  }
  std::vector<uint32_t> crcs;
  int made = 0;
  int stopAfter = -1;  // Cancel once this many reads were made
  int warnings = 0;
  std::vector<std::string> lines;
  TrackReadHooks hooks;
};

ReadAccuracyJob SecureJob(int retries) {
  ReadAccuracyJob job;
  job.secure = true;
  job.secureRetries = retries;
  return job;
}

// Catches: a re-read compared only with the read just before it (a drive that reads A, B, A
// has agreed), or more reads than needed.
TEST(TrackReadLoopTest, ARereadEndsTheLoopWhenItAgreesWithAnyEarlierRead) {
  ScriptedReads reads({0xA, 0xB, 0xC, 0xA, 0xD});
  const TrackAccuracy accuracy = ReadTrackAccurately(SecureJob(5), reads.hooks);
  EXPECT_EQ(accuracy.reads, 4);
  EXPECT_FALSE(accuracy.suspicious);
  EXPECT_EQ(accuracy.test->crc32, 0xAu);
  EXPECT_EQ(accuracy.copy->crc32, 0xAu);
  EXPECT_EQ(reads.lines, (std::vector<std::string>{"    Test CRC 0000000A", "    Copy CRC 0000000B",
                                                   "    Reads differ: re-reading (1 of 5)", "    Copy CRC 0000000C",
                                                   "    Reads differ: re-reading (2 of 5)", "    Copy CRC 0000000A"}));
  EXPECT_EQ(reads.warnings, 0);
}

// Catches: retries beyond the setting (none at all included), or a track that never agreed
// passing without its warning and ranges.
TEST(TrackReadLoopTest, ReadsThatNeverAgreeEndAfterTheRetriesAsSuspicious) {
  for (int retries : {0, 2}) {
    SCOPED_TRACE(retries);
    std::vector<uint32_t> crcs;
    for (int i = 0; i < 2 + retries; ++i) crcs.push_back(0x100u + static_cast<uint32_t>(i));
    ScriptedReads reads(crcs);
    const TrackAccuracy accuracy = ReadTrackAccurately(SecureJob(retries), reads.hooks);
    EXPECT_EQ(accuracy.reads, 2 + retries);
    EXPECT_TRUE(accuracy.suspicious);
    EXPECT_EQ(accuracy.copy->crc32, crcs.back());
    EXPECT_EQ(accuracy.suspiciousRanges, (std::vector<FrameRange>{{588, 1176}}));
    EXPECT_EQ(reads.warnings, 1);
    EXPECT_EQ(reads.lines.back(), "    Warning: suspicious: reads never agreed at 0:00.01-0:00.03");
  }
}

// Catches: burst then verify re-reading a proven track, or keeping the burst read's verdict
// after the re-read.
TEST(TrackReadLoopTest, BurstThenVerifyReReadsOnlyWhatTheRecordDoesNotProve) {
  ReadAccuracyJob job;
  job.burstThenVerify = true;
  auto record = std::make_shared<AccurateRipRecord>();
  job.discIds.audioTracks = 1;
  job.discIds.id1 = 1;
  record->pressings = {{1, 0, 0, {{5, 0xA1, 0}}}};   // the v2 sum of a read with CRC 0xA
  job.record = record;

  ScriptedReads proven({0xA});
  TrackAccuracy accuracy = ReadTrackAccurately(job, proven.hooks);
  EXPECT_EQ(accuracy.reads, 1);
  EXPECT_EQ(accuracy.verdict.kind, AccurateRipVerdict::Kind::Accurate);
  EXPECT_TRUE(proven.lines.empty());

  ScriptedReads unproven({0xB, 0xA, 0xA});
  accuracy = ReadTrackAccurately(job, unproven.hooks);
  EXPECT_EQ(accuracy.reads, 3);
  EXPECT_TRUE(accuracy.secureReread);
  EXPECT_EQ(accuracy.verdict.kind, AccurateRipVerdict::Kind::Accurate) << "the verdict is of the read kept";
  ASSERT_FALSE(unproven.lines.empty());
  EXPECT_EQ(unproven.lines[0], "    AccurateRip: not accurate (confidence of the disc 5); re-reading securely");

  job.record = nullptr;   // nothing to prove a read with: every track is read securely
  ScriptedReads unchecked({0xB, 0xC, 0xC});
  accuracy = ReadTrackAccurately(job, unchecked.hooks);
  EXPECT_EQ(accuracy.reads, 3);
  EXPECT_EQ(accuracy.verdict.kind, AccurateRipVerdict::Kind::NotChecked);
}

// Catches: a read started after Cancel, or a digest kept of a read that ended early.
TEST(TrackReadLoopTest, CancelAndUnfinishedReadsEndTheLoop) {
  ScriptedReads cancelled({0xA, 0xB, 0xC});
  cancelled.stopAfter = 2;
  TrackAccuracy accuracy = ReadTrackAccurately(SecureJob(5), cancelled.hooks);
  EXPECT_EQ(accuracy.reads, 2);
  EXPECT_FALSE(accuracy.suspicious);
  EXPECT_EQ(cancelled.warnings, 0);

  ScriptedReads unfinished({0xA, 0xB, 0});
  accuracy = ReadTrackAccurately(SecureJob(5), unfinished.hooks);
  EXPECT_EQ(accuracy.reads, 3);
  EXPECT_FALSE(accuracy.copy) << "the file holds the unfinished read, not the one before it";
  EXPECT_FALSE(accuracy.suspicious);
}

}  // namespace

// How a track's read went and what proves it: the outcome a CD read thread leaves for the
// run when it has ended.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "maker/accuracy/accuraterip.h"
#include "maker/accuracy/track_digest.h"

// What the run asks of a track's read beyond reading it.
struct ReadAccuracyJob {
  int32_t readOffset = 0;        // the drive's read offset in samples
  bool secure = false;           // test and copy: read twice, compare, re-read on mismatch
  int secureRetries = 5;         // reads beyond the first two when they disagree
  bool burstThenVerify = false;  // read once; re-read securely only when not accurate
  // The disc's AccurateRip record and ids; null when there is none to compare with.
  std::shared_ptr<const AccurateRipRecord> record;
  AccurateRipDiscIds discIds;
  int audioTrackIndex = 0;       // 0-based among the disc's audio tracks
  bool firstAudioTrack = false;
  bool lastAudioTrack = false;
};

// The outcome of a read; the file holds the read `copy` describes.
struct TrackAccuracy {
  std::optional<TrackDigest> test;   // the secure mode's first read
  std::optional<TrackDigest> copy;   // the read kept in the file
  AccurateRipVerdict verdict;
  int reads = 0;                     // all reads made of the track
  bool secureReread = false;         // burst, then verify: re-read securely
  bool suspicious = false;
  std::vector<FrameRange> suspiciousRanges;
  int64_t silenceBefore = 0;         // frames outside the disc written as silence
  int64_t silenceAfter = 0;
  // The reader's error and warning lines of the track, as logged, without their indent.
  std::vector<std::string> problems;
};

// What the workers that read tracks (and their stand-ins in tests) tell the run about the
// read once they have ended.
class TrackAccuracySource {
 public:
  virtual ~TrackAccuracySource() = default;
  virtual TrackAccuracy Accuracy() const = 0;
};

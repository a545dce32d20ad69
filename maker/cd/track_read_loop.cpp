// The reads of one track: burst, test and copy, burst then verify.
#include "maker/cd/track_read_loop.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

std::string CrcLine(const char* label, uint32_t crc) {
  char line[64];
  std::snprintf(line, sizeof line, "    %s CRC %08X", label, crc);
  return line;
}

std::string RangesText(const std::vector<FrameRange>& ranges) {
  std::string text;
  for (const FrameRange& range : ranges) {
    if (!text.empty()) text += ", ";
    text += TrackTimeText(range.first) + "-" + TrackTimeText(range.end, /*roundUp=*/true);
  }
  return text;
}

class ReadLoop {
 public:
  ReadLoop(const ReadAccuracyJob& job, const TrackReadHooks& hooks) : job_(job), hooks_(hooks) {}

  TrackAccuracy Run() {
    if (job_.secure) {
      Secure();
      return accuracy_;
    }
    const std::optional<TrackDigest> burst = Read();
    if (!burst) return accuracy_;
    accuracy_.verdict = VerdictOfRead(job_, *burst);
    if (!job_.burstThenVerify || accuracy_.verdict.kind == AccurateRipVerdict::Kind::Accurate) return accuracy_;
    hooks_.log(LogSeverity::Info,
               "    AccurateRip: " + AccurateRipVerdictText(accuracy_.verdict) + "; re-reading securely");
    accuracy_.secureReread = true;
    Secure();
    return accuracy_;
  }

 private:
  // One more read; the kept read is always the last one made.
  std::optional<TrackDigest> Read() {
    if (hooks_.stopped()) return std::nullopt;
    ++accuracy_.reads;
    std::optional<TrackDigest> read = hooks_.read();
    accuracy_.copy = read;
    accuracy_.verdict = {};
    return read;
  }

  // Test and copy: two reads whose CRCs must agree; on a mismatch each further read ends
  // the loop as soon as it agrees with any read before it.
  void Secure() {
    std::vector<TrackDigest> reads;
    const std::optional<TrackDigest> test = Read();
    if (!test) return;
    accuracy_.test = test;
    hooks_.log(LogSeverity::Info, CrcLine("Test", test->crc32));
    reads.push_back(*test);
    for (int again = 0;; ++again) {
      if (again > 0) {
        if (again > job_.secureRetries) break;
        char line[64];
        std::snprintf(line, sizeof line, "    Reads differ: re-reading (%i of %i)", again, job_.secureRetries);
        hooks_.log(LogSeverity::Info, line);
      }
      const std::optional<TrackDigest> copy = Read();
      if (!copy) return;
      hooks_.log(LogSeverity::Info, CrcLine("Copy", copy->crc32));
      const bool agreed = std::any_of(reads.begin(), reads.end(),
                                      [&](const TrackDigest& read) { return read.crc32 == copy->crc32; });
      reads.push_back(*copy);
      if (agreed) {
        accuracy_.verdict = VerdictOfRead(job_, *copy);
        return;
      }
    }
    accuracy_.suspicious = true;
    accuracy_.suspiciousRanges = DifferingRanges(reads);
    hooks_.log(LogSeverity::Warning,
               "    Warning: suspicious: reads never agreed at " + RangesText(accuracy_.suspiciousRanges));
    accuracy_.verdict = VerdictOfRead(job_, *accuracy_.copy);
  }

  const ReadAccuracyJob& job_;
  const TrackReadHooks& hooks_;
  TrackAccuracy accuracy_;
};

}  // namespace

TrackAccuracy ReadTrackAccurately(const ReadAccuracyJob& job, const TrackReadHooks& hooks) {
  return ReadLoop(job, hooks).Run();
}

AccurateRipVerdict VerdictOfRead(const ReadAccuracyJob& job, const TrackDigest& read) {
  if (!job.record) return {};
  return VerifyAccurateRip(*job.record, job.discIds, job.audioTrackIndex, read.accurateRip);
}

std::string TrackTimeText(int64_t frames, bool roundUp) {
  const int64_t hundredths = (frames * 100 + (roundUp ? 44099 : 0)) / 44100;
  char text[48];
  std::snprintf(text, sizeof text, "%lli:%02lli.%02lli", static_cast<long long>(hundredths / 6000),
                static_cast<long long>(hundredths / 100 % 60), static_cast<long long>(hundredths % 100));
  return text;
}

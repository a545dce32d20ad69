// Reading one track of a CD source, with or without jitter correction.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "cdaccess/cd_source.h"

struct TrackReadParams {
  int32_t firstSector = 0;
  int32_t endSector = 0;        // first sector after the track
  int sectorsPerRead = 8;       // 1 ... 255; with jitter correction at least 8 are read
  bool jitterCorrection = true;
  int overlapPercent = 10;      // 10 ... 80
  int syncNoMatchRetries = 0;
  int syncMisalignRetries = 0;
  int readMode = 0;
};

// What the reader reports and where the audio goes.
struct TrackReadEvents {
  std::function<void(uint8_t type, int32_t value, int32_t extra)> message;
  std::function<bool()> cancelled;
  // Receives the track's audio in order, as stereo frames (left sample in the low half);
  // false stops the reading (the output failed).
  std::function<bool(std::span<const uint32_t> frames)> emit;
};

enum class TrackReadOutcome { Finished, Cancelled, OutputFailed };

// Reads [firstSector, endSector) in requests of sectorsPerRead sectors.
//
// Without jitter correction the reads follow each other sector by sector. With it, each
// read starts `overlap` frames before the end of what was accepted and is placed by finding
// where its first frames match the accepted audio, within a search range of at most one
// sector each way. A read that matches nowhere is repeated up to syncNoMatchRetries times,
// then taken as it is with a "Sync Error." warning; a read that matches away from where it
// was asked for is repeated up to syncMisalignRetries times hoping for an exact read, then
// corrected (counted in "Made %i corrections."). When the overlap matches at several
// places (silence, a strictly periodic tone) the read is repeated until three reads agree
// byte for byte. The first read of the track is verified the same way.
//
// A failed read is repeated (each failure that a repeat cures gives a "CD Drive Error %i."
// warning); a read that keeps failing is redone sector by sector, unreadable sectors become
// silence and each new run of them gives one "CD-ROM read error." error.
class TrackReader {
 public:
  TrackReader(CdSource& source, const TrackReadParams& params, const TrackReadEvents& events);
  TrackReadOutcome Run();

  static constexpr int kReadAttempts = 4;   // tries of one read request before it counts as failed
  static constexpr int kVoteReads = 16;     // reads of one place while looking for agreeing reads
  static constexpr int kVotesNeeded = 3;    // identical reads that settle where a read came from

 private:
  struct BlockRead {
    bool ok = false;          // false: cancelled
    bool hadBadSectors = false;
  };
  enum class Vote { Agreed, Undecided, Cancelled };
  // Re-reads one place until reads agree; `read` ends holding the agreed (or likeliest) read.
  Vote VoteRead(int32_t sector, int sectors, std::vector<uint32_t>& read);
  BlockRead ReadBlock(int32_t sector, int sectors, std::vector<uint32_t>& frames);
  bool ReadOnce(int32_t sector, int sectors, std::vector<uint32_t>& frames, bool pause);
  void PauseAfterFailure();
  TrackReadOutcome RunPlain();
  TrackReadOutcome RunCorrected();
  std::vector<int> Candidates(const std::vector<uint32_t>& read, int64_t readStart, int range) const;
  bool Accept(std::span<const uint32_t> frames);
  void ReportProgress(bool force);

  CdSource& source_;
  TrackReadParams params_;
  const TrackReadEvents& events_;
  int64_t totalFrames_ = 0;
  int64_t accepted_ = 0;                // frames of the track delivered so far
  std::vector<uint32_t> tail_;          // the last delivered frames, ending at accepted_
  size_t tailCapacity_ = 0;
  int corrections_ = 0;
  int32_t lastBadReported_ = -1;
  int32_t lastProgress_ = -1;
  bool outputFailed_ = false;
};

// What one read of a track gave: its CRC32, a CRC32 per sector (to find where two reads
// differ), its AccurateRip checksums and its peak level.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "maker/accuracy/accuraterip.h"

struct TrackDigest {
  uint32_t crc32 = 0;                 // of the track's bytes as the disc holds them
  std::vector<uint32_t> sectorCrcs;   // one per 588 frames (the last may be shorter)
  AccurateRipSums accurateRip;
  int peak = 0;                       // largest sample magnitude, 0 ... 32768
  int64_t frames = 0;
};

// Feeds a TrackDigest frame by frame; safe to feed from the reader library's thread.
class TrackDigester {
 public:
  TrackDigester(int64_t trackFrames, bool firstTrack, bool lastTrack);
  void Add(std::span<const uint32_t> frames);
  // The digest of what was fed (call once, at the end).
  TrackDigest Finish();

 private:
  AccurateRipAccumulator accurateRip_;
  TrackDigest digest_;
  uint32_t sectorCrc_ = 0;
  int sectorFill_ = 0;
  uint32_t crc_ = 0;
};

// A run of frames, [first, end), 0-based within the track.
struct FrameRange {
  int64_t first = 0;
  int64_t end = 0;
  bool operator==(const FrameRange&) const = default;
};
// The sector-sized ranges where not all of `reads` agree, adjacent ones joined.
std::vector<FrameRange> DifferingRanges(std::span<const TrackDigest> reads);

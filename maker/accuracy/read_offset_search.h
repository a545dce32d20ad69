// Finding a drive's read offset: the shift at which a ripped track's checksums match the
// database.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "maker/accuracy/accuraterip.h"

// A track read wider than itself: `margin` frames before its first sample and after its
// last (silence where the disc ends), with the drive's offset at 0.
struct WideTrackRead {
  int track = 0;                  // 0-based index among the audio tracks
  bool firstTrack = false;
  bool lastTrack = false;
  int64_t trackFrames = 0;
  int margin = 0;
  std::vector<uint32_t> frames;   // trackFrames + 2 x margin frames
};

struct OffsetMatch {
  int offset = 0;       // the correction that makes the read match: sample k at k + offset
  int tracks = 0;       // tracks that matched at that offset
  int confidence = 0;   // sum of the matching entries' confidences
};

// Tries every offset in [-margin, margin] on every read against the entries of that track
// in every pressing of the disc's layout: v1 by a rolling sum (one pass a track), v2
// computed directly only at the offsets where it can match. Returns the offsets at which at
// least one track matches, the best first (most tracks, then most confidence, then the
// smallest shift). Reads whose frames are not trackFrames + 2 x margin, and tracks no longer
// than their skips, are left out. `cancelled` is asked now and then; a cancelled search
// returns what it found.
std::vector<OffsetMatch> SearchReadOffsets(std::span<const WideTrackRead> reads, const AccurateRipRecord& record,
                                           const AccurateRipDiscIds& ids, const std::function<bool()>& cancelled = {});

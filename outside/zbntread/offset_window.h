// Where a track read with a drive's read offset lies on the disc: the sectors to read, the
// frames of them to drop, and the silence that stands for what lies outside the disc.
#pragma once

#include <cstdint>

struct OffsetWindow {
  int32_t firstSector = 0;     // the sectors to read, [firstSector, endSector), on the disc
  int32_t endSector = 0;
  int64_t skipFrames = 0;      // frames of the first sector read before the track's audio
  int64_t readFrames = 0;      // frames of the reads that belong to the track
  int64_t silenceBefore = 0;   // frames before the disc's first sample
  int64_t silenceAfter = 0;    // frames at or after the lead-out
};

// The track [first, end) read with `offset` frames of correction (its sample k is the disc's
// sample first x 588 + k + offset) on a disc whose readable audio ends at sector `leadOut`.
OffsetWindow PlanOffsetRead(int32_t first, int32_t end, int32_t offset, int32_t leadOut);

// The CDDB disc ID of a disc and the table of contents it is computed from.
#pragma once

#include <cstdint>
#include <vector>

#include "cdaccess/track_table.h"

// Start sectors of the tracks as the drive reports them (logical block addresses,
// 75 sectors per second): startSectors[k - 1] is track k (k = 1 … trackCount) and
// startSectors[trackCount] the lead-out. Callers convert their track table to this.
struct DiscLayout {
  int trackCount = 0;
  std::vector<std::int32_t> startSectors;

  // 1 … 99 tracks, trackCount + 1 start sectors, none negative, rising strictly.
  bool Valid() const;
  // Disc length in seconds as CDDB counts it (the 150-sector pre-gap included).
  int LengthSeconds() const;
};

// The layout of a table of contents read from a drive.
DiscLayout DiscLayoutFromTrackTable(const TrackTable& table);

// The 32-bit CDDB disc ID: digit sums of the track start seconds (pre-gap included) mod
// 255 in the top byte, the playing time in seconds in the middle 16 bits, the track
// count in the low byte. 0 for a layout that is not Valid().
std::uint32_t DiscId(const DiscLayout& disc);

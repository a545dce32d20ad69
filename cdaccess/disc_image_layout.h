// Where the audio of a disc image's data files lies on the disc, and the table of contents
// that follows from it, checked against what the files hold.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cdaccess/disc_image_sheet.h"
#include "cdaccess/track_table.h"
#include "common/error.h"

// The longest track a rip can hold: the reader reports its audio bytes in 32 bits.
inline constexpr int64_t kImageMaxTrackSectors = INT32_MAX / kCdSectorBytes;
// The longest disc: 99 tracks of that length, so every sector address fits in 32 bits.
inline constexpr int64_t kImageMaxDiscSectors = kImageMaxTracks * kImageMaxTrackSectors;

// A stretch of the disc that file `file` holds, from its audio byte `fileByte` on.
struct DiscImageSegment {
  int64_t discByte = 0;
  int64_t bytes = 0;
  size_t file = 0;
  int64_t fileByte = 0;
};

struct DiscImageLayout {
  int firstTrack = 1;
  std::vector<int32_t> starts;                // start sector of each track, then the lead-out
  std::vector<uint8_t> dataTracks;            // per track: 1 for a data track
  // Per track: the sector where its pregap begins (its INDEX 00, or the silence of a
  // PREGAP) when that lies before its start, else -1.
  std::vector<int32_t> pregapStarts;
  std::vector<DiscImageSegment> segments;     // in disc order; what lies between is silence
};

// Lays out the steps of a sheet whose file i holds fileBytes[i] bytes of audio. Refuses
// (with a message naming the track) a table the data cannot hold: an index or a stretch of
// a file beyond the file's end, a track without index 1 or without audio, a track that does
// not start on a whole sector, a track or disc longer than the limits above.
Expected<DiscImageLayout> LayOutDiscImage(const ImageSheet& sheet, std::span<const int64_t> fileBytes);

// A cue sheet and a play list for the files of a rip: one FILE per track.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cdaccess/track_table.h"

struct CueSheetTrack {
  int track = 0;            // 1-based number on the disc
  std::string fileName;     // name only, beside the sheet
  std::string fileType;     // "WAVE", "MP3", "AIFF", ...
  std::string title;
  std::string performer;
  int32_t sectors = 0;      // the file's length in sectors (where the next pregap sits)
  // Sectors of the track's pregap (index 00 to index 01) that belong to the previous file,
  // 0 when the disc gives no pregap.
  int32_t pregapSectors = 0;
};

struct CueSheet {
  std::string performer;
  std::string title;
  std::string discId;       // CDDB id, 8 hex digits, or empty
  std::vector<CueSheetTrack> tracks;
};

// The sheet's text: REM lines, PERFORMER and TITLE of the album, then per track FILE,
// TRACK nn AUDIO, TITLE, PERFORMER, INDEX 00 (in the previous file, at its end less the
// pregap) where there is a pregap, INDEX 01 00:00:00. Quotes inside names become
// apostrophes; names are UTF-8.
std::string FormatCueSheet(const CueSheet& sheet);
// "#EXTM3U" and one line per file, in order.
std::string FormatM3uPlayList(const std::vector<std::string>& fileNames);

// A cue sheet and a play list for the files of a rip: one FILE per track.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct CueSheetTrack {
  int track = 0;            // 1-based number on the disc
  std::string fileName;     // name only, beside the sheet
  std::string fileType;     // "WAVE", "MP3", "AIFF", ...
  std::string title;
  std::string performer;
  int32_t sectors = 0;      // the file's length in sectors (where the next pregap sits)
  // Sectors of the track's pregap (index 00 to index 01), which the previous file holds at
  // its end; for the first track, the sectors before it. 0 when the disc gives no pregap.
  int32_t pregapSectors = 0;
};

struct CueSheet {
  std::string performer;
  std::string title;
  std::string genre;        // empty: no REM GENRE line
  std::string date;         // the year; empty: no REM DATE line
  std::string discId;       // CDDB id, 8 hex digits, or empty
  std::vector<CueSheetTrack> tracks;
};

// The sheet's text: REM GENRE, DATE, DISCID and COMMENT "zbmaker <version>", PERFORMER and
// TITLE of the album, then per track FILE, TRACK nn AUDIO, TITLE, PERFORMER, INDEX 01
// 00:00:00. A track with a pregap has its TRACK, TITLE, PERFORMER and INDEX 00 lines in the
// previous track's FILE, at that file's end less the pregap, the way the disc holds it
// (the rip of a track ends where the next one's index 01 begins). Where no file holds the
// pregap (before the first track; after a track that was not ripped, which `track`
// numbers tell; a pregap longer than the previous file), a PREGAP line puts silence in its
// place, so that a sheet of a whole disc lays the tracks out where the disc has them.
// Double quotes inside names become apostrophes and control characters blanks; names are
// UTF-8. Lines end in CR LF: the line end of the burning programs the format comes from,
// which every cue reader accepts (this project's own reader takes either).
std::string FormatCueSheet(const CueSheet& sheet);

// Whether a FILE line of a sheet can name this file: a name with a double quote or a
// control character cannot be written in the quotes of a FILE line (FormatCueSheet then
// writes a name that differs from the file's).
bool CueSheetCanName(std::string_view fileName);

// "#EXTM3U" and one line per file, in order; names relative to the list's folder, lines
// ending in a line feed as the player's own lists do.
std::string FormatM3uPlayList(const std::vector<std::string>& fileNames);

// The CD information filled from what a disc says about itself (the titles and performers
// of a cue sheet or a .toc file, a real disc's CD-Text) where the user has typed nothing.
#pragma once

#include <string>
#include <vector>

#include "cdaccess/disc_text.h"
#include "maker/metadata/cd_info.h"

// The disc's values as the CD information takes them, or what a fill put there.
struct DiscTextFill {
  std::string title;                     // the album
  std::string artist;
  std::vector<std::string> trackNames;   // [i]: track i + 1

  // Name of 1-based track `track`, empty when there is none.
  std::string TrackName(int track) const;
};

// The values of `text` for a disc of `trackCount` tracks, cleaned as the text of CDDB
// replies is: valid UTF-8 is kept as it is and anything else read as ISO-8859-1, control
// characters are taken out, blanks around a value dropped, and every value is cut to the
// CD window's 127 characters. The artist is the album's performer; when the album names
// none but every track names the same one, that one.
DiscTextFill DiscTextValues(const DiscText& text, int trackCount);

// Puts the disc's values into title, artist and the names of tracks 1 ... trackCount of
// `info`, each only where the user has typed nothing: the field is empty, or it still holds
// what `previous` (the fill of the disc chosen before) put there, in which case it takes
// this disc's value even when that is empty (names of tracks beyond this disc's last too). Typed values stay as they are. Returns what
// this fill put in, the `previous` of the next one. A CDDB result applied afterwards
// replaces these values as it replaces typed ones: the user asked for it.
DiscTextFill FillCdInfoFromDiscText(const DiscText& text, int trackCount, const DiscTextFill& previous, CdInfo& info);

// Reads the text of a .cue sheet into the disc layout steps of an ImageSheet.
#pragma once

#include <string>
#include <string_view>

#include "cdaccess/disc_image_sheet.h"
#include "common/error.h"

// The commands that place audio are read strictly: FILE (types BINARY, MOTOROLA, WAVE),
// TRACK (AUDIO, or the raw 2 352-byte sectors of a data track: MODE1/2352, MODE2/2352,
// CDI/2352, which mark the track as data; numbers 1 ... 99, one after the other), INDEX
// (00 or 01 first, then counting up, never before the previous index of the same file),
// PREGAP and POSTGAP. TITLE and PERFORMER go into the sheet's text: before the first TRACK
// the album's, after a TRACK line that track's; the value in double quotes or, without
// quotes, the rest of the line, kept as written (any character set, control characters
// too) and cut to kDiscTextValueBytes. Whatever such a line holds, it never fails the
// sheet. Other commands (REM, SONGWRITER, FLAGS, ISRC, ...) carry no audio and are skipped.
// Each FILE is laid out whole, padded to a whole sector, in the order of the sheet; a track
// runs from its first INDEX to the next track's first INDEX. The error names the line and
// what is wrong with it: "line 7: TRACK 100: ...".
Expected<ImageSheet> ParseCueSheet(std::string_view text);

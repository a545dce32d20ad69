// Reads the text of a .toc file into the disc layout steps of an ImageSheet.
#pragma once

#include <string>
#include <string_view>

#include "cdaccess/disc_image_sheet.h"
#include "common/error.h"

// Reads audio discs: the disc type and CATALOG, CD_TEXT blocks (the TITLE and PERFORMER of
// their first LANGUAGE into the sheet's text, for the album before the first TRACK and for
// a track inside it; the rest skipped), and AUDIO tracks
// of FILE/AUDIOFILE "name" [#byte offset] start [length], SILENCE, ZERO, PREGAP, START and
// INDEX statements, besides the track flags (COPY, PRE_EMPHASIS, ISRC, ...). Times are
// mm:ss:ff or a number of samples; a name ending in ".wav" is a WAVE file, any other a raw
// file of little-endian samples. Data tracks of whole 2 352-byte sectors (MODE1_RAW,
// MODE2_RAW) are read like audio and marked as data; they take DATAFILE "name" [#byte
// offset] [length] as well. Data tracks of other modes, sub-channel data and four-channel
// audio are refused, as is a 100th track. Each track is padded to a whole sector. The error
// names the line and what is wrong with it.
Expected<ImageSheet> ParseTocFile(std::string_view text);

// The CD side of the terminal front end: drive choice, the track list and its names.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cdaccess/disc_text.h"
#include "cdaccess/track_table.h"
#include "common/error.h"
#include "maker/cd/cd_device.h"
#include "maker/batch/batch_options.h"
#include "maker/batch/terminal_host.h"
#include "maker/settings/settings_table.h"

// Prints "N: name" for every drive of the access method of the settings (real drives, then
// the disc images of --cd-image and of the DiscImages setting), or "No CD-ROM Drive
// Found". Opens and closes the CD layer `cd`.
Outcome ListDrives(const BatchOptions& options, const SettingsTable& settings, CdLayer& cd, std::FILE* out);

// The disc a CD run reads, and the track names of --track-names.
struct BatchDisc {
  int drive = 0;
  TrackTable toc;
  CdDriveIdentity identity;                 // vendor and model (its read offset is kept under them)
  DiscText text;                            // the image's titles and performers, the disc's CD-Text
  std::vector<std::string> fileTrackNames;  // line n of --track-names at n - 1
};

// Gives the CD layer `cd` the disc images (--cd-image, then the DiscImages setting), opens it
// with the access method of the settings and reads the table of contents of the chosen
// drive (--drive, else the first --cd-image, else drive 0). Fails, before anything is
// read or looked up, when --tracks, --name or --track-names go beyond the disc or the
// names file cannot be read. The caller closes the CD layer (Shutdown) after the run, also
// after a failure. The error says what is wrong: "cannot read the table of contents of
// drive 1" (Io), "the disc has no track 9 (it has 4)" (Usage).
Expected<BatchDisc> OpenBatchDisc(const BatchOptions& options, const SettingsTable& settings, CdLayer& cd);

// Puts the disc's own album title, artist and track names (a disc image's sheet, a real
// disc's CD-Text) into the host's CD information and sums them up in one log line
// ("    Disc text: artist / title, N track names"); nothing when the disc has none. Called
// before the CDDB lookup, whose result replaces them, and before FillCdTracks, whose
// options win over both.
void FillFromDiscText(const BatchDisc& disc, TerminalHost& host);

// Fills the host's track list, one "+" row per track, selected when it is in --tracks (all
// when none are named), and puts the CD information options (--title, --artist, --year,
// --genre, --pattern, --id3) into the host's CD information. The host's CD information may
// already hold what a CDDB server said; the command line wins over it: a track is named
// by --name, else by its non-empty line of --track-names, else by the server.
void FillCdTracks(const BatchOptions& options, const BatchDisc& disc, TerminalHost& host);

// The lines of a track names file (UTF-8), without line ends (LF or CRLF) and without a
// leading byte order mark.
Expected<std::vector<std::string>> ReadTrackNamesFile(const std::string& path);

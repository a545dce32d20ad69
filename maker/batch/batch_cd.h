// The CD side of the terminal front end: drive choice and the track list.
#pragma once

#include <cstdio>
#include <string>

#include "common/result.h"
#include "maker/batch/batch_options.h"
#include "maker/batch/terminal_host.h"
#include "maker/settings/settings_table.h"

struct BatchCdError {
  std::string message;  // "cannot read the table of contents of drive 1"
};

// Prints "N: name" for every drive of the access method of the settings (real drives, then
// the --cd-image files), or "No CD-ROM Drive Found". Opens and closes the CD layer.
Status<BatchCdError> ListDrives(const BatchOptions& options, const SettingsTable& settings, std::FILE* out);

// Registers the --cd-image files, opens the CD layer with the access method of the
// settings, reads the table of contents of the chosen drive (--drive, else the first
// --cd-image, else drive 0) and fills the host's track list: one "+" row per track,
// selected when it is in --tracks (all when none are named), named by --name; the CD
// information options (--title, --artist, --year, --genre, --pattern, --id3) go into the
// host's CD information. The caller closes the CD
// layer with CdShutdown() after the run.
Status<BatchCdError> LoadCdTracks(const BatchOptions& options, const SettingsTable& settings, TerminalHost& host);

// The files a CD run leaves beside its tracks: the rip log, a cue sheet and a play list.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cdaccess/cd_source.h"
#include "cdaccess/track_table.h"
#include "common/tags/audio_file_tags.h"
#include "maker/accuracy/accuraterip.h"
#include "maker/cd/track_accuracy.h"
#include "maker/metadata/cd_info.h"
#include "maker/worker/log_event.h"

class SettingsTable;
enum class Operation;

// A track a run read, and the file it made of it.
struct RippedTrack {
  int track = 0;               // 1-based
  std::string name;            // the track row's name ("" when it has none)
  std::string path;            // the WAV (CD to WAV) or the encoded file (CD to MP3)
  bool failed = false;         // its read or its encode failed
  bool written = false;        // `path` is this run's finished file of the track
  TrackAccuracy accuracy;
  std::vector<std::string> errors;
  std::optional<ReplayGainValues> replayGain;  // the values written into `path`
};

struct RipFilesInput {
  Operation operation{};
  const SettingsTable* settings = nullptr;
  CdInfo info;
  TrackTable toc;
  CdDriveIdentity drive;
  int readOffset = 0;
  std::optional<AccurateRipDiscIds> discIds;
  std::string accurateRipStatus;   // what the lookup said
  std::string logPath;             // where the log goes; empty: beside the first track
  std::vector<RippedTrack> tracks; // in track order
};

// "<album>.log" (else "rip.log") beside the first track's file, or at `logPath`; a cue
// sheet "<album>.cue" and a play list "<album>.m3u" of the files written, beside the first
// track's file. Each file replaces an older one only once it is complete. Returns the
// lines that say where each went (a heading with the log's summary first), or, for a file
// that could not be written, an error line; the tracks' files are never touched.
std::vector<LogEvent> WriteRipFiles(const RipFilesInput& input);

// "Album" as a file name without its extension: the album title with characters no file
// name may hold replaced, or "rip" when there is none.
std::string RipFilesStem(const CdInfo& info);

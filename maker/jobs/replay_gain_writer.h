// ReplayGain at the end of a run: the measured files of each album, the values each file
// gets, and the writing of those values into the finished files with a log line per file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/tags/audio_file_tags.h"
#include "maker/codec/loudness.h"
#include "maker/worker/log_event.h"

// A finished file of the run and the loudness of the audio it was encoded from.
struct ReplayGainFile {
  std::string path;
  TrackLoudness loudness;
};

// What the writer of a run gets: the albums, each the files whose album gain is measured
// over all of them together.
struct ReplayGainJob {
  std::vector<std::vector<ReplayGainFile>> albums;
};

// One album per folder, in the order each folder first appears (a file run's outputs lie
// beside their inputs, and a folder of WAV files is one album).
std::vector<std::vector<ReplayGainFile>> AlbumsByFolder(std::vector<ReplayGainFile> files);

// "    ReplayGain: track -3.21 dB, album -4.02 dB: /music/a.flac"
std::string ReplayGainLine(const ReplayGainValues& values, const std::string& path);

// A file the writer tagged, and the values it wrote.
struct ReplayGainWritten {
  std::string path;
  ReplayGainValues values;
};

// Writes the values of each album into its files (WriteReplayGainTags, each file by its
// content's format) and logs a line per file; a file that cannot be tagged gets a warning
// line (its audio is fine) and the others go on. `cancelled` is asked before each file:
// once it says yes, no further file is touched. The files tagged, in order.
std::vector<ReplayGainWritten> WriteReplayGains(const ReplayGainJob& job,
                                                const std::function<void(const LogEvent&)>& log,
                                                const std::function<bool()>& cancelled);

// What a worker that wrote a run's ReplayGain values (and its stand-ins in tests) tells the
// run once it has ended.
class ReplayGainWriterSource {
 public:
  virtual ~ReplayGainWriterSource() = default;
  virtual std::vector<ReplayGainWritten> Written() const = 0;
};

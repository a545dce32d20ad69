// How many times a track is read and which read it keeps: one burst read, test and copy
// (re-read until two reads agree), or a burst read re-read securely unless AccurateRip
// proves it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "maker/accuracy/track_digest.h"
#include "maker/cd/track_accuracy.h"
#include "maker/worker/log_event.h"

struct TrackReadHooks {
  // Reads the whole track once more into the output, replacing what an earlier read left
  // there. The read's digest, or nullopt when it ended before the track's end (cancelled,
  // or the reader failed) or gave no digest (a reader library without the audio hook):
  // no further read is made then.
  std::function<std::optional<TrackDigest>()> read;
  // Cancel: no new read starts.
  std::function<bool()> stopped;
  // A line of the reader log ("    Test CRC 1A2B3C4D"); warnings mark the track's row.
  std::function<void(LogSeverity, const std::string&)> log;
};

// Reads the track as `job` asks and says what the reads proved. The output holds the read
// that `copy` describes; `copy` is empty when the last read ended early.
TrackAccuracy ReadTrackAccurately(const ReadAccuracyJob& job, const TrackReadHooks& hooks);

// What the disc's record says of a read: NotChecked without a record.
AccurateRipVerdict VerdictOfRead(const ReadAccuracyJob& job, const TrackDigest& read);

// "1:02.35": a place in the track, in minutes, seconds and hundredths; `roundUp` rounds
// a range's end up so that the range covers the frames it names.
std::string TrackTimeText(int64_t frames, bool roundUp = false);

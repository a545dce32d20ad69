// Loudness of the maker's tracks for ReplayGain: EBU R128 integrated loudness and sample
// peak through libebur128, per track, and over an album.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/tags/audio_file_tags.h"

// The meter of one measured track (libebur128's state, which the library declares as an
// unnamed struct and so cannot be declared here).
struct LoudnessMeter;

// The measurement of one track. The meter's state is kept (shared, read-only once
// measured) so that an album's loudness is gated over all of its blocks together, not
// averaged from the tracks' values.
struct TrackLoudness {
  std::shared_ptr<LoudnessMeter> meter;
  double integratedLufs = 0;  // -HUGE_VAL for silence
  double peak = 0;            // linear sample peak, 1.0 = full scale
};

// Measures the data chunk of a 16-bit PCM WAV file. `cancelled` (may be null) is checked
// between blocks: a cancel gives a Cancelled error.
Expected<TrackLoudness> MeasureWavLoudness(const std::string& path, const std::atomic<bool>* cancelled = nullptr);

// ReplayGain 2.0 (reference -18 LUFS) of each track of an album: track gain and peak from
// the track's own measurement, album gain over all blocks of all tracks, album peak the
// largest track peak. Gains of silent tracks are 0 dB. In the order of `tracks`.
std::vector<ReplayGainValues> AlbumReplayGains(const std::vector<TrackLoudness>& tracks);

// Loudness measurement: not built yet.
#include "maker/codec/loudness.h"

Expected<TrackLoudness> MeasureWavLoudness(const std::string&, const std::atomic<bool>*) {
  return Fail(Error(ErrorCategory::Unsupported, {}, "Loudness measurement is not built yet"));
}

std::vector<ReplayGainValues> AlbumReplayGains(const std::vector<TrackLoudness>& tracks) {
  return std::vector<ReplayGainValues>(tracks.size());
}

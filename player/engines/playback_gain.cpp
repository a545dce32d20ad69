// ReplayGain while playing.
#include "player/engines/playback_gain.h"

#include <atomic>

namespace {
std::atomic<int> mode{int(ReplayGainMode::Track)};
std::atomic<double> preamp{0.0};
}  // namespace

void SetReplayGain(ReplayGainMode m, double preampDb) {
  mode.store(int(m));
  preamp.store(preampDb);
}
ReplayGainMode CurrentReplayGainMode() { return ReplayGainMode(mode.load()); }
double ReplayGainPreampDb() { return preamp.load(); }

double PlaybackGainFor(const std::string&, AudioFileFormat) { return 1.0; }

void ApplyPlaybackGain(int16_t*, size_t, double) {}

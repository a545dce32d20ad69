// Seek targets and volume levels.
#include "player/control/transport_math.h"

#include <algorithm>

#include "common/audio/output_volume.h"

uint32_t ReverseTarget(uint32_t position) { return position > 10 ? position - 10 : 0; }

uint32_t ForwardTarget(uint32_t position, uint32_t range) {
  if (range == 0) return 0;
  return uint64_t(range) < uint64_t(position) + 10 ? range - 1 : position + 10;
}

int SteppedVolumeLevel(int level, int delta) { return std::clamp(level + delta, 0, kVolumeLevels); }

int VolumeLevelOf(uint32_t volume) { return std::min(int(volume / kVolumeStep), kVolumeLevels); }

uint32_t VolumeOfLevel(int level) {
  // The top level is full volume, which leaves the samples unchanged (10 × 6553 would
  // scale each of them by a hair).
  if (level >= kVolumeLevels) return kVolumeFull;
  return uint32_t(std::max(level, 0)) * kVolumeStep;
}

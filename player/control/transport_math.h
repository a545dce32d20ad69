// The arithmetic of Reverse, Forward and the volume buttons.
#pragma once

#include <cstdint>

// Ten position units back, not before 0.
uint32_t ReverseTarget(uint32_t position);
// Ten position units on; range − 1 when that passes the end. Meaningless without a range
// (a stream): callers do not seek then.
uint32_t ForwardTarget(uint32_t position, uint32_t range);

inline constexpr int kVolumeLevels = 10;
// volumeLevel + delta within 0..10.
int SteppedVolumeLevel(int level, int delta);
// The level of a channel volume (0..65535): volume / 6553.
int VolumeLevelOf(uint32_t volume);
// The channel volume of a level: level × 6553, and full (65535) at the top level.
uint32_t VolumeOfLevel(int level);

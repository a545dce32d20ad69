// The table of contents of the disc in the selected drive, as sector addresses.
#pragma once

#include <array>
#include <cstdint>

inline constexpr int kCdMaxTracks = 99;
inline constexpr int kCdSectorsPerSecond = 75;
inline constexpr int kCdSectorBytes = 2352;        // one sector of audio: 588 stereo frames
inline constexpr int kCdFramesPerSector = 588;

// Track i (1-based) starts at start[i]; start[trackCount + 1] is the lead-out. Sector
// addresses count from the first sector of the program area (time 00:02:00), 75 a second.
struct TrackTable {
  int audio = 0;                                      // 1 after every successful read
  int trackCount = 0;                                 // 0 ... 99
  std::array<int32_t, kCdMaxTracks + 2> start{};      // [1 ... trackCount + 1]
  std::array<int32_t, kCdMaxTracks + 1> length{};     // [1 ... trackCount], start[i+1] - start[i]
  std::array<uint8_t, kCdMaxTracks + 1> data{};       // [1 ... trackCount]: 1 for a data track
  // [1 ... trackCount]: the sector of the track's index 00 when the disc gives one before
  // start[i], else -1 (no pregap known).
  std::array<int32_t, kCdMaxTracks + 1> pregap = [] {
    std::array<int32_t, kCdMaxTracks + 1> none{};
    none.fill(-1);
    return none;
  }();
};

// A volume for each of two channels, 0 (silent) to 65535 (unchanged), read by the writer
// thread of every output that follows it.
#pragma once

#include <atomic>
#include <cstdint>

inline constexpr uint32_t kVolumeFull = 65535;
// The main window moves the volume in steps of this size (ten steps from silent to full).
inline constexpr uint32_t kVolumeStep = 6553;

// Any thread may set or read it at any time; outputs pick a change up with their next
// chunk of audio (a few milliseconds).
class OutputVolume {
 public:
  void Set(uint32_t left, uint32_t right) {
    left_ = left > kVolumeFull ? kVolumeFull : left;
    right_ = right > kVolumeFull ? kVolumeFull : right;
  }
  uint32_t Left() const { return left_; }
  uint32_t Right() const { return right_; }

 private:
  std::atomic<uint32_t> left_{kVolumeFull};
  std::atomic<uint32_t> right_{kVolumeFull};
};

// The one player volume of the process: the WAV and AAC engines' outputs follow it, the
// MP3 engine hands it to the decoder library, and the window reads it back as the device
// volume.
OutputVolume& PlayerVolume();

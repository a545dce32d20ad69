// A virtual device for the capture back ends: it holds up to a tenth of a second of audio
// and plays it by the clock, so a writer is held back exactly as a real device holds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <thread>

#include "common/audio/audio_format.h"
#include "common/audio/device_clock.h"

class PacedDevice {
 public:
  PacedDevice(const AudioFormat& format, uint32_t speed)
      : clock_(format.BytesPerSecond(), speed), frameBytes_(format.BytesPerFrame()), capacity_(CapacityFor(format)) {}

  size_t Capacity() const { return capacity_; }
  // Waits until bytes (at most Capacity()) fit, then counts them in. Returns the bytes
  // the device has played by then, counted from the start.
  uint64_t Take(size_t bytes) {
    const uint64_t needed = clock_.Written() + bytes;
    if (needed > capacity_) std::this_thread::sleep_until(clock_.WhenPlayed(needed - capacity_));
    clock_.Wrote(bytes);
    return clock_.Played();
  }
  uint64_t Played() const { return clock_.Played(); }
  uint64_t Written() const { return clock_.Written(); }
  // Throws away what it holds; returns the bytes it had played, counted from the start, in
  // whole frames (a frame is heard whole or not at all), and in *sinceDrop those of them
  // written since the previous Drop.
  uint64_t Drop(uint64_t* sinceDrop = nullptr) {
    uint64_t played = clock_.Played();
    played -= played % frameBytes_;
    if (sinceDrop != nullptr) *sinceDrop = played > droppedAt_ ? played - droppedAt_ : 0;
    clock_.Drop();
    droppedAt_ = clock_.Written();
    return played;
  }
  // Waits until all it holds has played.
  void Drain() { std::this_thread::sleep_until(clock_.WhenPlayed(clock_.Written())); }

 private:
  static size_t CapacityFor(const AudioFormat& format) {
    const size_t frame = format.BytesPerFrame();
    size_t bytes = format.BytesPerSecond() / 10;
    if (bytes < 4096) bytes = 4096;
    return bytes - bytes % frame;
  }

  DeviceClock clock_;
  uint32_t frameBytes_;
  size_t capacity_;
  uint64_t droppedAt_ = 0;  // bytes written before the last Drop
};

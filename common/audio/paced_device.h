// A virtual device for the capture back ends: it holds up to a tenth of a second of audio
// and plays it by the clock, so a writer is held back exactly as a real device holds it.
// Room comes free either byte by byte as the clock plays, or a period at a time, as on a
// sound card that interrupts once per period: a writer that keeps it full then sleeps
// until the next period instead of waking for every chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <thread>

#include "common/audio/audio_format.h"
#include "common/audio/device_clock.h"

class PacedDevice {
 public:
  // periods: 0 frees room byte by byte; N > 1 splits the capacity into N periods (whole
  // frames) and frees one whole period at a time.
  PacedDevice(const AudioFormat& format, uint32_t speed, uint32_t periods = 0)
      : clock_(format.BytesPerSecond(), speed),
        frameBytes_(format.BytesPerFrame()),
        capacity_(CapacityFor(format)),
        periodBytes_(periods > 1 ? capacity_ / periods - capacity_ / periods % frameBytes_ : 0) {}

  size_t Capacity() const { return capacity_; }
  // The room that comes free at once: a period, or a frame when room comes free byte by byte.
  size_t PeriodBytes() const { return periodBytes_ > 0 ? periodBytes_ : frameBytes_; }
  // Waits until bytes (at most Capacity()) fit, then counts them in. Returns the bytes
  // the device has played by then, counted from the start.
  uint64_t Take(size_t bytes) {
    const uint64_t needed = clock_.Written() + bytes;
    if (needed > capacity_) std::this_thread::sleep_until(clock_.WhenPlayed(FreedAt(needed - capacity_)));
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
  // The play position at which the device has freed the room up to byte offset `played`:
  // with periods, the end of the period it falls in, periods counted from where the device
  // last started playing (a device that ran dry starts its periods anew).
  uint64_t FreedAt(uint64_t played) const {
    const uint64_t start = clock_.RunStart();
    if (periodBytes_ == 0 || played <= start) return played;
    const uint64_t end = start + (played - start + periodBytes_ - 1) / periodBytes_ * periodBytes_;
    // A device that runs dry within the period frees all its room then.
    return end < clock_.Written() ? end : clock_.Written();
  }

  static size_t CapacityFor(const AudioFormat& format) {
    const size_t frame = format.BytesPerFrame();
    size_t bytes = format.BytesPerSecond() / 10;
    if (bytes < 4096) bytes = 4096;
    return bytes - bytes % frame;
  }

  DeviceClock clock_;
  uint32_t frameBytes_;
  size_t capacity_;
  size_t periodBytes_;     // 0: room comes free byte by byte
  uint64_t droppedAt_ = 0;  // bytes written before the last Drop
};

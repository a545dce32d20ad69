// The play position of a device, derived from the bytes written to it and a monotonic
// clock: what has been written plays at the device's rate from the moment it arrives.
#pragma once

#include <chrono>
#include <cstdint>

// Not thread-safe: its owner guards it.
class DeviceClock {
 public:
  using Clock = std::chrono::steady_clock;

  // bytesPerSecond of audio; speed > 1 runs the clock faster (test captures).
  explicit DeviceClock(uint64_t bytesPerSecond, uint32_t speed = 1) : rate_(double(bytesPerSecond) * speed) {}

  // Bytes handed to the device so far and bytes it has played by now (never more).
  uint64_t Written() const { return written_; }
  uint64_t Played(Clock::time_point now = Clock::now()) const;
  // Adds bytes just written. A device that had played everything (at the start, after a
  // pause of the producer or an underrun) starts playing the new bytes now.
  void Wrote(uint64_t bytes, Clock::time_point now = Clock::now());
  // Forgets what the device holds: what was written counts as played.
  void Drop(Clock::time_point now = Clock::now());
  // The moment the device will have played up to byte offset `played`: Played() of it is
  // `played` or more, so that a thread sleeping until then finds the bytes played.
  Clock::time_point WhenPlayed(uint64_t played) const;
  // The byte offset at which the device last started playing (after the start, a Drop or
  // running dry).
  uint64_t RunStart() const { return anchorBytes_; }
  // Times the device ran dry while more audio followed.
  uint64_t Starved() const { return starved_; }

 private:
  double rate_;
  uint64_t written_ = 0;
  uint64_t anchorBytes_ = 0;       // played position at anchorTime_
  Clock::time_point anchorTime_{};
  uint64_t starved_ = 0;
  bool dropped_ = true;             // nothing written since the start or the last Drop
};

// DeviceClock: the play position from bytes written and elapsed time.
#include "common/audio/device_clock.h"

uint64_t DeviceClock::Played(Clock::time_point now) const {
  if (anchorBytes_ >= written_) return written_;
  const double seconds = std::chrono::duration<double>(now - anchorTime_).count();
  const double played = double(anchorBytes_) + (seconds > 0 ? seconds * rate_ : 0.0);
  return played >= double(written_) ? written_ : uint64_t(played);
}

void DeviceClock::Wrote(uint64_t bytes, Clock::time_point now) {
  if (bytes == 0) return;
  if (Played(now) >= written_) {
    // The device had nothing left to play: the new bytes start playing now.
    if (written_ > 0 && !dropped_) ++starved_;
    anchorBytes_ = written_;
    anchorTime_ = now;
  }
  dropped_ = false;
  written_ += bytes;
}

void DeviceClock::Drop(Clock::time_point now) {
  anchorBytes_ = written_;
  anchorTime_ = now;
  dropped_ = true;
}

DeviceClock::Clock::time_point DeviceClock::WhenPlayed(uint64_t played) const {
  if (played <= anchorBytes_) return anchorTime_;
  const double seconds = double(played - anchorBytes_) / rate_;
  // Rounded up, and a tick more: Played() of a moment truncated down (or of one where the
  // product of time and rate rounds down) would fall a byte short, and a thread waiting
  // for that byte would wake, find it unplayed and wait again at once, spinning.
  return anchorTime_ + std::chrono::ceil<Clock::duration>(std::chrono::duration<double>(seconds)) +
         Clock::duration(1);
}

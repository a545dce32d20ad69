// The position between the engines' reports.
#include "player/control/position_clock.h"

#include <algorithm>

namespace {

constexpr int64_t kSecond = 1000000;
// The engines tell each second as playback reaches it; a report that goes back, or on by
// more than this, is a seek. Time alone is no measure: a stalled input stops the seconds.
constexpr int64_t kMostSecondsOn = 2;
// After a seek the engine may still tell a second of what it played before; for this long
// a report far from the second sought is taken for such a late one.
constexpr auto kSeekSettles = std::chrono::seconds(1);

int64_t MicrosecondsBetween(PositionClock::Clock::time_point from, PositionClock::Clock::time_point to) {
  return std::chrono::duration_cast<std::chrono::microseconds>(to - from).count();
}

}  // namespace

void PositionClock::Reset() { *this = PositionClock(); }

void PositionClock::SetRunning(bool running, Clock::time_point now) {
  if (running == running_) return;
  anchorMicroseconds_ = Microseconds(now);
  anchorTime_ = now;
  running_ = running;
}

void PositionClock::SoughtTo(int64_t microseconds, Clock::time_point now) {
  anchorMicroseconds_ = std::max<int64_t>(microseconds, 0);
  anchorTime_ = now;
  second_ = anchorMicroseconds_ / kSecond;
  soughtAt_ = now;
  seekSettling_ = true;
}

bool PositionClock::Reported(uint32_t seconds, Clock::time_point now) {
  const bool jumped = int64_t(seconds) < second_ || int64_t(seconds) > second_ + kMostSecondsOn;
  if (seekSettling_) {
    if (jumped && now - soughtAt_ < kSeekSettles) return false;
    seekSettling_ = false;
  }
  if (int64_t(seconds) == second_) return false;
  // The second has just begun: the best guess of where in it playback stands.
  anchorMicroseconds_ = int64_t(seconds) * kSecond;
  anchorTime_ = now;
  second_ = seconds;
  return jumped;
}

int64_t PositionClock::Running(Clock::time_point now) const {
  if (!running_) return anchorMicroseconds_;
  return anchorMicroseconds_ + std::max<int64_t>(MicrosecondsBetween(anchorTime_, now), 0);
}

int64_t PositionClock::Microseconds(Clock::time_point now) const {
  return std::clamp(Running(now), second_ * kSecond, second_ * kSecond + kSecond - 1);
}

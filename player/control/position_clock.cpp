// The position between the engines' reports.
#include "player/control/position_clock.h"

#include <algorithm>

namespace {

constexpr int64_t kSecond = 1000000;
// A report further than this from where the clock stands is a jump, not the clock's drift
// against the engine's buffers.
constexpr int64_t kJumpMicroseconds = 1500000;

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
}

bool PositionClock::Reported(uint32_t seconds, Clock::time_point now) {
  if (int64_t(seconds) == second_) return false;
  const int64_t told = int64_t(seconds) * kSecond;
  const int64_t distance = told - Running(now);
  const bool jumped = distance > kJumpMicroseconds || distance < -kJumpMicroseconds;
  // The second has just begun: the best guess of where in it playback stands.
  anchorMicroseconds_ = told;
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

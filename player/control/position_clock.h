// The play position between the engines' reports. The engines tell the position in whole
// seconds, about once a second; the desktop's media player interface asks for it in
// microseconds at any moment. The clock runs from the moment a new second was told (or a
// seek was asked for) while playing, and never leaves the second the engine last told.
#pragma once

#include <chrono>
#include <cstdint>

class PositionClock {
 public:
  using Clock = std::chrono::steady_clock;

  // A new input: at 0, not running.
  void Reset();
  // Playback runs (true) or is paused or stopped (false) from now on.
  void SetRunning(bool running, Clock::time_point now);
  // A seek was asked for: the position is microseconds from now on, ahead of the engine's
  // next report. For a moment a report far from it is taken for one the engine made
  // before it sought.
  void SoughtTo(int64_t microseconds, Clock::time_point now);
  // The engine told its position in whole seconds. True when the report does not follow
  // the second told before (back, or on by more than two: a seek the clock was not told
  // of, from the window's controls): the position jumped.
  bool Reported(uint32_t seconds, Clock::time_point now);
  // The position at now, in microseconds: inside the second told last.
  int64_t Microseconds(Clock::time_point now) const;

 private:
  // The position without the limit of the second told last.
  int64_t Running(Clock::time_point now) const;

  int64_t anchorMicroseconds_ = 0;  // the position at anchorTime_
  Clock::time_point anchorTime_{};
  int64_t second_ = 0;  // the whole second last told (or sought)
  bool running_ = false;
  // A seek was asked for at soughtAt_, and the engine has not told a second near it yet.
  bool seekSettling_ = false;
  Clock::time_point soughtAt_{};
};

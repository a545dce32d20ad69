// Turns Ctrl-C (SIGINT) and SIGTERM into a cancel request on the main loop.
#pragma once

#include <atomic>
#include <functional>

#include "common/main_loop.h"
#include "common/signal_pipe.h"

// While the object lives, the two signals are caught through a SignalPipe whose read end
// the loop watches; each one runs `cancel` on the loop's thread. They are caught also when
// the program was started with them ignored (a background job of a script), so that such
// a run can still be cancelled. The previous handlers come back when the object is
// destroyed; a signal caught but not yet taken then is posted to the loop as a cancel.
// Create it on the main thread; one at a time.
class SignalCanceller {
 public:
  SignalCanceller(MainLoop& loop, std::function<void()> cancel);
  ~SignalCanceller();
  SignalCanceller(const SignalCanceller&) = delete;
  SignalCanceller& operator=(const SignalCanceller&) = delete;

  // The signal that last asked a canceller of this process to cancel (SIGINT, SIGTERM),
  // or 0 when none did.
  static int CancelSignal() { return cancelSignal_; }

 private:
  MainLoop& loop_;
  std::function<void()> cancel_;
  SignalPipe signals_;
  bool watching_ = false;
  MainLoop::HandlerId watch_ = 0;
  static inline std::atomic<int> cancelSignal_{0};
};

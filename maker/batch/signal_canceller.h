// Turns Ctrl-C (SIGINT) and SIGTERM into a cancel request on the main loop.
#pragma once

#include <signal.h>

#include <atomic>
#include <functional>
#include <thread>

#include "common/main_loop.h"

// While the object lives, the two signals are blocked in every thread (threads started
// meanwhile inherit the mask) and taken by a thread of its own, which posts `cancel` to
// the loop for each one. The old mask comes back when the object is destroyed, so create
// it on the main thread before the workers it should cover.
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
  sigset_t set_{};
  sigset_t old_{};
  std::atomic<bool> stop_{false};
  std::thread thread_;
  static inline std::atomic<int> cancelSignal_{0};
};

// Turns Ctrl-C (SIGINT) and SIGTERM into a cancel request on the main loop.
#pragma once

#include <functional>

#include "common/main_loop.h"
#include "common/signal_pipe.h"

// The cancel by signal of one run: it remembers the signal that cancelled the run, and
// catches the two signals while one of its Watch objects lives (the lookup, the
// conversions). Outside those the signals end the program as usual.
class SignalCanceller {
 public:
  SignalCanceller() = default;
  SignalCanceller(const SignalCanceller&) = delete;
  SignalCanceller& operator=(const SignalCanceller&) = delete;

  // While the object lives, the two signals are caught through a SignalPipe whose read
  // end the loop watches; each one runs `cancel` on the loop's thread. They are caught
  // also when the program was started with them ignored (a background job of a script),
  // so that such a run can still be cancelled. The previous handlers come back when the
  // object is destroyed; a signal caught but not yet taken then is posted to the loop as
  // a cancel. Create it on the main thread; one at a time.
  class Watch {
   public:
    Watch(SignalCanceller& owner, MainLoop& loop, std::function<void()> cancel);
    ~Watch();
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

   private:
    SignalCanceller& owner_;
    MainLoop& loop_;
    std::function<void()> cancel_;
    SignalPipe signals_;
    bool watching_ = false;
    MainLoop::HandlerId watch_ = 0;
  };

  // The signal that last asked this run to cancel (SIGINT, SIGTERM), or 0 when none did.
  int CancelSignal() const { return cancelSignal_; }

 private:
  // Set on the loop's thread only.
  int cancelSignal_ = 0;
};

// Ctrl-C and SIGTERM as a cancel request on the main loop.
#include "maker/batch/signal_canceller.h"

#include <pthread.h>

#include <ctime>

SignalCanceller::SignalCanceller(MainLoop& loop, std::function<void()> cancel) {
  sigemptyset(&set_);
  sigaddset(&set_, SIGINT);
  sigaddset(&set_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set_, &old_);
  thread_ = std::thread([this, &loop, cancel = std::move(cancel)] {
    // The time limit is only a safety net: the destructor wakes the wait with a signal.
    const timespec wait{1, 0};
    while (!stop_) {
      const int received = sigtimedwait(&set_, nullptr, &wait);
      if (received > 0 && !stop_) {
        cancelSignal_ = received;
        loop.Post(cancel);
      }
    }
  });
}

SignalCanceller::~SignalCanceller() {
  stop_ = true;
  // Sent to this object's thread alone, which takes it as the stop request (a wait with a
  // time limit would add up to that limit to the end of every run). Should the thread be
  // past its wait already, the blocked signal is dropped with the thread.
  pthread_kill(thread_.native_handle(), SIGTERM);
  thread_.join();
  pthread_sigmask(SIG_SETMASK, &old_, nullptr);
}

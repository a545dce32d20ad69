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
    // Wakes now and then to notice the destructor's stop request.
    const timespec wait{0, 200 * 1000 * 1000};
    while (!stop_) {
      if (sigtimedwait(&set_, nullptr, &wait) > 0) loop.Post(cancel);
    }
  });
}

SignalCanceller::~SignalCanceller() {
  stop_ = true;
  thread_.join();
  pthread_sigmask(SIG_SETMASK, &old_, nullptr);
}

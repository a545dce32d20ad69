// Ctrl-C and SIGTERM as a cancel request on the main loop.
#include "maker/batch/signal_canceller.h"

#include <signal.h>

SignalCanceller::Watch::Watch(SignalCanceller& owner, MainLoop& loop, std::function<void()> cancel)
    : owner_(owner), loop_(loop), cancel_(std::move(cancel)),
      signals_({SIGINT, SIGTERM}, SignalPipe::IgnoredAtStart::Caught) {
  if (signals_.ReadFd() < 0) return;
  watch_ = loop.WatchReadable(signals_.ReadFd(), [this] {
    while (const int number = signals_.TakeSignal()) {
      owner_.cancelSignal_ = number;
      cancel_();
    }
  });
  watching_ = true;
}

SignalCanceller::Watch::~Watch() {
  if (!watching_) return;
  loop_.Unwatch(watch_);
  // A signal that came after the loop last looked still asks for the cancel.
  while (const int number = signals_.TakeSignal()) {
    owner_.cancelSignal_ = number;
    loop_.Post(cancel_);
  }
}

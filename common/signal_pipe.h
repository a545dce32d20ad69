// Signals turned into bytes on a pipe, so that the main loop handles them as ordinary input.
#pragma once

#include <signal.h>

#include <initializer_list>
#include <vector>

#include "common/unique_fd.h"

// While the object lives, each of the given signals is caught by a handler that only
// writes the signal's number to a non-blocking pipe (async-signal-safe; the signal may
// arrive on any thread). The main loop watches ReadFd() and takes the signals with
// TakeSignal(). A signal that is ignored when the object is made (nohup) stays ignored,
// unless `ignored` says to catch it too (a terminal run started as a background job of a
// script, whose shell ignores SIGINT for it, still takes a cancel request that way).
// The previous handlers come back when the object is destroyed. One object
// at a time per process; a second one fails to set up (ReadFd() is then -1).
class SignalPipe {
 public:
  enum class IgnoredAtStart { StayIgnored, Caught };

  explicit SignalPipe(std::initializer_list<int> signals, IgnoredAtStart ignored = IgnoredAtStart::StayIgnored);
  ~SignalPipe();
  SignalPipe(const SignalPipe&) = delete;
  SignalPipe& operator=(const SignalPipe&) = delete;

  // The end to watch for reading; -1 when the pipe could not be set up.
  int ReadFd() const { return read_.Get(); }
  // The next signal caught, or 0 when none is waiting.
  int TakeSignal();

 private:
  UniqueFd read_;
  UniqueFd write_;
  std::vector<int> signals_;
  std::vector<struct sigaction> previous_;
};

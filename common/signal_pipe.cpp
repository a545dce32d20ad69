// Signals as bytes on a pipe (the self-pipe technique).
#include "common/signal_pipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

// The write end the handler uses; -1 while no SignalPipe is set up.
std::atomic<int> g_writeFd{-1};

void OnSignal(int number) {
  const int saved = errno;  // the interrupted code may be looking at errno
  const int fd = g_writeFd.load();
  if (fd >= 0) {
    const unsigned char byte = static_cast<unsigned char>(number);
    // A full pipe drops the byte: enough signals are waiting to be taken already.
    [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
  }
  errno = saved;
}

}  // namespace

SignalPipe::SignalPipe(std::initializer_list<int> signals, IgnoredAtStart ignored) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  UniqueFd read(fds[0]), write(fds[1]);
  int expected = -1;
  if (!g_writeFd.compare_exchange_strong(expected, write.Get())) return;
  read_ = std::move(read);
  write_ = std::move(write);
  for (const int number : signals) {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls of the workers go on as if nothing had happened.
    action.sa_flags = SA_RESTART;
    struct sigaction old {};
    if (::sigaction(number, &action, &old) != 0) continue;
    // A signal the program was started with ignored (nohup, a background job of a script)
    // stays ignored, unless the caller takes it all the same.
    if (ignored == IgnoredAtStart::StayIgnored && old.sa_handler == SIG_IGN && (old.sa_flags & SA_SIGINFO) == 0) {
      ::sigaction(number, &old, nullptr);
      continue;
    }
    signals_.push_back(number);
    previous_.push_back(old);
  }
}

SignalPipe::~SignalPipe() {
  for (size_t i = 0; i < signals_.size(); ++i) ::sigaction(signals_[i], &previous_[i], nullptr);
  if (write_) g_writeFd.store(-1);
}

int SignalPipe::TakeSignal() {
  if (!read_) return 0;
  unsigned char byte = 0;
  ssize_t got;
  do {
    got = ::read(read_.Get(), &byte, 1);
  } while (got < 0 && errno == EINTR);
  return got == 1 ? byte : 0;
}

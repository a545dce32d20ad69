// MainThreadWatchdog: checks, all through a desktop test, that a program's main thread
// keeps answering. It asks the way a desktop asks whether a window hangs: a _NET_WM_PING
// client message to the program's top-level window every ~100 ms, which the toolkit
// answers from its main thread (Qt: in its event loop) by sending it back to the root
// window. A ping not answered within the limit is a stall; the test fails on any.
//
// Works on any X server without a window manager (the test command's Xvfb). Its own
// connection to the server runs on its own thread; nothing here touches the test's Qt.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class MainThreadWatchdog {
 public:
  // Watches the first shown top-level window of process pid (whose title contains
  // titlePart, when given) from the moment it appears.
  explicit MainThreadWatchdog(pid_t pid, std::string titlePart = {},
                              std::chrono::milliseconds limit = std::chrono::milliseconds(500),
                              std::chrono::milliseconds interval = std::chrono::milliseconds(100));
  ~MainThreadWatchdog();
  MainThreadWatchdog(const MainThreadWatchdog&) = delete;
  MainThreadWatchdog& operator=(const MainThreadWatchdog&) = delete;

  // Waits until the window is found; its X id, or 0 when it did not show in time (or the
  // X server cannot be reached).
  unsigned long WaitForWindow(std::chrono::milliseconds timeout);
  // Waits until at least count pings have been answered since the window was found.
  bool WaitForAnswers(int count, std::chrono::milliseconds timeout);
  // Waits until a ping sent after `after` has been answered (the main thread is free again
  // after something the test did then); when it came, or nullopt after the timeout.
  std::optional<std::chrono::steady_clock::time_point> WaitForAnswerAfter(std::chrono::steady_clock::time_point after,
                                                                          std::chrono::milliseconds timeout);
  // Waits until the window has been hidden or destroyed (the program closed it); when
  // that was, or nullopt after the timeout. Pinging ends there.
  std::optional<std::chrono::steady_clock::time_point> WaitForClose(std::chrono::milliseconds timeout);
  // Ends the watching (also done by the destructor). A ping still unanswered counts as a
  // stall when it has waited longer than the limit.
  void Stop();

  int Answered() const;
  // The longest wait for an answer, an unanswered ping's wait so far included.
  std::chrono::milliseconds Longest() const;
  // One line per stall: "no answer for 1234 ms, from 2.3 s after the window showed".
  std::vector<std::string> Stalls() const;
  // Everything above in a few words, for a failure message.
  std::string Report() const;

 private:
  void Watch();
  void NoteStall(double fromSeconds, std::chrono::milliseconds waited);

  const pid_t pid_;
  const std::string titlePart_;
  const std::chrono::milliseconds limit_;
  const std::chrono::milliseconds interval_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  unsigned long window_ = 0;
  bool failed_ = false;  // no X server
  int answered_ = 0;
  std::chrono::steady_clock::time_point lastAnsweredSentAt_{};
  std::chrono::steady_clock::time_point lastAnswerAt_{};
  std::optional<std::chrono::steady_clock::time_point> closedAt_;
  std::chrono::milliseconds longest_{0};
  std::vector<std::string> stalls_;
  std::thread thread_;
};

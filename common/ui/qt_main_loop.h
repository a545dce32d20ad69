// The main-loop seam over Qt's event loop, for the programs' windows.
#pragma once

#include <QObject>
#include <map>

#include "common/main_loop.h"

class QSocketNotifier;
class QTimer;

// Create on the thread that runs the Qt event loop (the GUI thread). Post queues the
// function as an event; InvokeBlocking waits for it, so it must not be called while the
// GUI thread waits for the caller (RunUntil keeps the loop turning for such waits).
// Watches are QSocketNotifiers, timers QTimers, RunUntil a nested QEventLoop.
class QtMainLoop final : public MainLoop {
 public:
  QtMainLoop();
  ~QtMainLoop() override;
  QtMainLoop(const QtMainLoop&) = delete;
  QtMainLoop& operator=(const QtMainLoop&) = delete;

  void Post(std::function<void()> fn) override;
  void InvokeBlocking(std::function<void()> fn) override;
  bool IsMainThread() const override;

  HandlerId WatchReadable(int fd, std::function<void()> onReadable) override;
  void Unwatch(HandlerId id) override;
  HandlerId StartTimer(std::chrono::milliseconds interval, bool repeat, std::function<void()> fn) override;
  void StopTimer(HandlerId id) override;
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) override;

 private:
  QObject* receiver_;  // lives on the GUI thread; queued calls run in its context
  HandlerId nextId_ = 1;
  // Owned through receiver_; a handler may remove its own entry, so removal defers the
  // deletion to the event loop.
  std::map<HandlerId, QSocketNotifier*> watches_;
  std::map<HandlerId, QTimer*> timers_;
};

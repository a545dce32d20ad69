// The main-loop seam over Qt's event loop, for the programs' windows.
#pragma once

#include <QObject>

#include "common/main_loop.h"

// Create on the thread that runs the Qt event loop (the GUI thread). Post queues the
// function as an event; InvokeBlocking waits for it, so it must not be called while the
// GUI thread waits for the caller.
class QtMainLoop final : public MainLoop {
 public:
  QtMainLoop();
  ~QtMainLoop() override;
  void Post(std::function<void()> fn) override;
  void InvokeBlocking(std::function<void()> fn) override;
  bool IsMainThread() const override;

 private:
  QObject* receiver_;  // lives on the GUI thread; queued calls run in its context
};

// The seam between worker threads and the thread that owns the windows and all job decisions.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Contract: Post may be called from any thread and returns at once; the function runs
// later on the main thread, in posting order. InvokeBlocking runs the function on the
// main thread and returns after it has run (called on the main thread itself it runs the
// function directly). The Qt windows implement this over the event loop; the terminal
// front end and the tests use QueueMainLoop.
class MainLoop {
 public:
  virtual ~MainLoop() = default;
  virtual void Post(std::function<void()> fn) = 0;
  virtual void InvokeBlocking(std::function<void()> fn) = 0;
  virtual bool IsMainThread() const = 0;
};

// A plain queue drained by the thread that created the object.
class QueueMainLoop final : public MainLoop {
 public:
  QueueMainLoop();

  void Post(std::function<void()> fn) override;
  void InvokeBlocking(std::function<void()> fn) override;
  bool IsMainThread() const override;

  // Runs queued functions, waiting for new ones, until done() is true (checked before each
  // wait, after each function and every few milliseconds while waiting, so a flag set by
  // another thread without a post is seen) or the timeout passes. Returns done().
  bool RunUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::hours(24 * 365));
  // Runs the functions queued now, without waiting. Returns how many ran.
  size_t RunPending();

 private:
  std::thread::id mainThread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
};

// The seam between worker threads and the thread that owns the windows and all job decisions.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

// Contract: Post may be called from any thread and returns at once; the function runs
// later on the main thread, in posting order. InvokeBlocking runs the function on the
// main thread and returns after it has run (called on the main thread itself it runs the
// function directly). The Qt windows implement this over the event loop; the terminal
// front end and the tests use QueueMainLoop.
//
// The other entries are for the main thread only. WatchReadable runs onReadable on the
// main thread whenever fd can be read without blocking (a notification pipe), until
// Unwatch; StartTimer runs fn once after interval, or every interval when repeat, until
// StopTimer (a handler may stop its own watch or timer). RunUntil keeps the loop turning
// inside a call that must wait for other threads while they may still need the main
// thread (a Stop that waits for a worker's hand-over): it returns when done() is true,
// looked at after every event and every few milliseconds, or when timeout passes. The Qt
// implementation maps these to QSocketNotifier, QTimer and a nested QEventLoop.
class MainLoop {
 public:
  using HandlerId = uint64_t;

  virtual ~MainLoop() = default;
  virtual void Post(std::function<void()> fn) = 0;
  virtual void InvokeBlocking(std::function<void()> fn) = 0;
  virtual bool IsMainThread() const = 0;

  virtual HandlerId WatchReadable(int fd, std::function<void()> onReadable) = 0;
  virtual void Unwatch(HandlerId id) = 0;
  virtual HandlerId StartTimer(std::chrono::milliseconds interval, bool repeat, std::function<void()> fn) = 0;
  virtual void StopTimer(HandlerId id) = 0;
  virtual bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) = 0;
};

// A plain queue drained by the thread that created the object, with poll(2) for watched
// descriptors and timers.
class QueueMainLoop final : public MainLoop {
 public:
  QueueMainLoop();
  ~QueueMainLoop() override;
  QueueMainLoop(const QueueMainLoop&) = delete;
  QueueMainLoop& operator=(const QueueMainLoop&) = delete;

  void Post(std::function<void()> fn) override;
  void InvokeBlocking(std::function<void()> fn) override;
  bool IsMainThread() const override;

  HandlerId WatchReadable(int fd, std::function<void()> onReadable) override;
  void Unwatch(HandlerId id) override;
  HandlerId StartTimer(std::chrono::milliseconds interval, bool repeat, std::function<void()> fn) override;
  void StopTimer(HandlerId id) override;

  // Runs queued functions, watches and timers, waiting for new ones, until done() is true
  // (checked before each wait, after each function and every few milliseconds while
  // waiting, so a flag set by another thread without a post is seen) or the timeout
  // passes. Returns done().
  bool RunUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::hours(24 * 365)) override;
  // Runs the functions queued now, without waiting. Returns how many ran.
  size_t RunPending();

 private:
  struct Timer {
    std::chrono::steady_clock::time_point due;
    std::chrono::milliseconds interval;
    bool repeat;
    std::function<void()> fn;
  };
  // One round: a queued function, else due timers, else a wait of at most maxWait for a
  // post or a readable descriptor (whose handlers then run).
  void RunOnce(std::chrono::steady_clock::time_point waitUntil);

  std::thread::id mainThread_;
  int wakeFd_ = -1;  // eventfd written by Post
  std::mutex mutex_;
  std::deque<std::function<void()>> queue_;
  // Main thread only.
  HandlerId nextId_ = 1;
  std::map<HandlerId, std::pair<int, std::function<void()>>> watches_;
  std::map<HandlerId, Timer> timers_;
};

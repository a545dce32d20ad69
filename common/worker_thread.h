// WorkerThread: a long-running job on its own thread that reports to the main loop.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "common/main_loop.h"

// Six scheduling levels of a worker, from Idle to Highest (nice 19, 15, 5, 0, -5, -10).
enum class ThreadPriority { Idle, Lowest, Lower, Normal, Higher, Highest };

// Life cycle: construct (the thread does not run yet), fill the job fields, SetOnFinished,
// Start. Run() executes on the worker thread. When Run returns, the completion function is
// posted to the main loop; the owner may destroy the object from that function or later.
// The destructor joins the thread, so it must never run on the worker thread itself, and
// an owner that destroys a running worker must keep the main loop turning meanwhile if
// the worker uses Synchronize. The base destructor runs after the derived members are
// gone, so a derived class whose Run uses its own members calls Join() in its own
// destructor.
class WorkerThread {
 public:
  explicit WorkerThread(MainLoop& loop);
  virtual ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Runs on the main thread after Run has returned. Set before Start.
  void SetOnFinished(std::function<void()> onFinished);
  void Start();

  // Asks the worker to stop; Run polls Terminated() and ends early. A suspended worker is
  // let go so that it can end.
  void Terminate();
  bool Terminated() const { return terminated_; }
  bool Running() const { return started_ && !finished_; }
  bool Finished() const { return finished_; }
  // Waits for the thread to end. Main thread only; see the class comment.
  void Join();

  // Moves the running worker to a scheduling level. A refused raise is ignored.
  void SetPriority(ThreadPriority priority);

  // Suspend and resume, as a pause gate: Suspend makes the worker wait at its next
  // WaitWhileSuspended (work already under way finishes first), Resume lets it go on. Any
  // thread may call them, the worker too (an idle worker suspends itself and waits to be
  // resumed with new work).
  void Suspend();
  void Resume();
  bool Suspended() const;

 protected:
  virtual void Run() = 0;
  // Runs fn on the main thread and waits for it (log lines, status texts, questions).
  void Synchronize(std::function<void()> fn) { loop_.InvokeBlocking(std::move(fn)); }
  MainLoop& Loop() { return loop_; }
  // The pause gate, for Run to call between units of work (buffers): returns at once when
  // not suspended, else waits for Resume or Terminate. False when terminated.
  bool WaitWhileSuspended();

 private:
  void ThreadMain();

  MainLoop& loop_;
  std::function<void()> onFinished_;
  std::thread thread_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> started_{false};
  std::atomic<bool> finished_{false};
  std::atomic<int> tid_{0};
  std::atomic<int> pendingNice_{0};
  mutable std::mutex gateMutex_;
  std::condition_variable gate_;
  bool suspended_ = false;  // guarded by gateMutex_
};

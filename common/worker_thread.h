// WorkerThread: a long-running job on its own thread that reports to the main loop.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "common/main_loop.h"

// Six scheduling levels of a worker, from Idle to Highest (nice 19, 15, 5, 0, -5, -10).
enum class ThreadPriority { Idle, Lowest, Lower, Normal, Higher, Highest };

template <class Job>
class Worker;

// A job class derives from WorkerThread and implements Run(); its objects are made as
// Worker<Job> (below). A class derived from WorkerThread cannot be instantiated on its own:
// it stays abstract until Worker<> completes it. Worker<Job> is final and its destructor
// runs before any member of Job is destroyed, so a thread never runs on a half-destroyed
// object, whatever members the job class adds.
//
// Life cycle: construct (the thread does not run yet), fill the job fields, SetOnFinished,
// Start. Run() executes on the worker thread. When Run returns, the completion function is
// posted to the main loop; the owner may destroy the worker from that function or later.
// Destroying a worker that still runs is allowed at any time, as with a std::jthread: its
// completion is dropped, it is asked to end (Terminate), the main loop keeps turning
// while it ends (it may be waiting in Synchronize), and the thread is joined. Destroy a
// worker on the main thread, never on the worker thread itself.
class WorkerThread {
 public:
  virtual ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Runs on the main thread after Run has returned, unless the worker has been destroyed
  // by then. Main thread only; may be replaced or cleared (nullptr) until it has run.
  void SetOnFinished(std::function<void()> onFinished);
  void Start();

  // Asks the worker to stop; Run polls Terminated() and ends early. A suspended worker is
  // let go so that it can end.
  void Terminate();
  bool Terminated() const { return terminated_; }
  // The flag Terminated() reads, for work that polls it itself between blocks.
  const std::atomic<bool>& TerminatedFlag() const { return terminated_; }
  bool Running() const { return started_ && !finished_; }
  bool Finished() const { return finished_; }
  // Waits for the thread to end. Called on the main thread, it keeps the main loop turning
  // meanwhile, so that a worker waiting in Synchronize can go on.
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
  explicit WorkerThread(MainLoop& loop);

  virtual void Run() = 0;
  // Runs fn on the main thread and waits for it (log lines, status texts, questions).
  void Synchronize(std::function<void()> fn) { loop_.InvokeBlocking(std::move(fn)); }
  MainLoop& Loop() { return loop_; }
  // The pause gate, for Run to call between units of work (buffers): returns at once when
  // not suspended, else waits for Resume or Terminate. False when terminated.
  bool WaitWhileSuspended();

 private:
  // Only Worker<> can name Seal, so only Worker<> can override CompletedByWorker.
  struct Seal {};
  virtual void CompletedByWorker(Seal) = 0;
  template <class Job>
  friend class Worker;

  // What Worker<>'s destructor does: drop the completion, Terminate, Join.
  void EndBeforeDestruction();
  void ThreadMain();
  void RunCompletion();

  MainLoop& loop_;
  std::function<void()> onFinished_;  // main thread
  // Cleared on the main thread when the worker is destroyed; the completion the thread
  // posts holds it and runs only while it is set.
  std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
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

// The object of a job class: Worker<TEncodingThread>(loop, host, job). Constructed with
// the job class's constructors; its destructor ends the thread while the job's members
// still exist.
template <class Job>
class Worker final : public Job {
 public:
  using Job::Job;
  ~Worker() override { this->EndBeforeDestruction(); }

 private:
  void CompletedByWorker(WorkerThread::Seal) override {}
};

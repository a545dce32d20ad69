// WorkerThread: thread start, completion hand-over and scheduling levels.
#include "common/worker_thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <exception>

namespace {

int NiceOf(ThreadPriority priority) {
  switch (priority) {
    case ThreadPriority::Idle: return 19;
    case ThreadPriority::Lowest: return 15;
    case ThreadPriority::Lower: return 5;
    case ThreadPriority::Normal: return 0;
    case ThreadPriority::Higher: return -5;
    case ThreadPriority::Highest: return -10;
  }
  return 0;
}

}  // namespace

WorkerThread::WorkerThread(MainLoop& loop) : loop_(loop) {}

// Worker<> has ended the thread already; this only guards the std::thread, whose
// destructor would end the program while it is joinable.
WorkerThread::~WorkerThread() {
  if (thread_.joinable()) thread_.join();
}

void WorkerThread::SetOnFinished(std::function<void()> onFinished) { onFinished_ = std::move(onFinished); }

void WorkerThread::EndBeforeDestruction() {
  *alive_ = false;
  onFinished_ = nullptr;
  Terminate();
  Join();
}

void WorkerThread::RunCompletion() {
  // Taken out first: the function may destroy this worker.
  std::function<void()> onFinished = std::move(onFinished_);
  onFinished_ = nullptr;
  if (onFinished) onFinished();
}

void WorkerThread::Start() {
  if (started_.exchange(true)) return;
  thread_ = std::thread(&WorkerThread::ThreadMain, this);
}

void WorkerThread::Join() {
  if (!thread_.joinable()) return;
  if (loop_.IsMainThread()) loop_.RunUntil([this] { return finished_.load(); }, std::chrono::hours(24 * 365));
  thread_.join();
}

void WorkerThread::Terminate() {
  {
    // Under the gate's lock, so a worker between its check and its wait cannot miss it.
    std::lock_guard lock(gateMutex_);
    terminated_ = true;
  }
  gate_.notify_all();
}

void WorkerThread::Suspend() {
  std::lock_guard lock(gateMutex_);
  suspended_ = true;
}

void WorkerThread::Resume() {
  {
    std::lock_guard lock(gateMutex_);
    suspended_ = false;
  }
  gate_.notify_all();
}

bool WorkerThread::Suspended() const {
  std::lock_guard lock(gateMutex_);
  return suspended_;
}

bool WorkerThread::WaitWhileSuspended() {
  std::unique_lock lock(gateMutex_);
  gate_.wait(lock, [this] { return !suspended_ || terminated_; });
  return !terminated_;
}

void WorkerThread::SetPriority(ThreadPriority priority) {
  const int nice = NiceOf(priority);
  pendingNice_ = nice;
  if (int tid = tid_.load(); tid != 0 && !finished_) {
    // A raise above the current level needs privileges; without them the call fails and
    // the worker keeps its level, which is what a refused raise means here.
    setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice);
  }
}

void WorkerThread::ThreadMain() {
  tid_ = static_cast<int>(syscall(SYS_gettid));
  if (int nice = pendingNice_.load(); nice != 0) setpriority(PRIO_PROCESS, static_cast<id_t>(tid_.load()), nice);
  try {
    Run();
  } catch (const std::exception& e) {
    // Workers turn their failures into job results; this is the last line of defence.
    std::fprintf(stderr, "zimbar: worker ended by an exception: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "zimbar: worker ended by an unknown exception\n");
  }
  finished_ = true;
  // onFinished_ belongs to the main thread; it is looked at there, and only while the
  // worker still exists.
  loop_.Post([alive = alive_, this] {
    if (*alive) RunCompletion();
  });
}

// JobWorker: a worker of the job pipeline with the outcome flags its completion handler reads.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <utility>

#include "common/worker_thread.h"
#include "maker/worker/worker_host.h"

// The flags are written by the worker thread (error, warning) or on the main thread while
// the worker waits for an answer (kept), and read by the completion handler after the
// worker has ended.
class JobWorker : public WorkerThread {
 public:
  using WorkerThread::WorkerThread;

  // The Cancel button: asks the worker to stop. Workers with a cancel flag of their own
  // (the CD reader) set it too.
  virtual void Cancel() { Terminate(); }

  bool Error() const { return error_; }
  bool Warning() const { return warning_; }
  // The job left an existing output as it was: its overwrite question was answered No.
  bool Kept() const { return kept_; }

 protected:
  void SetError() { error_ = true; }
  void SetWarning() { warning_ = true; }

 private:
  template <class Kind, class... Args>
  friend std::unique_ptr<JobWorker> MakeJobWorker(MainLoop& loop, WorkerHost& host, Args&&... args);
  class AnsweringHost;

  std::atomic<bool> error_{false};
  std::atomic<bool> warning_{false};
  std::atomic<bool> kept_{false};
  // The host the worker talks to (made by MakeJobWorker); destroyed after the thread has
  // ended, as the members of the base go last.
  std::unique_ptr<WorkerHost> host_;
};

// Passes everything on to the program's host but the worker's own end line (Done): the
// pipeline writes a job's one end line when the worker has ended and it knows how the job
// ended (a finish that Cancel overtook, an error after the worker's work, a kept output).
// An overwrite question answered No marks the worker's job Kept.
class JobWorker::AnsweringHost final : public WorkerHost {
 public:
  explicit AnsweringHost(WorkerHost& host) : host_(host) {}
  void AppendLog(MakerLog log, const LogEvent& event) override {
    if (event.severity != LogSeverity::Done) host_.AppendLog(log, event);
  }
  void SetStatusText(MakerPanel panel, const std::string& text) override { host_.SetStatusText(panel, text); }
  bool AskYesNo(const std::string& text, const std::string& caption) override {
    const bool yes = host_.AskYesNo(text, caption);
    if (!yes && worker_ != nullptr) worker_->kept_ = true;
    return yes;
  }

 private:
  friend class JobWorker;
  template <class Kind, class... Args>
  friend std::unique_ptr<JobWorker> MakeJobWorker(MainLoop& loop, WorkerHost& host, Args&&... args);
  WorkerHost& host_;
  JobWorker* worker_ = nullptr;
};

// Makes a Worker<Kind>, constructed as Kind(loop, its host, args...), that talks to `host`
// through a host of its own: so the answer to its overwrite question becomes its Kept()
// outcome, apart from every other job's.
template <class Kind, class... Args>
std::unique_ptr<JobWorker> MakeJobWorker(MainLoop& loop, WorkerHost& host, Args&&... args) {
  auto answering = std::make_unique<JobWorker::AnsweringHost>(host);
  auto worker = std::make_unique<Worker<Kind>>(loop, *answering, std::forward<Args>(args)...);
  JobWorker* made = worker.get();
  answering->worker_ = made;
  made->host_ = std::move(answering);
  return worker;
}

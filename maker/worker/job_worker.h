// JobWorker: a worker of the job pipeline with the outcome flags its completion handler reads.
#pragma once

#include <atomic>

#include "common/worker_thread.h"

// The flags are written only by the worker thread and read by the completion handler after
// the worker has ended (the error and warning flags of the reader, encoder and decoder).
class JobWorker : public WorkerThread {
 public:
  using WorkerThread::WorkerThread;

  // The Cancel button: asks the worker to stop. Workers with a cancel flag of their own
  // (the CD reader) set it too.
  virtual void Cancel() { Terminate(); }

  bool Error() const { return error_; }
  bool Warning() const { return warning_; }

 protected:
  void SetError() { error_ = true; }
  void SetWarning() { warning_ = true; }

 private:
  std::atomic<bool> error_{false};
  std::atomic<bool> warning_{false};
};

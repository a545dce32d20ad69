// A worker that fails at once: stands in for a job kind this build cannot run.
#pragma once

#include <string>

#include "maker/jobs/job_worker.h"
#include "maker/jobs/worker_host.h"

// Writes "    Error: <reason>" to the given log and ends with its error flag set, so the
// pipeline marks the row as failed and goes on with the next one.
class FailedJobWorker final : public JobWorker {
 public:
  FailedJobWorker(MainLoop& loop, WorkerHost& host, MakerLog log, std::string reason)
      : JobWorker(loop), host_(host), log_(log), reason_(std::move(reason)) {}

 protected:
  void Run() override {
    const std::string line = "    Error: " + reason_;
    Synchronize([this, &line] { host_.AppendLog(log_, line); });
    SetError();
  }

 private:
  WorkerHost& host_;
  MakerLog log_;
  std::string reason_;
};

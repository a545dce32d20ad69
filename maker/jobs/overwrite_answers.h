// Watches the overwrite questions of the workers, so the pipeline knows when a job kept
// an existing output instead of writing it.
#pragma once

#include "maker/jobs/worker_host.h"

// Forwards everything to the real host and remembers a "No". Give it to the worker factory
// in place of the host, and to the pipeline so it can ask after each job.
class OverwriteAnswers final : public WorkerHost {
 public:
  explicit OverwriteAnswers(WorkerHost& host) : host_(host) {}

  void AppendLog(MakerLog log, const std::string& line) override { host_.AppendLog(log, line); }
  void SetStatusText(MakerPanel panel, const std::string& text) override { host_.SetStatusText(panel, text); }
  bool AskYesNo(const std::string& text, const std::string& caption) override {
    const bool yes = host_.AskYesNo(text, caption);
    if (!yes) declined_ = true;
    return yes;
  }

  // True when a question was answered No since the last call (main thread only).
  bool TakeDeclined() {
    const bool declined = declined_;
    declined_ = false;
    return declined;
  }

 private:
  WorkerHost& host_;
  bool declined_ = false;
};

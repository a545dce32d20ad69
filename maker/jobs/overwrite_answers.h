// Watches the overwrite questions of the workers, so the pipeline knows when a job kept
// an existing output instead of writing it.
#pragma once

#include "maker/worker/worker_host.h"

// Forwards everything to the real host and remembers a "No" (main thread only).
class DeclineRecorder : public WorkerHost {
 public:
  explicit DeclineRecorder(WorkerHost& host) : host_(host) {}

  void AppendLog(MakerLog log, const std::string& line) override { host_.AppendLog(log, line); }
  void SetStatusText(MakerPanel panel, const std::string& text) override { host_.SetStatusText(panel, text); }
  bool AskYesNo(const std::string& text, const std::string& caption) override {
    const bool yes = host_.AskYesNo(text, caption);
    if (!yes) declined_ = true;
    return yes;
  }

  // True when a question was answered No since the last call.
  bool TakeDeclined() {
    const bool declined = declined_;
    declined_ = false;
    return declined;
  }

 private:
  WorkerHost& host_;
  bool declined_ = false;
};

// Give it to the worker factory in place of the host (ForReader() for the CD reader), and
// to the pipeline so it can ask after each job. The reader's answers are kept apart from
// the encoder's and decoder's: in CD to MP3 a track is read while the previous one is
// encoded, so one shared flag would charge the reader's "No" to whichever encode ends next.
class OverwriteAnswers final : public DeclineRecorder {
 public:
  explicit OverwriteAnswers(WorkerHost& host) : DeclineRecorder(host), reader_(host) {}

  DeclineRecorder& ForReader() { return reader_; }
  // TakeDeclined() for the CD reader's questions.
  bool TakeReaderDeclined() { return reader_.TakeDeclined(); }

 private:
  DeclineRecorder reader_;
};

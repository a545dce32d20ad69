// What the encoding and decoding threads share: the codec record hooks, logging through the
// main thread, the overwrite question and the input path clean-up.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/output_file.h"
#include "maker/codec/codec_event.h"
#include "maker/codec/codec_record.h"
#include "maker/worker/job_worker.h"
#include "maker/worker/worker_host.h"

class CodecThread : public JobWorker, public CodecRecord {
 public:
  CodecThread(MainLoop& loop, WorkerHost& host);

  // Replaces the wall clock (tests). Set before Start.
  void SetClock(SecondsClock clock) { clock_ = std::move(clock); }
  // The output file the job writes; known once the thread has built it.
  const std::string& OutputPath() const { return outputPath; }

  bool StopRequested() const override { return Terminated(); }
  void ShowStatusMessage() override;
  void LogMessage() override;
  void MarkError() override { SetError(); }
  std::time_t Now() const override { return clock_ ? clock_() : SystemSeconds(); }

 protected:
  // The record pointer the adapters pass back to the callbacks.
  void* Record() { return static_cast<CodecRecord*>(this); }
  // Asks "Overwrite existing file %s ?" when asked to confirm and the output exists.
  // Returns false when the user declined.
  bool MayWriteOutput(bool confirmOverwrite);
  // Refuses an output that is the input file itself (the encode or decode would truncate
  // its own input): logs an error and sets the error flag.
  bool OutputDiffersFromInput(const std::string& inputPath);
  // Creates the file the adapter writes for outputPath (a temporary file beside it, see
  // OutputFile); a failure goes to OutputFailed with the reason and gives nothing.
  std::optional<OutputFile> CreateOutput(const std::string& inputPath);
  // Ends the output once the adapter has returned: put in place when the job finished,
  // else kept as "<name>.part<ext>" or removed as keepPartial says (an output of no more
  // than emptyBytes holds nothing and is removed). A failure to put it in place fails the
  // job through OutputFailed.
  void EndOutput(OutputFile& output, bool keepPartial, int64_t emptyBytes);
  // Reports a failure of the output file as the thread's adapter reports its failures.
  virtual void OutputFailed(CodecEvent kind, const std::string& text) = 0;

  WorkerHost& host_;

 private:
  SecondsClock clock_;
};

// Removes trailing carriage returns, line feeds and backslashes; the first character stays.
std::string TrimJobPath(std::string path);

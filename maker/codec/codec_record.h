// The per-job record a codec thread hands to the adapters, and what the callbacks reach through it.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "maker/worker/log_event.h"

// Wall-clock seconds; replaceable so tests can step time.
using SecondsClock = std::function<std::time_t()>;
std::time_t SystemSeconds();

// The record passed as the opaque pointer of a CodecStatusCallback. The encoding and decoding
// threads implement the hooks: every hook that changes a window runs on the main thread and
// returns after it has run, so messageText and logEvent are never overwritten before they
// are shown.
class CodecRecord {
 public:
  virtual ~CodecRecord() = default;

  std::string messageText;        // the next status text
  LogEvent logEvent;              // the next log line
  // What the job's lines are about once its heading has named it (the input file); empty
  // before that, and for jobs whose lines name no file.
  std::string logSubject;
  std::string outputPath;         // the file being written
  // The format the job encodes to or decodes from, as the status texts name it
  // (" FLAC Encoder: 45.00%, ..."); set by the thread before the adapter runs.
  std::string formatName = "MP3";
  int32_t lastProgress = 0;       // hundredths of a percent, 0..10000
  std::time_t lastStatusTime = 0; // seconds of the last status-panel update
  std::time_t startTime = 0;      // seconds when the pipeline started this job

  virtual bool StopRequested() const = 0;
  // Shows messageText in the encoder status panel.
  virtual void ShowStatusMessage() = 0;
  // Appends logEvent to the encoder/decoder log.
  virtual void LogMessage() = 0;
  // Sets the job's error flag (EncoderError / DecoderError).
  virtual void MarkError() = 0;
  virtual std::time_t Now() const = 0;

  // Appends the line to the log as an event of `severity` about logSubject.
  void Log(LogSeverity severity, const std::string& line) {
    logEvent = {severity, logSubject, line};
    LogMessage();
  }
  // The two-second rule of the status panel: a new text shows only once the clock has
  // passed lastStatusTime + 1.
  bool StatusDue(std::time_t now) const { return now > lastStatusTime + 1; }
};

// A line of the maker's logs as the workers and the pipeline hand it to a host: what kind
// of line it is, what it is about, and its text.
#pragma once

#include <string>
#include <utility>

// What a log line tells. A host decides by it (what goes to standard error, when a job's
// status text is stale), never by the words of the text, which may hold any file name.
enum class LogSeverity {
  Info,     // an ordinary line
  Warning,  // a loss or a leftover that does not fail the job
  Error,    // the job failed
  Begin,    // the empty line that opens the lines of a job
  // The job's one last line: it finished ("Done (n seconds)."), was cancelled
  // ("Cancelled.") or kept an existing output ("Kept the existing file ..."). A failed job
  // ends with its Error line instead. The job pipeline writes it, never a worker.
  Done,
};

// "    Done (1 second).", "    Done (12 seconds).": the end line of a finished job.
inline std::string DoneText(long seconds) {
  return "    Done (" + std::to_string(seconds) + (seconds == 1 ? " second)." : " seconds).");
}

struct LogEvent {
  LogSeverity severity = LogSeverity::Info;
  // The file or track the line is about ("/music/a.wav", "Track 03"); empty when the line
  // names none, and then it belongs to the subject of the log's current job.
  std::string subject;
  // The line exactly as the log shows it, indent included.
  std::string text;

  static LogEvent Info(std::string text, std::string subject = {}) {
    return {LogSeverity::Info, std::move(subject), std::move(text)};
  }
  static LogEvent Warning(std::string text, std::string subject = {}) {
    return {LogSeverity::Warning, std::move(subject), std::move(text)};
  }
  static LogEvent Error(std::string text, std::string subject = {}) {
    return {LogSeverity::Error, std::move(subject), std::move(text)};
  }
  // The empty line before a job's first line.
  static LogEvent Begin() { return {LogSeverity::Begin, {}, {}}; }
  static LogEvent Done(std::string text, std::string subject = {}) {
    return {LogSeverity::Done, std::move(subject), std::move(text)};
  }
  bool operator==(const LogEvent&) const = default;
};

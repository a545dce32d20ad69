// What the desktop is told when a run has ended.
#include "maker/jobs/run_notice.h"

#include <optional>

namespace {

std::string Count(int n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

const char* RunName(Operation operation) {
  switch (operation) {
    case Operation::CD2MP3:
      return "Ripping to MP3";
    case Operation::CD2WAV:
      return "Ripping to WAV";
    case Operation::WAV2MP3:
      return "Encoding";
    case Operation::MP32WAV:
      return "Decoding";
  }
  return "The run";
}

}  // namespace

RunSummary SummarizeRun(Operation operation, const JobTable& jobs) {
  RunSummary run;
  run.operation = operation;
  for (int row = 0; row < jobs.Size(); ++row) {
    const JobStatus status = jobs.StatusOf(row);
    const std::optional<JobOutcome> outcome = OutcomeOf(status);
    if (!outcome) continue;
    switch (*outcome) {
      case JobOutcome::Finished:
        ++run.finished;
        if (status == JobStatus::FinishedWarned) ++run.warned;
        break;
      case JobOutcome::Failed:
        ++run.failed;
        break;
      case JobOutcome::Kept:
        ++run.kept;
        break;
      case JobOutcome::Cancelled:
        ++run.cancelled;
        break;
    }
  }
  return run;
}

RunNotice MakeRunNotice(const RunSummary& run) {
  const bool tracks = run.operation == Operation::CD2MP3 || run.operation == Operation::CD2WAV;
  const char* one = tracks ? "track" : "file";
  const char* many = tracks ? "tracks" : "files";
  RunNotice notice;
  notice.summary = std::string(RunName(run.operation)) + (run.failed > 0 ? " finished with errors" : " finished");
  notice.body = Count(run.finished, one, many) + " done";
  if (run.warned > 0) notice.body += " (" + std::to_string(run.warned) + " with warnings)";
  if (run.failed > 0) notice.body += ", " + std::to_string(run.failed) + " failed";
  if (run.kept > 0) notice.body += ", " + std::to_string(run.kept) + " kept as they were";
  if (run.cancelled > 0) notice.body += ", " + std::to_string(run.cancelled) + " cancelled";
  return notice;
}

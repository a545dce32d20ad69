// What the desktop is told when a run has ended.
#include "maker/jobs/run_notice.h"

#include <optional>

namespace {

// The key of the run's name in the texts.
const char* RunName(Operation operation) {
  switch (operation) {
    case Operation::CD2MP3:
      return "RunRipMp3";
    case Operation::CD2WAV:
      return "RunRipWav";
    case Operation::WAV2MP3:
      return "RunEncode";
    case Operation::MP32WAV:
      return "RunDecode";
  }
  return "RunRipMp3";
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

RunNotice MakeRunNotice(const RunSummary& run, const MakerTexts& texts) {
  const bool tracks = run.operation == Operation::CD2MP3 || run.operation == Operation::CD2WAV;
  const char* done = tracks ? (run.finished == 1 ? "TrackDone" : "TracksDone") : (run.finished == 1 ? "FileDone" : "FilesDone");
  auto count = [](int n) { return std::vector<std::string>{std::to_string(n)}; };
  RunNotice notice;
  notice.summary = texts.Format(run.failed > 0 ? "RunFinishedWithErrors" : "RunFinished", {texts.Template(RunName(run.operation))});
  notice.body = texts.Format(done, count(run.finished));
  if (run.warned > 0) notice.body += texts.Format("DoneWithWarnings", count(run.warned));
  if (run.failed > 0) notice.body += texts.Format("FailedCount", count(run.failed));
  if (run.kept > 0) notice.body += texts.Format("KeptCount", count(run.kept));
  if (run.cancelled > 0) notice.body += texts.Format("CancelledCount", count(run.cancelled));
  return notice;
}

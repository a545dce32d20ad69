// How a worker ends its output file: put in place when the job finished, otherwise kept
// under a name that says it is unfinished, or removed, as the job's delete rule says.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/output_file.h"
#include "maker/worker/log_event.h"

enum class JobEnd { Finished, Failed, Cancelled };

struct JobOutputOutcome {
  bool failed = false;    // a finished output could not be put in place: the job failed after all
  std::string error;      // why, when failed ("Cannot replace /m/a.wav: No space left on device")
  // The log line naming a kept unfinished output (Info), or the warning that it stayed
  // under its temporary name; no text when nothing was kept.
  LogEvent kept;
};

// Finished: commits the output. Failed or Cancelled (or a commit that failed): with
// `keepPartial` the unfinished output is renamed to "name.part" + partialExt beside the
// output (a free variant when that exists) and a log line says so; without it, or when
// the file holds no more than `emptyBytes` (a header with nothing behind it), the
// temporary file is removed. An output written in place (a device, a FIFO) is only
// closed. The output given is ended in every case.
inline JobOutputOutcome EndJobOutput(OutputFile& output, JobEnd end, bool keepPartial, int64_t emptyBytes,
                                     std::string_view partialExt) {
  JobOutputOutcome outcome;
  if (end == JobEnd::Finished) {
    auto committed = output.Commit();
    if (committed) return outcome;
    outcome.failed = true;
    outcome.error = committed.Error().Message();
  }
  const int64_t bytes = output.Size();
  if (output.InPlace() || !keepPartial || (bytes >= 0 && bytes <= emptyBytes)) {
    output.Abandon();
    return outcome;
  }
  const char* why = end == JobEnd::Cancelled ? "cancelled" : "failed";
  auto kept = output.KeepAs(PartialFilePath(output.Path(), partialExt));
  if (kept) {
    outcome.kept = LogEvent::Info("    Kept the unfinished file as " + kept.Value() + " (" + why + ").");
  } else {
    // The temporary file stays where it is, under its own name.
    outcome.kept = LogEvent::Warning("    Warning: " + kept.Error().Message() + " (" + why + ").");
  }
  return outcome;
}

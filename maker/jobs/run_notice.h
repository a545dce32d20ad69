// What the desktop is told when a run has ended while the window was not in front: how
// many jobs ended in which way, in a summary line and a body line.
#pragma once

#include <string>

#include "maker/jobs/job_status.h"
#include "maker/jobs/pipeline_host.h"
#include "maker/settings/maker_texts.h"

// How the jobs of one run ended (pending rows, which the run did not take, are not counted).
struct RunSummary {
  Operation operation = Operation::CD2MP3;
  int finished = 0;  // done, with or without warnings
  int warned = 0;    // of those, done with warnings
  int failed = 0;
  int kept = 0;      // an existing output kept, nothing converted
  int cancelled = 0;
};
RunSummary SummarizeRun(Operation operation, const JobTable& jobs);

struct RunNotice {
  std::string summary;  // "Ripping to MP3 finished", "Encoding finished with errors"
  std::string body;     // "3 tracks done, 1 failed", "1 file done"
};
// In the language of `texts` (English by default).
RunNotice MakeRunNotice(const RunSummary& run, const MakerTexts& texts = MakerTexts());

// What the desktop is told when a run has ended.
#include "maker/jobs/run_notice.h"

#include <gtest/gtest.h>

// Catches pending rows (tracks the run did not take) counted as done, warnings counted
// apart from the done jobs, "1 tracks", and a run with failures called finished alone.
TEST(RunNotice, CountsHowTheJobsEnded) {
  JobTable jobs;
  jobs.Reset(6);
  const JobStatus ends[] = {JobStatus::Finished, JobStatus::FinishedWarned, JobStatus::Pending,
                            JobStatus::Failed,   JobStatus::Kept,           JobStatus::Finished};
  for (int row = 0; row < 6; ++row) jobs.At(row)->status = ends[row];
  const RunSummary run = SummarizeRun(Operation::CD2MP3, jobs);
  EXPECT_EQ(std::tuple(run.finished, run.warned, run.failed, run.kept, run.cancelled), std::tuple(3, 1, 1, 1, 0));
  const RunNotice notice = MakeRunNotice(run);
  EXPECT_EQ(notice.summary, "Ripping to MP3 finished with errors");
  EXPECT_EQ(notice.body, "3 tracks done (1 with warnings), 1 failed, 1 kept as they were");

  jobs.Reset(1);
  jobs.At(0)->status = JobStatus::Finished;
  const RunNotice one = MakeRunNotice(SummarizeRun(Operation::MP32WAV, jobs));
  EXPECT_EQ(one.summary, "Decoding finished");
  EXPECT_EQ(one.body, "1 file done");
}

// Catches a notification in English while the window shows German.
TEST(RunNotice, SpeaksTheWindowsLanguage) {
  const MakerTexts german(LanguageFile::FromText(
      "[MP3 Maker Texts]\nRunRipWav=Rippen nach WAV\nRunFinishedWithErrors=%1 mit Fehlern beendet\n"
      "TracksDone=%1 Titel fertig\nFailedCount=, %1 fehlgeschlagen\nCancelledCount=, %1 abgebrochen\n"));
  RunSummary run;
  run.operation = Operation::CD2WAV;
  run.finished = 2;
  run.failed = 1;
  run.cancelled = 3;
  const RunNotice notice = MakeRunNotice(run, german);
  EXPECT_EQ(notice.summary, "Rippen nach WAV mit Fehlern beendet");
  EXPECT_EQ(notice.body, "2 Titel fertig, 1 fehlgeschlagen, 3 abgebrochen");
}

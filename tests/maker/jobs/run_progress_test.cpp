// The progress of a whole run: weighed by the jobs' bytes, over both stages of CD to MP3.
#include "maker/jobs/run_progress.h"

#include <gtest/gtest.h>

// Catches a run's percent that follows the track instead of the run (a long last track
// shown as 100 % after its first second), jobs counted alike whatever their length, the
// encodes of CD to MP3 not counted, and a stage's share of the ended job given to the next.
TEST(RunProgress, WeighsEachJobByItsBytesOverBothStages) {
  RunProgress run;
  run.Start({100, 300}, /*stages=*/2, 0.0);  // CD to MP3 of a short and a long track
  EXPECT_EQ(run.At(0.0).job, 1);
  EXPECT_EQ(run.At(0.0).jobs, 2);
  EXPECT_EQ(run.At(0.0).percent, 0);
  run.StageProgress(0, 0.5);  // half of track 1 read: 50 of 800 bytes of work
  EXPECT_EQ(run.At(1.0).percent, 6);
  run.JobStatusChanged(0, JobStatus::Read);  // read; its share does not pass to track 2
  EXPECT_EQ(run.At(1.0).percent, 12);
  run.StageProgress(1, 0.5);  // track 1 half encoded, track 2 not read yet
  run.StageProgress(0, 0.5);  // track 2 half read
  EXPECT_EQ(run.At(1.0).percent, (100 + 50 + 150) * 100 / 800);
  EXPECT_EQ(run.At(1.0).job, 1);
  run.JobStatusChanged(0, JobStatus::Finished);
  EXPECT_EQ(run.At(1.0).job, 2);
  EXPECT_EQ(run.At(1.0).percent, (200 + 150) * 100 / 800);
  run.JobStatusChanged(1, JobStatus::Read);
  run.StageProgress(1, 0.25);
  EXPECT_EQ(run.At(1.0).percent, (200 + 300 + 75) * 100 / 800);
  run.JobStatusChanged(1, JobStatus::Cancelled);  // an end is an end, whatever it was
  EXPECT_EQ(run.At(1.0).percent, 100);
  EXPECT_EQ(run.At(1.0).job, 2);
}

// Catches an estimate shown from the first moments (it swings wildly), one that is not
// the elapsed time scaled by what is left, and times in the wrong unit or words.
TEST(RunProgress, EstimatesTheTimeLeftOnceItCan) {
  RunProgress run;
  run.Start({1000, 1000, 1000, 1000}, /*stages=*/1, 10.0);
  run.StageProgress(0, 0.5);
  EXPECT_EQ(run.At(11.0).secondsLeft, -1);  // too early
  EXPECT_EQ(RunProgressText(run.At(11.0), /*tracks=*/false), "File 1 of 4 \u2013 12 %");
  run.JobStatusChanged(0, JobStatus::Finished);
  run.JobStatusChanged(1, JobStatus::Finished);
  run.StageProgress(0, 0.0);
  // Half the work in 60 seconds: 60 more.
  EXPECT_EQ(run.At(70.0).secondsLeft, 60);
  EXPECT_EQ(RunProgressText(run.At(70.0), /*tracks=*/true), "Track 3 of 4 \u2013 50 % \u2013 1 min left");
  RunProgress::View view{3, 12, 41, 95};
  EXPECT_EQ(RunProgressText(view, true), "Track 3 of 12 \u2013 41 % \u2013 2 min left");
  view.secondsLeft = 42;
  EXPECT_EQ(RunProgressText(view, true), "Track 3 of 12 \u2013 41 % \u2013 42 s left");
  view.secondsLeft = 3 * 3600 + 5 * 60;
  EXPECT_EQ(RunProgressText(view, true), "Track 3 of 12 \u2013 41 % \u2013 3 h 5 min left");
}

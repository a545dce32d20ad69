// The CD run and the file run on a run context of their own, and what one run leaves for
// the next through the pipeline.
#include "maker/jobs/cd_run.h"
#include "maker/jobs/file_run.h"
#include "maker/jobs/run_context.h"

#include "common/paths.h"
#include "pipeline_fixture.h"

// Catches a run that begins (busy window, cleared Cancel) without a job, and a run whose
// busy state does not follow its worker: a file run is busy while its encoder runs and
// idle, with Start shown, once the last row has ended; the CD run beside it stays idle.
TEST_F(PipelineTest, RunsOnTheirOwnContextStartOnlyWithJobsAndFollowTheirWorkers) {
  RunContext context(host, factory, settings);
  CdRun cd(context);
  FileRun files(context);

  context.operation = Operation::CD2MP3;
  context.cancelRequested = true;
  host.AddTracks(2);
  for (auto& row : host.tracks) row.selected = false;
  EXPECT_FALSE(cd.Start());
  EXPECT_TRUE(context.cancelRequested);
  EXPECT_FALSE(cd.Busy());
  EXPECT_EQ(host.Statuses(JobList::Tracks), "+ +");

  context.operation = Operation::WAV2MP3;
  EXPECT_FALSE(files.Start()) << "an empty file list";
  EXPECT_TRUE(host.visible.empty()) << "the window left idle";

  std::atomic<bool> gate{false};
  AddFiles({"a.wav", "b.wav"});
  factory.encoder = [&](const EncoderJob&) { return WorkerScript{.gate = &gate}; };
  ASSERT_TRUE(files.Start());
  EXPECT_FALSE(context.cancelRequested);
  EXPECT_TRUE(files.Busy());
  EXPECT_TRUE(files.HasLiveWorkers());
  EXPECT_FALSE(cd.Busy());
  EXPECT_FALSE(host.visible["StartButton"]);
  EXPECT_EQ(host.hints["CancelButton"], "Cancel Encoding");
  gate = true;
  ASSERT_TRUE(PumpUntil([&] { return !files.Busy(); }));
  EXPECT_FALSE(files.HasLiveWorkers());
  EXPECT_EQ(factory.encoderJobs.size(), 2u);
  EXPECT_EQ(host.Statuses(JobList::Files), "OK: OK:");
  EXPECT_TRUE(host.visible["StartButton"]);
}

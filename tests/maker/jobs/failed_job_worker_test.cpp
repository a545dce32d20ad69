// The stand-in worker of a job kind the build lacks: an error row, never a crash.
#include "maker/jobs/failed_job_worker.h"

#include <gtest/gtest.h>

#include "pipeline_fixture.h"

namespace {

class MissingKindFactory final : public JobWorkerFactory {
 public:
  MissingKindFactory(MainLoop& loop, WorkerHost& host) : loop_(loop), host_(host) {}
  std::unique_ptr<JobWorker> MakeReader(const ReaderJob&) override {
    return std::make_unique<FailedJobWorker>(loop_, host_, MakerLog::Reader, "CD reading is not part of this build.");
  }
  std::unique_ptr<JobWorker> MakeEncoder(const EncoderJob&) override {
    return std::make_unique<FailedJobWorker>(loop_, host_, MakerLog::Encoder, "Encoding is not part of this build.");
  }
  std::unique_ptr<JobWorker> MakeDecoder(const DecoderJob&) override {
    return std::make_unique<FailedJobWorker>(loop_, host_, MakerLog::Encoder, "Decoding is not part of this build.");
  }

 private:
  MainLoop& loop_;
  WorkerHost& host_;
};

}  // namespace

// Catches a missing worker kind that hangs the run, crashes, or ends as a success.
TEST_F(PipelineTest, MissingWorkerKindFailsEachRowAndTheRunGoesOn) {
  MissingKindFactory missing(loop, host);
  host.operation = Operation::WAV2MP3;
  AddFiles({"a.wav", "b.wav"});
  JobPipeline p(loop, host, missing, settings, [](const std::string&, const char*) { return true; });
  p.StartButtonClick();
  ASSERT_TRUE(PumpUntil([&] { return !p.Busy() && !p.HasLiveWorkers(); }));
  EXPECT_EQ(host.files[0].text, "Error:\t" + PathIn("a.wav"));
  EXPECT_EQ(host.files[1].text, "Error:\t" + PathIn("b.wav"));
  EXPECT_EQ(std::count(host.encoderLog.begin(), host.encoderLog.end(), "    Error: Encoding is not part of this build."), 2);

  host.operation = Operation::CD2WAV;
  host.AddTracks(2);
  p.StartButtonClick();
  ASSERT_TRUE(PumpUntil([&] { return !p.Busy() && !p.HasLiveWorkers(); }));
  EXPECT_EQ(host.Status(JobList::Tracks, 0), "Error");
  EXPECT_EQ(host.Status(JobList::Tracks, 1), "Error");
  EXPECT_EQ(host.readerLog.back(), "    Error: CD reading is not part of this build.");
}

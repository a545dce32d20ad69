// The stand-in worker of a job kind the build lacks: an error row, never a crash.
#include "maker/jobs/failed_job_worker.h"

#include "pipeline_fixture.h"

namespace {

class MissingKindFactory final : public JobWorkerFactory {
 public:
  MissingKindFactory(MainLoop& loop, WorkerHost& host) : loop_(loop), host_(host) {}
  std::unique_ptr<JobWorker> MakeReader(const ReaderJob&) override { return Fail(MakerLog::Reader, "CD reading"); }
  std::unique_ptr<JobWorker> MakeEncoder(const EncoderJob&) override { return Fail(MakerLog::Encoder, "Encoding"); }
  std::unique_ptr<JobWorker> MakeDecoder(const DecoderJob&) override { return Fail(MakerLog::Encoder, "Decoding"); }

 private:
  std::unique_ptr<JobWorker> Fail(MakerLog log, const std::string& kind) {
    return std::make_unique<FailedJobWorker>(loop_, host_, log, kind + " is not part of this build.");
  }
  MainLoop& loop_;
  WorkerHost& host_;
};

}  // namespace

// Catches a missing worker kind that hangs the run, crashes, or ends as a success.
TEST_F(PipelineTest, MissingWorkerKindFailsEachRowAndTheRunGoesOn) {
  MissingKindFactory missing(loop, host);
  host.operation = Operation::WAV2MP3;
  AddFiles({"a.wav", "b.wav"});
  JobPipeline p(loop, host, missing, settings, AllLibraries);
  StartAndFinish(&p);
  EXPECT_EQ(host.Statuses(JobList::Files), "Error: Error:");
  EXPECT_EQ(LogCount(host.encoderLog, "    Error: Encoding is not part of this build."), 2u);

  host.operation = Operation::CD2WAV;
  host.AddTracks(2);
  StartAndFinish(&p);
  EXPECT_EQ(host.Statuses(JobList::Tracks), "Error Error");
  EXPECT_EQ(host.readerLog.back(), "    Error: CD reading is not part of this build.");
}

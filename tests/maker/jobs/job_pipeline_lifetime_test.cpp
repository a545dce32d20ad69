// The job pipeline with the real worker threads: destroyed while they run.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "maker/cd/cd_device.h"
#include "maker/jobs/job_pipeline.h"
#include "maker/jobs/real_job_worker_factory.h"
#include "pipeline_fixture.h"
#include "tests/cdaccess/disc_image_builder.h"

namespace {

bool Contains(const std::vector<std::string>& log, const std::string& line) {
  return std::find(log.begin(), log.end(), line) != log.end();
}

}  // namespace

// Closing the window in the middle of a CD to MP3 run destroys the pipeline while track 2
// is read and track 1 is encoded. Catches workers whose members are gone before their
// thread has ended (a use after free under ASan), a hand-over to the main thread nobody
// serves any more (a hang), and a completion that reaches the destroyed pipeline.
TEST(JobPipelineLifetime, DestroyedInTheMiddleOfACdToMp3Run) {
  testcd::TempDir dir;
  const testcd::DiscImage image(dir.Path(), "disc",
                                {testcd::Tone(75 * 4, 440, 8000), testcd::Noise(75 * 240, 7)});
  // The fake encoder runs until it is cancelled; the reader library is the real one.
  const testcd::ScopedEnv libraries("ZIMBAR_LIB_DIR", ZIMBAR_FAKES_DIR "/codec");
  const testcd::ScopedEnv frames("FAKE_GOGO_FRAMES", "2000000000");

  QueueMainLoop loop;
  RecordingHost host;
  host.AddTracks(2);
  host.drive = image.DriveIndex();
  ASSERT_GE(host.drive, 0);
  SettingsTable settings;
  settings.outputPath = dir.Path() + "/out";
  settings.encoderJobs = 1;  // one encoder, on track 1, while track 2 is read
  CdLayer cd;
  cd.SetDiscImages(image.Images());
  RealJobWorkerFactory factory(loop, host);
  factory.UseCdLayer(cd);
  auto pipeline = std::make_unique<JobPipeline>(loop, host, factory, settings, AllLibraries);

  pipeline->StartButtonClick();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!(Contains(host.encoderLog, "Encoding: " + dir.Path() + "/out/Track01.tmp") &&
           Contains(host.readerLog, "Reading: Track 02"))) {
    ASSERT_LT(std::chrono::steady_clock::now(), end)
        << "the run never had both workers going: " << ::testing::PrintToString(host.readerLog)
        << ::testing::PrintToString(host.encoderLog);
    if (loop.RunPending() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(pipeline->Busy());

  pipeline.reset();
  // Whatever the workers posted before they ended must not reach the pipeline now.
  const std::vector<std::string> readerLog = host.readerLog, encoderLog = host.encoderLog;
  const std::vector<RecordingHost::Row> tracks = host.tracks;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  loop.RunPending();
  EXPECT_EQ(host.readerLog, readerLog);
  EXPECT_EQ(host.encoderLog, encoderLog);
  for (size_t row = 0; row < tracks.size(); ++row) EXPECT_EQ(host.tracks[row].text, tracks[row].text) << row;
}

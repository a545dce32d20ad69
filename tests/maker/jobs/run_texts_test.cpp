// The texts runs of the job pipeline give their host, with the real worker threads: each
// one must be a text of the catalogue the language files translate.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "maker/cd/cd_device.h"
#include "maker/jobs/existing_outputs.h"
#include "maker/jobs/job_pipeline.h"
#include "maker/jobs/real_job_worker_factory.h"
#include "maker/settings/maker_texts.h"
#include "pipeline_fixture.h"
#include "tests/cdaccess/disc_image_builder.h"

namespace {

// A host, a pipeline with the real workers over a disc image, and the fake codec
// libraries (the reader library is the real one).
class RunTexts : public ::testing::Test {
 protected:
  void SetUp() override {
    host.drive = image.DriveIndex();
    ASSERT_GE(host.drive, 0);
    settings.outputPath = dir.Path() + "/out";
    std::filesystem::create_directories(settings.outputPath.str());
    cd.SetDiscImages(image.Images());
    factory.UseCdLayer(cd);
  }
  // Runs the pipeline with `operation` over every row until it is idle again; with
  // `cancelAt`, Cancel is clicked as soon as a log line starts with it.
  void Run(Operation operation, const std::string& cancelAt = {}) {
    host.operation = operation;
    // Every row, as a person selects them again for the next run.
    for (RecordingHost::Row& row : host.tracks) row.selected = true;
    for (RecordingHost::Row& row : host.files) row.selected = true;
    pipeline->StartButtonClick();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool cancelled = false;
    while (pipeline->Busy() || pipeline->HasLiveWorkers()) {
      ASSERT_LT(std::chrono::steady_clock::now(), end) << "the run did not end";
      if (!cancelAt.empty() && !cancelled && pipeline->Busy()) {
        for (const auto* log : {&host.readerLog, &host.encoderLog})
          for (const std::string& line : *log)
            cancelled = cancelled || line.starts_with(cancelAt) || line.find("] " + cancelAt) != std::string::npos;
        if (cancelled) pipeline->CancelButtonClick();
      }
      if (loop.RunPending() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Collect();
  }
  // Every text the host was given so far, into `shown`.
  void Collect() {
    for (const auto* texts : {&host.readerLog, &host.encoderLog, &host.questions, &host.statusHistory})
      for (const std::string& text : *texts) shown.insert(text);
    // The host keeps an error box as "caption|text".
    for (const std::string& error : host.errors) {
      shown.insert(error.substr(0, error.find('|')));
      shown.insert(error.substr(error.find('|') + 1));
    }
    for (const auto* rows : {&host.tracks, &host.files})
      for (const RecordingHost::Row& row : *rows)
        for (const std::string& text : row.history) shown.insert(RowStatus(text));
    for (const auto& [control, hint] : host.hints) shown.insert(hint);
    // The window's one question about the existing outputs lists them.
    for (const std::vector<std::string>& paths : host.replaceQuestions) shown.insert(ReplaceQuestionText(paths));
  }
  // The shown texts no catalogue text matches.
  std::vector<std::string> WithoutKey() const {
    const MakerTexts texts;
    std::vector<std::string> missing;
    for (const std::string& text : shown)
      if (!text.empty() && text != status::kPending && !texts.Translate(text)) missing.push_back(text);
    return missing;
  }

  testcd::TempDir dir;
  const testcd::DiscImage image{dir.Path(), "disc", {testcd::Tone(75 * 2, 440, 8000), testcd::Noise(75 * 2, 7)}};
  const testcd::ScopedEnv libraries{"ZIMBAR_LIB_DIR", ZIMBAR_FAKES_DIR "/codec"};
  QueueMainLoop loop;
  RecordingHost host;
  SettingsTable settings;
  CdLayer cd;
  RealJobWorkerFactory factory{loop, host};
  std::unique_ptr<JobPipeline> pipeline = std::make_unique<JobPipeline>(loop, host, factory, settings, AllLibraries);
  std::set<std::string> shown;
};

}  // namespace

// Catches a status panel text, log line, hint, status word, question or error box text of
// a run that the language files cannot translate (the German window would show it in
// English): CD to MP3 and CD to WAV runs, second runs over their outputs whose question
// is answered Keep All, a cancelled run, file runs whose inputs fail, and a start
// without the libraries.
TEST_F(RunTexts, EveryTextARunShowsHasAKey) {
  host.AddTracks(2);
  // Two encoders first (their lines carry the track, their panel both tracks), then one.
  settings.encoderJobs = 2;
  Run(Operation::CD2MP3);
  EXPECT_TRUE(std::any_of(shown.begin(), shown.end(),
                          [](const std::string& text) { return text.starts_with("[Track 02] Encoding: "); }))
      << ::testing::PrintToString(shown);
  settings.encoderJobs = 1;
  Run(Operation::CD2MP3);
  Run(Operation::CD2WAV);
  // The outputs exist now: the question before each run, answered Keep All, keeps them.
  settings.confirmOverwrite = 1;
  host.replaceAnswer = ReplaceAnswer::KeepAll;
  Run(Operation::CD2MP3);
  Run(Operation::CD2WAV);
  ASSERT_FALSE(host.replaceQuestions.empty()) << ::testing::PrintToString(shown);

  // A run cancelled while a track is encoded (the encoder never ends by itself).
  settings.confirmOverwrite = 0;
  {
    const testcd::ScopedEnv endless("FAKE_GOGO_FRAMES", "2000000000");
    Run(Operation::CD2MP3, "Encoding: ");
  }
  EXPECT_TRUE(shown.count("    Cancelled.") == 1) << ::testing::PrintToString(shown);

  // Files that fail: an input that is no WAV file, an MP3 the decoder cannot open.
  const std::string notWav = dir.Path() + "/not.wav", badMp3 = dir.Path() + "/bad.mp3";
  std::ofstream(notWav) << "this is not a WAV file";
  std::ofstream(badMp3) << "x";
  host.files = {{FileRowText(status::kPending, notWav), true}};
  Run(Operation::WAV2MP3);
  {
    const testcd::ScopedEnv openFails("FAKE_ZBD_OPEN", "3");
    host.files = {{FileRowText(status::kPending, badMp3), true}};
    Run(Operation::MP32WAV);
  }
  // Start without the libraries (the loader looks for one that is nowhere): the error box.
  {
    const LibraryProbe missing = [](const std::string&, const char* entry) {
      return ProbeOutsideLibrary("zbnowhere", entry);
    };
    JobPipeline withoutLibraries(loop, host, factory, settings, missing);
    withoutLibraries.StartButtonClick();
    ASSERT_FALSE(host.errors.empty());
    Collect();
  }
  EXPECT_GT(shown.size(), 20u);
  EXPECT_TRUE(shown.count("Reading: Track 02") == 1) << ::testing::PrintToString(shown);
  EXPECT_EQ(WithoutKey(), std::vector<std::string>{}) << "all texts: " << ::testing::PrintToString(shown);
}

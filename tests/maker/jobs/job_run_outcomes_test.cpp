// What a run decides before it starts (the one question about existing outputs) and how each
// of its jobs ends in the log (exactly one end line).
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "common/paths.h"
#include "maker/jobs/existing_outputs.h"
#include "maker/jobs/job_pipeline.h"
#include "pipeline_fixture.h"
#include "tests/common/temp_dir.h"

namespace {

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The end lines of a log's events: Done lines and errors.
std::vector<std::string> EndLines(const std::vector<LogEvent>& events) {
  std::vector<std::string> lines;
  for (const LogEvent& event : events)
    if (event.severity == LogSeverity::Done || event.severity == LogSeverity::Error) lines.push_back(event.text);
  return lines;
}

}  // namespace

// Catches outputs missed or listed twice (two jobs naming one file), a link to nothing not
// seen as an existing output, and a question that does not name every file or hides how
// many more there are.
TEST(ExistingOutputs, FindsEveryExistingOutputAndListsEachOnce) {
  TempDir dir;
  std::ofstream(dir.File("a.mp3")) << "a";
  ASSERT_EQ(::symlink(dir.File("gone").c_str(), dir.File("c.mp3").c_str()), 0);
  const std::vector<PlannedOutput> planned{
      {0, dir.File("a.mp3")}, {1, dir.File("b.mp3")}, {2, dir.File("c.mp3")}, {3, dir.File("a.mp3")}, {4, ""}};
  const std::vector<PlannedOutput> existing = ExistingOutputs(planned);
  EXPECT_EQ(existing, (std::vector<PlannedOutput>{{0, dir.File("a.mp3")}, {2, dir.File("c.mp3")}, {3, dir.File("a.mp3")}}));
  EXPECT_TRUE(HasRow(existing, 3));
  EXPECT_FALSE(HasRow(existing, 1));
  EXPECT_EQ(DistinctPaths(existing), (std::vector<std::string>{dir.File("a.mp3"), dir.File("c.mp3")}));

  EXPECT_EQ(ReplaceQuestionText({"/m/a.mp3"}), "This file exists already:\n\n/m/a.mp3\n\nReplace it, or keep it and skip its job?");
  EXPECT_EQ(ReplaceQuestionText({"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"}, 2),
            "3 files exist already:\n\n/m/a.mp3\n/m/b.mp3\n... and 1 more\n\n"
            "Replace them all, or keep them all and skip their jobs?");
}

// Catches a CD to MP3 run that asks per track in the middle of the rip (or per worker), reads
// a track whose MP3 is kept, replaces a kept MP3, starts anything after Cancel, or does not
// ask a second run again: one question before the run lists every existing output; "Keep
// all" skips those tracks unread ("Kept"); "Replace all" replaces them; "Cancel" starts
// nothing and clears no log.
TEST_F(PipelineTest, CdRunAsksOnceAboutAllExistingOutputsBeforeItStarts) {
  settings.confirmOverwrite = 1;
  settings.clearReaderLogOnStart = 1;
  host.readerLog.push_back("an earlier run's line");
  host.AddTracks(3);
  std::ofstream(PathIn("Track01.mp3")) << "old";
  std::ofstream(PathIn("Track03.mp3")) << "old";
  factory.reader = ReaderWrites;
  factory.encoder = [](const EncoderJob& job) { return WorkerScript{.writeFile = ChangeFileExt(job.inputPath, ".mp3")}; };

  host.replaceAnswer = ReplaceAnswer::Cancel;
  StartAndFinish();
  ASSERT_EQ(host.replaceQuestions.size(), 1u);
  EXPECT_EQ(host.replaceQuestions[0], (std::vector<std::string>{PathIn("Track01.mp3"), PathIn("Track03.mp3")}));
  EXPECT_TRUE(factory.calls.empty());
  EXPECT_EQ(host.Statuses(JobList::Tracks), "+ + +");
  EXPECT_TRUE(host.visible.empty()) << "the window went busy";
  EXPECT_EQ(host.readerLog, std::vector<std::string>{"an earlier run's line"});

  host.replaceAnswer = ReplaceAnswer::KeepAll;
  StartAndFinish();
  EXPECT_EQ(host.replaceQuestions.size(), 2u);
  EXPECT_TRUE(host.questions.empty()) << "a question in the middle of the run";
  ASSERT_EQ(factory.readerJobs.size(), 1u);
  EXPECT_EQ(factory.readerJobs[0].track, 2);
  EXPECT_FALSE(factory.readerJobs[0].confirmOverwrite);
  ASSERT_EQ(factory.encoderJobs.size(), 1u);
  EXPECT_FALSE(factory.encoderJobs[0].confirmOverwrite);
  EXPECT_EQ(host.Statuses(JobList::Tracks), "Kept OK Kept");
  EXPECT_EQ(pipeline.SkippedJobs(), 2);
  EXPECT_EQ(Contents(PathIn("Track01.mp3")), "old");
  EXPECT_EQ(Contents(PathIn("Track03.mp3")), "old");
  const std::string kept = "    Kept the existing file " + PathIn("Track01.mp3") + " (track not read).";
  const auto at = std::find(host.readerLog.begin(), host.readerLog.end(), kept);
  ASSERT_NE(at, host.readerLog.end());
  EXPECT_EQ(*(at - 1), "Not reading: Track 01");
  EXPECT_FALSE(Exists(PathIn("Track01.tmp")));

  for (auto& row : host.tracks) row.selected = true;
  host.replaceAnswer = ReplaceAnswer::ReplaceAll;
  StartAndFinish();
  ASSERT_EQ(host.replaceQuestions.size(), 3u);
  EXPECT_EQ(host.replaceQuestions[2].size(), 3u) << "the second run's MP3 is not listed";
  EXPECT_EQ(factory.readerJobs.size(), 4u);
  EXPECT_EQ(host.Statuses(JobList::Tracks), "OK OK OK");
  EXPECT_EQ(std::filesystem::file_size(PathIn("Track01.mp3")), 1000u);
  EXPECT_EQ(std::filesystem::file_size(PathIn("Track03.mp3")), 1000u);
  EXPECT_TRUE(host.questions.empty());
}

// Catches file runs that ask per file, encode or decode a file whose output is kept, count
// it as converted, or ask with ConfirmOverwrite off (which replaces without a question), and
// a CD to WAV run that asks about nothing.
TEST_F(PipelineTest, FileAndWavRunsAskOnceAndSkipTheKeptJobs) {
  settings.confirmOverwrite = 1;
  host.operation = Operation::WAV2MP3;
  AddFiles({"a.wav", "b.wav", "c.wav"});
  std::ofstream(PathIn("a.mp3")) << "old";
  std::ofstream(PathIn("c.mp3")) << "old";
  factory.encoder = [](const EncoderJob& job) { return WorkerScript{.writeFile = ChangeFileExt(job.inputPath, ".mp3")}; };
  StartAndFinish();
  ASSERT_EQ(host.replaceQuestions.size(), 1u);
  EXPECT_EQ(host.replaceQuestions[0], (std::vector<std::string>{PathIn("a.mp3"), PathIn("c.mp3")}));
  ASSERT_EQ(factory.encoderJobs.size(), 1u);
  EXPECT_EQ(factory.encoderJobs[0].inputPath, PathIn("b.wav"));
  EXPECT_EQ(host.Statuses(JobList::Files), "Kept: OK: Kept:");
  EXPECT_EQ(pipeline.SkippedJobs(), 2);
  EXPECT_EQ(Contents(PathIn("a.mp3")), "old");
  EXPECT_EQ(LogCount(host.encoderLog, "Not encoding: " + PathIn("c.wav")), 1u);
  EXPECT_EQ(LogCount(host.encoderLog, "    Kept the existing file " + PathIn("c.mp3") + " (not encoded)."), 1u);

  host.operation = Operation::MP32WAV;
  host.files.clear();
  AddFiles({"a.mp3"});
  factory.decoder = [](const DecoderJob& job) { return WorkerScript{.writeFile = ChangeFileExt(job.inputPath, ".wav")}; };
  StartAndFinish();
  ASSERT_EQ(host.replaceQuestions.size(), 2u);
  EXPECT_EQ(host.replaceQuestions[1], std::vector<std::string>{PathIn("a.wav")});
  EXPECT_EQ(host.Statuses(JobList::Files), "Kept:");
  EXPECT_EQ(factory.calls.size(), 1u) << "the kept decode ran";

  settings.confirmOverwrite = 0;
  StartAndFinish();
  EXPECT_EQ(host.replaceQuestions.size(), 2u) << "asked with ConfirmOverwrite off";
  EXPECT_EQ(host.Statuses(JobList::Files), "OK:");
  EXPECT_EQ(std::filesystem::file_size(PathIn("a.wav")), 1000u);

  settings.confirmOverwrite = 1;
  host.operation = Operation::CD2WAV;
  host.AddTracks(1);
  std::ofstream(PathIn("Track01.wav")) << "old";
  factory.reader = ReaderWrites;
  StartAndFinish();
  ASSERT_EQ(host.replaceQuestions.size(), 3u);
  EXPECT_EQ(host.replaceQuestions[2], std::vector<std::string>{PathIn("Track01.wav")});
  EXPECT_EQ(host.Statuses(JobList::Tracks), "Kept");
  EXPECT_EQ(Contents(PathIn("Track01.wav")), "old");
  EXPECT_TRUE(host.questions.empty());
}

// Catches a job that logs more than one end line or the wrong one: the worker's own "Done"
// before "Cancelled." (a finish that Cancel overtook), "Done" after the job's error (a
// decode, and an encode of a CD run), and "Done" after a kept output; and "1 seconds".
TEST_F(PipelineTest, EachJobLogsExactlyOneEndLine) {
  EXPECT_EQ(DoneText(1), "    Done (1 second).");
  EXPECT_EQ(DoneText(0), "    Done (0 seconds).");
  EXPECT_EQ(DoneText(7), "    Done (7 seconds).");
  const LogEvent workerDone = LogEvent::Done("    Done (7 seconds).");

  // A finished encode: the pipeline's Done, once.
  host.operation = Operation::WAV2MP3;
  AddFiles({"a.wav"});
  factory.encoder = Always<EncoderJob>({.endEvents = {workerDone}});
  StartAndFinish();
  EXPECT_EQ(EndLines(host.encoderEvents), std::vector<std::string>{DoneText(0)});

  // The encoder reported its finish, then Cancel came before its end reached the pipeline.
  host.encoderEvents.clear();
  factory.encoder = Always<EncoderJob>({.blockUntilCancelled = true, .endEvents = {workerDone}});
  pipeline.StartButtonClick();
  WaitRunning(factory.encoderJobs, 2);
  pipeline.CancelButtonClick();
  RunUntilIdle();
  EXPECT_EQ(EndLines(host.encoderEvents), std::vector<std::string>{"    Cancelled."});

  // A decode that failed after its worker's finish report.
  host.encoderEvents.clear();
  host.operation = Operation::MP32WAV;
  host.files.clear();
  AddFiles({"b.mp3"});
  factory.decoder = Always<DecoderJob>(
      {.error = true, .endEvents = {workerDone, LogEvent::Error("    Error: Cannot replace the output.")}});
  StartAndFinish();
  EXPECT_EQ(EndLines(host.encoderEvents), std::vector<std::string>{"    Error: Cannot replace the output."});
  EXPECT_EQ(host.Statuses(JobList::Files), "Error:");

  // A decode whose worker kept the existing output.
  host.encoderEvents.clear();
  factory.decoder = Always<DecoderJob>({.question = "Overwrite existing file?"});
  StartAndFinish();
  EXPECT_EQ(EndLines(host.encoderEvents),
            std::vector<std::string>{"    Kept the existing file " + PathIn("b.wav") + "."});
  EXPECT_EQ(host.Statuses(JobList::Files), "Kept:");

  // A CD run: a read that finished and an encode that failed.
  host.encoderEvents.clear();
  host.operation = Operation::CD2MP3;
  host.AddTracks(1);
  factory.reader = ReaderWrites;
  factory.encoder = Always<EncoderJob>({.error = true, .endEvents = {LogEvent::Error("    Error: Encoder failed.")}});
  StartAndFinish();
  EXPECT_EQ(EndLines(host.readerEvents), std::vector<std::string>{DoneText(0)});
  EXPECT_EQ(EndLines(host.encoderEvents), std::vector<std::string>{"    Error: Encoder failed."});
  EXPECT_EQ(host.Statuses(JobList::Tracks), "Error");
}

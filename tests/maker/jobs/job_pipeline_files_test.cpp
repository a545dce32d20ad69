// The job pipeline with scripted workers: the file operations, the command line, delete
// rules and the window states.
#include "maker/jobs/job_pipeline.h"

#include <gtest/gtest.h>

#include "common/paths.h"
#include "pipeline_fixture.h"

// Catches an encode of a listed WAV that writes into the output folder instead of beside
// the input (the delete-on-error rule must hit the MP3 beside the input).
TEST_F(PipelineTest, WavToMp3WritesBesideTheInput) {
  settings.SetText("OutputPath", "/nonexistent/elsewhere");
  settings.SetInt("WAV2MP3DelMP3OnError", 1);
  host.operation = Operation::WAV2MP3;
  AddFiles({"b.wav"});
  WriteFile(PathIn("b.mp3"));
  factory.encoder = [](const EncoderJob&) {
    WorkerScript s;
    s.error = true;
    return s;
  };
  pipeline.StartButtonClick();
  RunUntilIdle();
  ASSERT_EQ(factory.encoderJobs.size(), 1u);
  EXPECT_EQ(factory.encoderJobs[0].inputPath, PathIn("b.wav"));
  EXPECT_FALSE(Exists(PathIn("b.mp3")));
  EXPECT_EQ(host.files[0].text, "Error:\t" + PathIn("b.wav"));
  EXPECT_TRUE(Exists(PathIn("b.wav")));
}

// Catches command-line switches applied to the wrong settings, or a file list that does
// not start by itself.
TEST_F(PipelineTest, CommandLineSetsRatesChannelsAndStartsEncoding) {
  WriteFile(PathIn("x.wav"));
  const CommandLineFiles parsed = pipeline.ApplyCommandLine({"-128", "-JS", PathIn("x.wav"), PathIn("none.wav")});
  EXPECT_EQ(settings.Int("MPEG1BitRate"), 8);
  EXPECT_EQ(settings.Int("MPEG2BitRate"), 11);
  EXPECT_EQ(settings.Int("Channels"), 2);
  EXPECT_EQ(host.operation, Operation::WAV2MP3);
  EXPECT_TRUE(pipeline.AutoStart());
  ASSERT_EQ(host.files.size(), 1u);
  EXPECT_EQ(host.files[0].text, PathIn("x.wav"));
  EXPECT_EQ(parsed.missing, std::vector<std::string>{PathIn("none.wav")});
  pipeline.FormShow();
  EXPECT_FALSE(pipeline.AutoStart());
  RunUntilIdle();
  ASSERT_EQ(factory.encoderJobs.size(), 1u);
  EXPECT_TRUE(factory.encoderJobs[0].jointStereo);
  EXPECT_EQ(factory.encoderJobs[0].bitRate, 128);
  EXPECT_EQ(host.files[0].text, "OK:\t" + PathIn("x.wav"));
}

// Catches the VBR and single-table rate switches, "-delete" and relative file names.
TEST_F(PipelineTest, CommandLineVbrDeleteAndRelativeNames) {
  WriteFile(PathIn("y.wav"));
  std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  pipeline.ApplyCommandLine({"-vbr5", "-144", "-mono", "-delete", "y.wav", "-vbr11"});
  std::filesystem::current_path(old);
  EXPECT_EQ(settings.Int("MPEG1BitRate"), 18);
  EXPECT_EQ(settings.Int("MPEG2BitRate"), 12);
  EXPECT_EQ(settings.Int("Channels"), 0);
  EXPECT_EQ(settings.Int("WAV2MP3DelWAVOnSuccess"), 0) << "-delete must not reach the stored settings";
  ASSERT_EQ(host.files.size(), 1u);
  EXPECT_EQ(host.files[0].text, PathIn("y.wav"));
  pipeline.FormShow();
  RunUntilIdle();
  EXPECT_FALSE(Exists(PathIn("y.wav")));
}

namespace {

// One delete rule: the operation, the setting switched on, whether the job fails, and the
// file (by name in the temp folder) that must be gone afterwards while the other stays.
struct DeleteCase {
  Operation op;
  const char* setting;
  bool fail;
  const char* deleted;
  const char* kept;
};

}  // namespace

// Catches a delete rule that deletes the wrong file, on the wrong outcome, or not at all.
TEST_F(PipelineTest, DeleteRulesOfEachOperation) {
  const DeleteCase cases[] = {
      {Operation::CD2MP3, "CD2MP3DelTempOnSuccess", false, "Track01.tmp", "Track01.mp3"},
      {Operation::CD2MP3, "CD2MP3DelTempOnError", true, "Track01.tmp", "Track01.mp3"},
      {Operation::CD2MP3, "CD2MP3DelMP3OnError", true, "Track01.mp3", "Track01.tmp"},
      {Operation::CD2WAV, "CD2WAVDelWAVOnError", true, "Track01.wav", ""},
      {Operation::WAV2MP3, "WAV2MP3DelWAVOnSuccess", false, "a.wav", "a.mp3"},
      {Operation::WAV2MP3, "WAV2MP3DelMP3OnError", true, "a.mp3", "a.wav"},
      {Operation::MP32WAV, "MP32WAVDelMP3OnSuccess", false, "a.mp3", "a.wav"},
      {Operation::MP32WAV, "MP32WAVDelWAVOnError", true, "a.wav", "a.mp3"},
  };
  for (const DeleteCase& c : cases) {
    SCOPED_TRACE(c.setting);
    SettingsTable s;
    s.SetText("OutputPath", dir);
    for (const char* key : {"CD2MP3DelTempOnSuccess", "CD2MP3DelTempOnError", "CD2MP3DelMP3OnError",
                            "CD2WAVDelWAVOnError", "WAV2MP3DelWAVOnSuccess", "WAV2MP3DelMP3OnError",
                            "MP32WAVDelMP3OnSuccess", "MP32WAVDelWAVOnError"})
      s.SetInt(key, std::string(key) == c.setting ? 1 : 0);
    RecordingHost h;
    h.operation = c.op;
    ScriptedFactory f(loop, h);
    const std::string input = c.op == Operation::MP32WAV ? PathIn("a.mp3") : PathIn("a.wav");
    if (c.op == Operation::WAV2MP3 || c.op == Operation::MP32WAV) {
      WriteFile(input);
      h.files.push_back({"+\t" + input, false, {}});
    } else {
      h.AddTracks(1);
    }
    const bool cdRead = c.op == Operation::CD2MP3 || c.op == Operation::CD2WAV;
    f.reader = [&](const ReaderJob& job) {
      WorkerScript w;
      w.writeFile = job.outputPath;
      w.error = c.fail && c.op == Operation::CD2WAV;
      return w;
    };
    f.encoder = [&](const EncoderJob& job) {
      WorkerScript w;
      w.writeFile = ChangeFileExt(job.inputPath, ".mp3");
      w.error = c.fail;
      return w;
    };
    f.decoder = [&](const DecoderJob& job) {
      WorkerScript w;
      w.writeFile = ChangeFileExt(job.inputPath, ".wav");
      w.error = c.fail;
      return w;
    };
    JobPipeline p(loop, h, f, s, [](const std::string&, const char*) { return true; });
    p.StartButtonClick();
    ASSERT_TRUE(PumpUntil([&] { return !p.Busy() && !p.HasLiveWorkers(); }));
    EXPECT_FALSE(Exists(PathIn(c.deleted)));
    if (*c.kept) {
      EXPECT_TRUE(Exists(PathIn(c.kept)));
    }
    (void)cdRead;
    for (const char* name : {"a.wav", "a.mp3", "Track01.tmp", "Track01.mp3", "Track01.wav"})
      std::filesystem::remove(PathIn(name));
  }
}

// Catches a failed delete being passed over in silence (a missing file stays silent).
TEST_F(PipelineTest, FailedDeleteIsReportedMissingFileIsNot) {
  settings.SetInt("WAV2MP3DelMP3OnError", 1);
  host.operation = Operation::WAV2MP3;
  AddFiles({"a.wav", "b.wav"});
  std::filesystem::create_directory(PathIn("a.mp3"));  // unlink of a folder fails
  factory.encoder = [](const EncoderJob&) {
    WorkerScript s;
    s.error = true;
    return s;
  };
  pipeline.StartButtonClick();
  RunUntilIdle();
  int warnings = 0;
  for (const auto& line : host.encoderLog)
    if (line.rfind("    Warning: Cannot delete ", 0) == 0) {
      ++warnings;
      EXPECT_NE(line.find(PathIn("a.mp3")), std::string::npos);
    }
  EXPECT_EQ(warnings, 1);
}

// Catches Cancel in the middle of a file list that starts the next file or deletes an input.
TEST_F(PipelineTest, CancelInTheMiddleOfSeveralFiles) {
  settings.SetInt("WAV2MP3DelWAVOnSuccess", 1);
  settings.SetInt("BeepWhenDone", 1);
  host.operation = Operation::WAV2MP3;
  AddFiles({"a.wav", "b.wav", "c.wav"});
  factory.encoder = [](const EncoderJob& job) {
    WorkerScript s;
    s.blockUntilCancelled = job.inputPath.ends_with("b.wav");
    return s;
  };
  pipeline.StartButtonClick();
  ASSERT_TRUE(PumpUntil([&] { return factory.encoderJobs.size() == 2 && factory.lastWorker->running; }));
  EXPECT_TRUE(host.files[1].selected);
  EXPECT_FALSE(host.files[0].selected);
  pipeline.CancelButtonClick();
  RunUntilIdle();
  EXPECT_EQ(host.files[0].text, "OK:\t" + PathIn("a.wav"));
  EXPECT_EQ(host.files[1].text, "Cancelled\t" + PathIn("b.wav"));
  EXPECT_EQ(host.files[2].text, "+\t" + PathIn("c.wav"));
  EXPECT_EQ(factory.encoderJobs.size(), 2u);
  EXPECT_FALSE(Exists(PathIn("a.wav")));
  EXPECT_TRUE(Exists(PathIn("b.wav")));
  EXPECT_TRUE(Exists(PathIn("c.wav")));
  EXPECT_EQ(host.beeps, 0);
}

// Catches decoding that writes the wrong name, reports the wrong idle text, or stops early.
TEST_F(PipelineTest, Mp3ToWavDecodesEveryFileInOrder) {
  host.operation = Operation::MP32WAV;
  AddFiles({"a.mp3", "b.aac"});
  factory.decoder = [](const DecoderJob& job) {
    WorkerScript s;
    s.error = job.inputPath.ends_with(".aac");
    return s;
  };
  pipeline.StartButtonClick();
  EXPECT_EQ(host.hints["CancelButton"], "Cancel Decoding");
  RunUntilIdle();
  EXPECT_EQ(factory.calls, (std::vector<std::string>{"decode " + PathIn("a.mp3"), "decode " + PathIn("b.aac")}));
  EXPECT_EQ(host.files[0].text, "OK:\t" + PathIn("a.mp3"));
  EXPECT_EQ(host.files[1].text, "Error:\t" + PathIn("b.aac"));
  EXPECT_EQ(host.status[MakerPanel::Encoder], " MP3 Decoder: Idle");
  EXPECT_EQ(host.hints["StartButton"], "Start Decoding");
  EXPECT_EQ(host.encoderLog.front().rfind("    Done (", 0), 0u);
}

// Catches controls left enabled while busy, or Start/Cancel not swapping.
TEST_F(PipelineTest, BusyAndIdleStatesSetTheNamedControls) {
  host.operation = Operation::WAV2MP3;
  AddFiles({"a.wav"});
  factory.encoder = [](const EncoderJob&) {
    WorkerScript s;
    s.blockUntilCancelled = true;
    return s;
  };
  pipeline.StartButtonClick();
  for (const char* control : {"CD2MP3RadioButton", "CD2WAVRadioButton", "WAV2MP3RadioButton", "MP32WAVRadioButton",
                              "InputCDComboBox", "CDInfoButton", "OutputPathButton", "TracksList", "AddButton",
                              "AddDirButton", "RemoveButton", "ClearButton", "FileListBox", "MenuOptionsSettings"})
    EXPECT_FALSE(host.enabled[control]) << control;
  EXPECT_FALSE(host.visible["StartButton"]);
  EXPECT_TRUE(host.visible["CancelButton"]);
  EXPECT_EQ(host.hints["CancelButton"], "Cancel Encoding");
  pipeline.MenuOptionsPrioritySelectionClick(ThreadPriority::Lowest);
  EXPECT_TRUE(host.checked["MenuOptionsPriorityLowest"]);
  EXPECT_FALSE(host.checked["MenuOptionsPriorityNormal"]);
  EXPECT_EQ(pipeline.CheckedPriority(), ThreadPriority::Lowest);
  pipeline.CancelButtonClick();
  RunUntilIdle();
  EXPECT_TRUE(host.enabled["AddButton"]);
  EXPECT_TRUE(host.enabled["StartButton"]);
  // The row selected by the run stays selected, so Remove is enabled.
  EXPECT_TRUE(host.enabled["RemoveButton"]);
  EXPECT_EQ(host.hints["StartButton"], "Start Encoding");
  EXPECT_EQ(host.status[MakerPanel::Reader], " CD Reader: Idle");
  EXPECT_EQ(host.status[MakerPanel::Encoder], " MP3 Encoder: Idle");
}

// Catches a declined overwrite counted as a conversion: the input must not be deleted
// when the old output was kept.
TEST_F(PipelineTest, DeclinedOverwriteKeepsTheInput) {
  settings.SetInt("WAV2MP3DelWAVOnSuccess", 1);
  host.operation = Operation::WAV2MP3;
  AddFiles({"a.wav", "b.wav"});
  OverwriteAnswers answers(host);
  ScriptedFactory f(loop, answers);
  f.encoder = [](const EncoderJob& job) {
    WorkerScript s;
    if (job.inputPath.ends_with("a.wav")) s.question = "Overwrite existing file a.mp3 ?";
    return s;
  };
  JobPipeline p(loop, host, f, settings, [](const std::string&, const char*) { return true; }, &answers);
  p.StartButtonClick();
  ASSERT_TRUE(PumpUntil([&] { return !p.Busy() && !p.HasLiveWorkers(); }));
  EXPECT_EQ(host.questions.size(), 1u);
  EXPECT_TRUE(Exists(PathIn("a.wav")));
  EXPECT_FALSE(Exists(PathIn("b.wav")));
  EXPECT_EQ(p.SkippedJobs(), 1);
}

// Catches the delete-on-error rule removing the input of a decode whose output would be
// the input itself ("x.wav" decoded to "x.wav" is refused by the decoder as an error).
TEST_F(PipelineTest, FailedDecodeOfAWavNeverDeletesTheInputAsItsOutput) {
  settings.SetInt("MP32WAVDelWAVOnError", 1);
  host.operation = Operation::MP32WAV;
  AddFiles({"x.wav"});
  factory.decoder = [](const DecoderJob&) {
    WorkerScript s;
    s.error = true;
    return s;
  };
  pipeline.StartButtonClick();
  RunUntilIdle();
  EXPECT_EQ(host.files[0].text, "Error:\t" + PathIn("x.wav"));
  EXPECT_TRUE(Exists(PathIn("x.wav")));
}

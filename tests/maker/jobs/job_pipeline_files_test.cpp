// The job pipeline with scripted workers: the file operations, the command line, delete
// rules and the window states.
#include "maker/jobs/job_pipeline.h"

#include "common/paths.h"
#include "pipeline_fixture.h"
#include "tests/common/special_files.h"

// Catches an encode of a listed WAV that writes into the output folder instead of beside
// the input (the delete-on-error rule must hit the MP3 beside the input).
TEST_F(PipelineTest, WavToMp3WritesBesideTheInput) {
  settings.outputPath = "/nonexistent/elsewhere";
  settings.wav2mp3DelMp3OnError = 1;
  host.operation = Operation::WAV2MP3;
  AddFiles({"b.wav", "b.mp3"});
  host.files.pop_back();
  // The encoder starts writing b.mp3 and fails.
  factory.encoder = [](const EncoderJob& job) {
    return WorkerScript{.error = true, .writeFile = ChangeFileExt(job.inputPath, ".mp3")};
  };
  StartAndFinish();
  EXPECT_EQ(factory.calls, std::vector<std::string>{"encode " + PathIn("b.wav")});
  EXPECT_FALSE(Exists(PathIn("b.mp3")));
  EXPECT_EQ(host.files[0].text, "Error:\t" + PathIn("b.wav"));
  EXPECT_TRUE(Exists(PathIn("b.wav")));
}

// Catches command-line switches applied to the wrong settings, "-delete" reaching the
// stored settings or not deleting the encoded WAV, a relative name listed as is, a file
// list that does not start by itself, or an ID3 tag after a file encode (it would fail here).
TEST_F(PipelineTest, CommandLineSetsRatesChannelsAndStartsEncoding) {
  host.cdInfo.applyId3 = true;
  AddFiles({"x.wav"});
  host.files.clear();
  const std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  const CommandLineFiles parsed = pipeline.ApplyCommandLine({"-128", "-JS", "-delete", "x.wav", PathIn("none.wav")});
  std::filesystem::current_path(old);
  EXPECT_EQ(std::tuple(settings.mpeg1BitRate, settings.mpeg2BitRate, settings.channels,
                       settings.wav2mp3DelWavOnSuccess),
            std::tuple(8, 11, 2, 0));
  EXPECT_EQ(host.operation, Operation::WAV2MP3);
  EXPECT_EQ(parsed.missing, std::vector<std::string>{PathIn("none.wav")});
  ASSERT_EQ(host.files.size(), 1u);
  EXPECT_EQ(host.files[0].text, PathIn("x.wav"));
  EXPECT_TRUE(pipeline.AutoStart());
  pipeline.FormShow();
  EXPECT_FALSE(pipeline.AutoStart());
  RunUntilIdle();
  ASSERT_EQ(factory.encoderJobs.size(), 1u);
  EXPECT_TRUE(factory.encoderJobs[0].mp3.jointStereo);
  EXPECT_EQ(factory.encoderJobs[0].mp3.bitRate, 128);
  EXPECT_EQ(host.files[0].text, "OK:\t" + PathIn("x.wav"));
  EXPECT_FALSE(Exists(PathIn("x.wav")));
}

// Catches a delete rule that deletes the wrong file, on the wrong outcome, or not at all.
// Each case: the operation, the one rule switched on, whether the job fails, the file that
// must be gone afterwards and the one that must stay.
TEST_F(PipelineTest, DeleteRulesOfEachOperation) {
  using V = MakerSettingValues;
  using Case = std::tuple<Operation, const char*, int V::*, bool, const char*, const char*>;
  for (auto [op, name, setting, fail, deleted, kept] : {
           Case{Operation::CD2MP3, "CD2MP3DelTempOnSuccess", &V::cd2mp3DelTempOnSuccess, false, "Track01.tmp", "Track01.mp3"},
           Case{Operation::CD2MP3, "CD2MP3DelTempOnError", &V::cd2mp3DelTempOnError, true, "Track01.tmp", "Track01.mp3"},
           Case{Operation::CD2MP3, "CD2MP3DelMP3OnError", &V::cd2mp3DelMp3OnError, true, "Track01.mp3",
                "Track01.unencoded.wav"},
           Case{Operation::CD2WAV, "CD2WAVDelWAVOnError", &V::cd2wavDelWavOnError, true, "Track01.wav", "Track01.wav"},
           Case{Operation::WAV2MP3, "WAV2MP3DelWAVOnSuccess", &V::wav2mp3DelWavOnSuccess, false, "a.wav", "a.mp3"},
           Case{Operation::WAV2MP3, "WAV2MP3DelMP3OnError", &V::wav2mp3DelMp3OnError, true, "a.mp3", "a.wav"},
           Case{Operation::MP32WAV, "MP32WAVDelMP3OnSuccess", &V::mp32wavDelMp3OnSuccess, false, "a.mp3", "a.wav"},
           Case{Operation::MP32WAV, "MP32WAVDelWAVOnError", &V::mp32wavDelWavOnError, true, "a.wav", "a.mp3"}}) {
    SCOPED_TRACE(name);
    SettingsTable s;
    s.outputPath = dir;
    s.cd2mp3DelTempOnSuccess = 0;  // the rules on by default
    s.cd2mp3DelTempOnError = 0;
    s.*setting = 1;
    Rig r(loop, s);
    r.h.operation = op;
    if (op == Operation::MP32WAV) AddFiles({"a.mp3"}, &r.h);
    else if (op == Operation::WAV2MP3) AddFiles({"a.wav"}, &r.h);
    else r.h.AddTracks(1);
    const bool readFails = fail && op == Operation::CD2WAV;
    r.f.reader = [&](auto& job) { return WorkerScript{.error = readFails, .writeFile = job.outputPath}; };
    const auto writes = [&](const char* ext) {
      return [&, ext](auto& job) {
        return WorkerScript{.error = fail, .writeFile = ChangeFileExt(job.inputPath, ext)};
      };
    };
    r.f.encoder = writes(".mp3");
    r.f.decoder = writes(".wav");
    StartAndFinish(&r.p);
    EXPECT_FALSE(Exists(PathIn(deleted)));
    if (kept != deleted) {
      EXPECT_TRUE(Exists(PathIn(kept)));
    }
    for (const char* name : {"a.wav", "a.mp3", "Track01.tmp", "Track01.mp3", "Track01.wav", "Track01.unencoded.wav"})
      std::filesystem::remove(PathIn(name));
  }
}

// Catches a failed delete being passed over in silence (a missing file stays silent).
TEST_F(PipelineTest, FailedDeleteIsReportedMissingFileIsNot) {
  settings.wav2mp3DelMp3OnError = 1;
  host.operation = Operation::WAV2MP3;
  AddFiles({"a.wav", "b.wav"});
  // The first job leaves a folder where its output goes: unlink of a folder fails.
  factory.encoder = [this](const EncoderJob& job) {
    return WorkerScript{.error = true, .makeDir = job.inputPath.ends_with("a.wav") ? PathIn("a.mp3") : ""};
  };
  StartAndFinish();
  std::vector<std::string> warnings;
  for (const auto& line : host.encoderLog)
    if (line.starts_with("    Warning: Cannot delete ")) warnings.push_back(line);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find(PathIn("a.mp3")), std::string::npos);
}

// Catches Cancel in the middle of a file list that starts the next file or deletes an input.
TEST_F(PipelineTest, CancelInTheMiddleOfSeveralFiles) {
  settings.wav2mp3DelWavOnSuccess = 1;
  settings.beepWhenDone = 1;
  host.operation = Operation::WAV2MP3;
  AddFiles({"a.wav", "b.wav", "c.wav"});
  factory.encoder = [](const EncoderJob& job) {
    return WorkerScript{.blockUntilCancelled = job.inputPath.ends_with("b.wav")};
  };
  pipeline.StartButtonClick();
  WaitRunning(factory.encoderJobs, 2);
  EXPECT_TRUE(host.files[1].selected);
  EXPECT_FALSE(host.files[0].selected);
  pipeline.CancelButtonClick();
  RunUntilIdle();
  EXPECT_EQ(host.Statuses(JobList::Files), "OK: Cancelled +");
  EXPECT_EQ(factory.encoderJobs.size(), 2u);
  EXPECT_FALSE(Exists(PathIn("a.wav")));
  EXPECT_TRUE(Exists(PathIn("b.wav")) && Exists(PathIn("c.wav")));
  EXPECT_EQ(host.beeps, 0);
}

// Catches controls left enabled while busy, Start/Cancel not swapping, or a priority
// chosen during the run that does not reach the running encoder.
TEST_F(PipelineTest, BusyAndIdleStatesSetTheNamedControls) {
  host.operation = Operation::WAV2MP3;
  AddFiles({"a.wav"});
  std::atomic<int> nice{-100};
  factory.encoder = Always<EncoderJob>({.blockUntilCancelled = true, .niceAtEnd = &nice});
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
  pipeline.CancelButtonClick();
  RunUntilIdle();
  EXPECT_EQ(nice, 15) << "the running encoder did not get the chosen priority";
  EXPECT_TRUE(host.visible["StartButton"]);
  EXPECT_FALSE(host.visible["CancelButton"]);
  EXPECT_TRUE(host.enabled["AddButton"]);
  // The run's selection of the row it works on goes: nothing was selected before it, so
  // Remove is disabled again.
  EXPECT_FALSE(host.files[0].selected);
  EXPECT_FALSE(host.enabled["RemoveButton"]);
  EXPECT_EQ(host.hints["StartButton"], "Start Encoding");
  EXPECT_EQ(host.status[MakerPanel::Reader], " CD Reader: Idle");
  EXPECT_EQ(host.status[MakerPanel::Encoder], " MP3 Encoder: Idle");
}

// Catches an encoder panel that says "MP3 Encoder" whatever format is chosen: the idle
// text names the chosen format after a file run and while a CD run waits for its reads;
// decoding keeps the operation's name while idle.
TEST_F(PipelineTest, EncoderIdleTextNamesTheChosenFormat) {
  const std::pair<int, const char*> formats[] = {{kModeFlac, " FLAC Encoder: Idle"},
                                                 {kModeVorbis, " Ogg Vorbis Encoder: Idle"},
                                                 {kModeOpus, " Opus Encoder: Idle"},
                                                 {kModeM4a, " M4A Encoder: Idle"},
                                                 {kModeAac, " AAC Encoder: Idle"},
                                                 {kModeExternal, " MP3 Encoder: Idle"}};
  host.operation = Operation::WAV2MP3;
  AddFiles({"a.wav"});
  for (const auto& [mode, idle] : formats) {
    settings.mpegMode = mode;
    StartAndFinish();
    EXPECT_EQ(host.status[MakerPanel::Encoder], idle);
  }
  settings.mpegMode = kModeFlac;
  host.operation = Operation::CD2MP3;
  host.AddTracks(1);
  host.statusHistory.clear();
  StartAndFinish();
  EXPECT_NE(std::find(host.statusHistory.begin(), host.statusHistory.end(), " FLAC Encoder: Idle"),
            host.statusHistory.end());
  EXPECT_EQ(std::find(host.statusHistory.begin(), host.statusHistory.end(), " MP3 Encoder: Idle"),
            host.statusHistory.end());
  host.operation = Operation::MP32WAV;
  StartAndFinish();
  EXPECT_EQ(host.status[MakerPanel::Encoder], " MP3 Decoder: Idle");
}

// Catches a declined overwrite counted as a conversion: the input must not be deleted
// when the old output was kept, and its row must say "Kept:", not "OK:".
TEST_F(PipelineTest, DeclinedOverwriteKeepsTheInput) {
  settings.wav2mp3DelWavOnSuccess = 1;
  host.operation = Operation::WAV2MP3;
  AddFiles({"a.wav", "b.wav"});
  ScriptedFactory f(loop, host);
  f.encoder = [](const EncoderJob& job) {
    return WorkerScript{.question = job.inputPath.ends_with("a.wav") ? "Overwrite existing file a.mp3 ?" : ""};
  };
  JobPipeline p(loop, host, f, settings, AllLibraries);
  StartAndFinish(&p);
  EXPECT_EQ(host.questions.size(), 1u);
  EXPECT_TRUE(Exists(PathIn("a.wav")));
  EXPECT_FALSE(Exists(PathIn("b.wav")));
  EXPECT_EQ(p.SkippedJobs(), 1);
  EXPECT_EQ(host.Statuses(JobList::Files), "Kept: OK:");
}

// Catches the delete-on-error rule removing the input of a decode whose output would be
// the input itself ("x.wav" decoded to "x.wav" is refused by the decoder as an error),
// decoding that stops after a failed file, wrong decoding texts, and the priority menu
// applied to the decoder.
TEST_F(PipelineTest, FailedDecodeOfAWavNeverDeletesTheInputAsItsOutput) {
  settings.mp32wavDelWavOnError = 1;
  host.operation = Operation::MP32WAV;
  AddFiles({"x.wav", "b.mp3"});
  pipeline.MenuOptionsPrioritySelectionClick(ThreadPriority::Idle);
  std::atomic<int> nice{-100};
  factory.decoder = [&](const DecoderJob& job) {
    return WorkerScript{.error = job.inputPath.ends_with(".wav"), .niceAtEnd = &nice};
  };
  pipeline.StartButtonClick();
  EXPECT_EQ(host.hints["CancelButton"], "Cancel Decoding");
  RunUntilIdle();
  EXPECT_EQ(host.Statuses(JobList::Files), "Error: OK:");
  EXPECT_TRUE(Exists(PathIn("x.wav")));
  EXPECT_EQ(host.status[MakerPanel::Encoder], " MP3 Decoder: Idle");
  EXPECT_EQ(host.hints["StartButton"], "Start Decoding");
  EXPECT_EQ(nice, getpriority(PRIO_PROCESS, 0)) << "the decoding thread must keep the default priority";
}

// Catches a "No" of the CD reader charged to the encode that ends next (in CD to MP3 the
// next track is read while one is encoded: that encode wrote its MP3 and must count, get
// its tag and lose its temp file), an ID3 tag appended to an MP3 that was kept instead of
// written, and a CD to WAV read that kept the old WAV counted as converted.
TEST_F(PipelineTest, DeclinedOverwritesOfCdRunsCountForTheJobThatAsked) {
  for (Operation op : {Operation::CD2MP3, Operation::CD2WAV}) {
    SCOPED_TRACE(op == Operation::CD2MP3 ? "CD2MP3" : "CD2WAV");
    RecordingHost h;
    h.operation = op;
    h.AddTracks(2);
    h.cdInfo.applyId3 = true;
    const char* kept = op == Operation::CD2MP3 ? "Track01.tmp" : "Track01.wav";
    std::ofstream(PathIn(kept), std::ios::binary) << std::string(1000, 't');
    std::ofstream(PathIn("Track02.mp3"), std::ios::binary) << "old";
    ScriptedFactory f(loop, h);
    f.reader = [&](const ReaderJob& job) {
      if (job.track == 1) return WorkerScript{.writeFile = job.outputPath, .question = "Overwrite track 1?"};
      return WorkerScript{.writeFile = job.outputPath};
    };
    f.encoder = [](const EncoderJob& job) {
      const bool second = job.inputPath.ends_with("Track02.tmp");
      return WorkerScript{.writeFile = ChangeFileExt(job.inputPath, ".mp3"), .question = second ? "Overwrite mp3?" : ""};
    };
    JobPipeline p(loop, h, f, settings, AllLibraries);
    StartAndFinish(&p);
    EXPECT_EQ(h.Statuses(JobList::Tracks), op == Operation::CD2MP3 ? "OK Kept" : "Kept OK");
    EXPECT_EQ(p.SkippedJobs(), 1);
    if (op == Operation::CD2MP3) {
      EXPECT_EQ(h.questions.size(), 2u);
      // The encoder's 1000 bytes, the ID3v2 tag before them and the ID3v1 record after.
      EXPECT_GT(std::filesystem::file_size(PathIn("Track01.mp3")), 1000u + 128u);
      EXPECT_FALSE(Exists(PathIn("Track01.tmp")));
      EXPECT_EQ(std::filesystem::file_size(PathIn("Track02.mp3")), 3u) << "tag appended to the kept MP3";
      EXPECT_TRUE(Exists(PathIn("Track02.tmp")));
      EXPECT_EQ(LogCount(h.encoderLog, "    ID3 tag added."), 1u);
    } else {
      EXPECT_EQ(h.questions.size(), 1u);
      EXPECT_EQ(std::filesystem::file_size(PathIn("Track01.wav")), 1000u);
    }
    for (const char* name : {"Track01.tmp", "Track01.mp3", "Track01.wav", "Track02.tmp", "Track02.mp3", "Track02.wav"})
      std::filesystem::remove(PathIn(name));
  }
}

// Catches the delete-on-error rule removing a file the failed job never wrote: the same
// file listed twice with delete-input-on-success loses its input after the first row, the
// second row fails at once, and its "output" is the result of the first row; a failed CD
// read likewise.
TEST_F(PipelineTest, FailedJobNeverDeletesAnOutputItDidNotWrite) {
  using V = MakerSettingValues;
  using Case = std::tuple<Operation, const char*, const char*, int V::*, int V::*>;
  for (auto [op, input, output, onSuccess, onError] :
       {Case{Operation::WAV2MP3, "a.wav", "a.mp3", &V::wav2mp3DelWavOnSuccess, &V::wav2mp3DelMp3OnError},
        Case{Operation::MP32WAV, "a.mp3", "a.wav", &V::mp32wavDelMp3OnSuccess, &V::mp32wavDelWavOnError}}) {
    SCOPED_TRACE(input);
    settings.*onSuccess = 1;
    settings.*onError = 1;
    Rig r(loop, settings);
    r.h.operation = op;
    AddFiles({input, input}, &r.h);
    const auto script = [&, output](const auto& job) {
      if (!Exists(job.inputPath)) return WorkerScript{.error = true};
      return WorkerScript{.writeFile = PathIn(output)};
    };
    r.f.encoder = script;
    r.f.decoder = script;
    StartAndFinish(&r.p);
    EXPECT_EQ(r.h.Statuses(JobList::Files), "OK: Error:");
    EXPECT_TRUE(Exists(PathIn(output))) << "the first row's result was deleted";
    EXPECT_FALSE(Exists(PathIn(input)));
    std::filesystem::remove(PathIn(output));
  }
  // A CD read that fails before it writes leaves the WAV of an earlier rip.
  settings.cd2wavDelWavOnError = 1;
  host.operation = Operation::CD2WAV;
  host.AddTracks(1);
  std::ofstream(PathIn("Track01.wav")) << "earlier rip";
  factory.reader = Always<ReaderJob>({.error = true});
  StartAndFinish();
  EXPECT_EQ(host.Statuses(JobList::Tracks), "Error");
  EXPECT_TRUE(Exists(PathIn("Track01.wav")));
}

// Catches a delete rule that removes a FIFO or a device node standing where a job's file
// is (an input deleted after a successful encode). A private node with the numbers of
// /dev/full stands in for the device.
TEST_F(PipelineTest, DeleteRulesNeverRemoveAFifoOrADevice) {
  settings.wav2mp3DelWavOnSuccess = 1;
  host.operation = Operation::WAV2MP3;
  ASSERT_EQ(::mkfifo(PathIn("a.wav").c_str(), 0600), 0);
  host.files.push_back({"+\t" + PathIn("a.wav")});
  std::string why;
  const bool device = MakeFullDeviceNode(PathIn("b.wav"), why);
  if (device) host.files.push_back({"+\t" + PathIn("b.wav")});
  StartAndFinish();
  EXPECT_TRUE(IsFifo(PathIn("a.wav")));
  EXPECT_EQ(LogCount(host.encoderLog, "    Warning: Cannot delete " + PathIn("a.wav") + ": not a regular file"), 1u);
  if (!device) GTEST_SKIP() << "device node part skipped: " << why;
  EXPECT_TRUE(IsFullDeviceNode(PathIn("b.wav")));
}

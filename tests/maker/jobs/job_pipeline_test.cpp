// The job pipeline with scripted workers: chaining, status words, cancel, delete rules.
#include "maker/jobs/job_pipeline.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <fstream>

#include "common/paths.h"
#include "pipeline_fixture.h"

namespace {

std::vector<std::string> Statuses(const RecordingHost::Row& row) {
  std::vector<std::string> out;
  for (const auto& text : row.history) out.push_back(text.substr(0, text.find('\t')));
  return out;
}

}  // namespace

// Catches a Start that runs (or goes busy) with no track selected.
TEST_F(PipelineTest, StartWithNoSelectedTrackDoesNothing) {
  host.AddTracks(3);
  for (auto& row : host.tracks) row.selected = false;
  pipeline.StartButtonClick();
  EXPECT_FALSE(pipeline.Busy());
  EXPECT_TRUE(factory.calls.empty());
  EXPECT_TRUE(host.visible.empty() || host.visible["StartButton"]);
}

// Catches a missing reader or decoder library not being reported, or a run starting anyway.
TEST_F(PipelineTest, MissingLibraryShowsErrorBoxAndStartsNothing) {
  for (const char* missing : {"zbntread", "zbdecode"}) {
    RecordingHost h;
    h.AddTracks(1);
    ScriptedFactory f(loop, h);
    JobPipeline p(loop, h, f, settings, [missing](const std::string& lib, const char*) { return lib != missing; });
    p.StartButtonClick();
    ASSERT_EQ(h.errors.size(), 1u) << missing;
    EXPECT_EQ(h.errors[0], "zbmaker (Zimbar MP3 Maker) Error|ERROR: Cannot load ZIMBAR library");
    EXPECT_FALSE(p.Busy());
    EXPECT_TRUE(f.calls.empty());
  }
}

// Catches a broken chain: rows must go "+" -> "Read" -> "OK", the encoder must work on
// track 1 while track 2 is read, and the run must signal Done exactly once.
TEST_F(PipelineTest, ThreeTracksToMp3ReadOverlapsEncodeAndAllEndOk) {
  settings.SetInt("BeepWhenDone", 1);
  settings.SetInt("BringToFrontWhenDone", 1);
  host.AddTracks(3);
  ReadersWriteOutput();
  std::atomic<bool> gate{false};
  factory.encoder = [&](const EncoderJob& job) {
    WorkerScript s;
    s.writeFile = ChangeFileExt(job.inputPath, ".mp3");
    if (job.inputPath.ends_with("Track01.tmp")) s.gate = &gate;
    return s;
  };
  pipeline.StartButtonClick();
  ASSERT_TRUE(pipeline.Busy());
  // Track 2 is read to the end while the encoder still holds track 1.
  ASSERT_TRUE(PumpUntil([&] { return host.Status(JobList::Tracks, 1) == "Read"; }));
  EXPECT_EQ(host.Status(JobList::Tracks, 0), "Read");
  EXPECT_EQ(factory.encoderJobs.size(), 1u);
  gate = true;
  RunUntilIdle();

  const std::vector<std::string> expected = {"read 1", "encode " + PathIn("Track01.tmp"), "read 2", "read 3",
                                             "encode " + PathIn("Track02.tmp"), "encode " + PathIn("Track03.tmp")};
  EXPECT_EQ(factory.calls, expected);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Statuses(host.tracks[i]), (std::vector<std::string>{"+", "Read", "OK"})) << i;
    EXPECT_FALSE(host.tracks[i].selected);
    EXPECT_TRUE(Exists(PathIn("Track0" + std::to_string(i + 1) + ".mp3")));
    EXPECT_FALSE(Exists(PathIn("Track0" + std::to_string(i + 1) + ".tmp"))) << "temp kept on success";
  }
  EXPECT_EQ(host.frontCalls, 1);
  EXPECT_EQ(host.beeps, 3);
  EXPECT_EQ(host.readerLog.back().rfind("    Done (", 0), 0u);
}

// Catches a read error that stops the run, marks the wrong row or keeps the temp file.
TEST_F(PipelineTest, ReadErrorOnTrackTwoMarksItAndGoesOn) {
  settings.SetInt("CD2MP3DelTempOnError", 1);
  host.AddTracks(3);
  factory.reader = [](const ReaderJob& job) {
    WorkerScript s;
    s.writeFile = job.outputPath;
    s.error = job.track == 2;
    s.logLines = {"Reading: Track 0" + std::to_string(job.track)};
    if (s.error) s.logLines.push_back("    Error: CD-ROM read error. (At 12.00%)");
    return s;
  };
  pipeline.StartButtonClick();
  RunUntilIdle();
  EXPECT_EQ(host.Status(JobList::Tracks, 0), "OK");
  EXPECT_EQ(host.Status(JobList::Tracks, 1), "Error");
  EXPECT_EQ(host.Status(JobList::Tracks, 2), "OK");
  EXPECT_FALSE(Exists(PathIn("Track02.tmp")));
  ASSERT_EQ(factory.encoderJobs.size(), 2u);
  EXPECT_EQ(factory.encoderJobs[1].inputPath, PathIn("Track03.tmp"));
  // No "Done" line follows the reader's own error line.
  const auto& log = host.readerLog;
  auto at = std::find(log.begin(), log.end(), "    Error: CD-ROM read error. (At 12.00%)");
  ASSERT_NE(at, log.end());
  ASSERT_NE(at + 1, log.end());
  EXPECT_EQ(*(at + 1), "Reading: Track 03");
}

// Catches Cancel in CD to WAV that reads on, beeps, or leaves the row without "Cancelled".
TEST_F(PipelineTest, CancelWhileReadingToWavStopsTheRun) {
  settings.SetInt("BeepWhenDone", 1);
  host.operation = Operation::CD2WAV;
  host.AddTracks(3);
  factory.reader = [](const ReaderJob& job) {
    WorkerScript s;
    s.writeFile = job.outputPath;
    s.blockUntilCancelled = true;
    return s;
  };
  pipeline.StartButtonClick();
  ASSERT_TRUE(PumpUntil([&] { return factory.lastWorker && factory.lastWorker->running; }));
  pipeline.CancelButtonClick();
  RunUntilIdle();
  EXPECT_EQ(host.readerLog.back(), "    Cancelled.");
  EXPECT_EQ(host.Status(JobList::Tracks, 0), "Cancelled");
  EXPECT_EQ(host.Status(JobList::Tracks, 1), "+");
  EXPECT_EQ(factory.readerJobs.size(), 1u);
  EXPECT_EQ(host.beeps, 0);
  EXPECT_TRUE(Exists(PathIn("Track01.wav"))) << "deleted without CD2WAVDelWAVOnError";
  EXPECT_TRUE(host.visible["StartButton"]);
  EXPECT_FALSE(host.visible["CancelButton"]);
}

// Catches Cancel in CD to MP3 that lets a third track start, beeps, or deletes the input.
TEST_F(PipelineTest, CancelWhileEncodingAndReadingToMp3) {
  settings.SetInt("BeepWhenDone", 1);
  settings.SetInt("CD2MP3DelTempOnSuccess", 1);
  host.AddTracks(3);
  factory.reader = [](const ReaderJob& job) {
    WorkerScript s;
    s.writeFile = job.outputPath;
    s.blockUntilCancelled = job.track == 2;
    return s;
  };
  factory.encoder = [](const EncoderJob&) {
    WorkerScript s;
    s.blockUntilCancelled = true;
    return s;
  };
  pipeline.StartButtonClick();
  ASSERT_TRUE(PumpUntil([&] { return factory.readerJobs.size() == 2 && factory.lastWorker->running; }));
  pipeline.CancelButtonClick();
  RunUntilIdle();
  EXPECT_EQ(host.Status(JobList::Tracks, 0), "Cancelled");
  EXPECT_NE(host.Status(JobList::Tracks, 2), "Read");
  EXPECT_EQ(factory.readerJobs.size(), 2u);
  EXPECT_EQ(factory.encoderJobs.size(), 1u);
  EXPECT_EQ(host.beeps, 0);
  EXPECT_TRUE(Exists(PathIn("Track01.tmp")));
  EXPECT_EQ(host.encoderLog.back(), "    Cancelled.");
}

// Catches warnings of the reader being lost on the way to the final status word.
TEST_F(PipelineTest, TrackReadWithWarningsEndsOkW) {
  for (Operation op : {Operation::CD2MP3, Operation::CD2WAV}) {
    RecordingHost h;
    h.operation = op;
    h.AddTracks(2);
    ScriptedFactory f(loop, h);
    f.reader = [](const ReaderJob& job) {
      WorkerScript s;
      s.warning = job.track == 1;
      return s;
    };
    JobPipeline p(loop, h, f, settings, [](const std::string&, const char*) { return true; });
    p.StartButtonClick();
    ASSERT_TRUE(PumpUntil([&] { return !p.Busy() && !p.HasLiveWorkers(); }));
    EXPECT_EQ(h.Status(JobList::Tracks, 0), "OK/W");
    EXPECT_EQ(h.Status(JobList::Tracks, 1), "OK");
    if (op == Operation::CD2MP3) {
      EXPECT_EQ(Statuses(h.tracks[0])[1], "Read/W");
    }
  }
}

// Catches Start touching tracks the user did not select, or reading them.
TEST_F(PipelineTest, UnselectedRowsKeepPlus) {
  host.AddTracks(4);
  host.tracks[0].text = "OK\tTrack 01\t03:00\t";
  host.tracks[0].selected = false;
  host.tracks[2].selected = false;
  pipeline.StartButtonClick();
  RunUntilIdle();
  EXPECT_EQ(host.Status(JobList::Tracks, 0), "+");
  EXPECT_FALSE(host.tracks[0].selected);
  EXPECT_EQ(host.Status(JobList::Tracks, 1), "OK");
  EXPECT_EQ(host.Status(JobList::Tracks, 2), "+");
  EXPECT_EQ(host.Status(JobList::Tracks, 3), "OK");
  ASSERT_EQ(factory.readerJobs.size(), 2u);
  EXPECT_EQ(factory.readerJobs[0].track, 2);
  EXPECT_EQ(factory.readerJobs[1].track, 4);
}

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

// Catches wrong track file names: the Track%02i fallback, the character replacement and
// the trimming of the output folder.
TEST_F(PipelineTest, TrackOutputPathNamesAndCleansTracks) {
  settings.SetText("OutputPath", "/music/out/\r\n");
  host.AddTracks(7);
  host.tracks[2].text = "+\tTrack 03\t03:00\tAC/DC: Live?";
  EXPECT_EQ(pipeline.TrackOutputPath(7, ".tmp"), "/music/out/Track07.tmp");
  EXPECT_EQ(pipeline.TrackOutputPath(3, ".wav"), "/music/out/AC-DC- Live-.wav");
  host.cdInfo.useFileNameFormat = true;
  host.cdInfo.artist = "A";
  host.cdInfo.title = "B";
  EXPECT_EQ(pipeline.TrackOutputPath(3, ".wav"), "/music/out/(A) [B] [03] AC-DC- Live-.wav");
}

// Catches wrong reader and encoder job fields derived from the settings.
TEST_F(PipelineTest, JobFieldsFollowTheSettings) {
  settings.SetInt("MPEGMode", 2);
  settings.SetInt("Channels", 0);
  settings.SetInt("MPEG2BitRate", 11);
  settings.SetInt("ReadSector", 2);
  settings.SetInt("OverlapPercent", 3);
  settings.SetInt("JitterCorrection", 0);
  host.AddTracks(1);
  host.drive = 2;
  pipeline.StartButtonClick();
  RunUntilIdle();
  ASSERT_EQ(factory.readerJobs.size(), 1u);
  const ReaderJob& r = factory.readerJobs[0];
  EXPECT_EQ(r.sectorsPerRead, 16);
  EXPECT_EQ(r.overlapPercent, 40);
  EXPECT_FALSE(r.jitterCorrection);
  EXPECT_TRUE(r.rate22050);
  EXPECT_TRUE(r.mono);
  EXPECT_EQ(r.drive, 2);
  ASSERT_EQ(factory.encoderJobs.size(), 1u);
  const EncoderJob& e = factory.encoderJobs[0];
  EXPECT_EQ(e.bitRate, 128);
  EXPECT_TRUE(e.mpeg2);
  EXPECT_TRUE(e.mono);
  EXPECT_FALSE(e.jointStereo);
  // AAC never asks the reader for mono or half rate, and ignores the channel count.
  settings.SetInt("MPEGMode", 3);
  host.tracks[0].selected = true;
  pipeline.StartButtonClick();
  RunUntilIdle();
  EXPECT_FALSE(factory.readerJobs[1].mono);
  EXPECT_FALSE(factory.readerJobs[1].rate22050);
  EXPECT_EQ(factory.encoderJobs[1].bitRate, 128);
  EXPECT_FALSE(factory.encoderJobs[1].mono);
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

// Catches the ID3 step writing no tag, a tag in the wrong place or with the cleaned name,
// and a failed tag write that is not an error.
TEST_F(PipelineTest, Id3TagIsAppendedAfterCdEncode) {
  host.AddTracks(2);
  host.tracks[0].text = "+\tTrack 01\t03:00\tAC/DC";
  host.cdInfo.applyId3 = true;
  host.cdInfo.artist = "Artist";
  host.cdInfo.title = "Album";
  host.cdInfo.year = "1999";
  factory.reader = [](const ReaderJob& job) {
    WorkerScript s;
    s.writeFile = job.outputPath;
    return s;
  };
  factory.encoder = [](const EncoderJob& job) {
    WorkerScript s;
    if (job.inputPath.ends_with("AC-DC.tmp")) s.writeFile = ChangeFileExt(job.inputPath, ".mp3");
    return s;
  };
  pipeline.StartButtonClick();
  RunUntilIdle();
  std::ifstream in(PathIn("AC-DC.mp3"), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 1000u + 128u);
  EXPECT_EQ(bytes.substr(1000, 3), "TAG");
  EXPECT_EQ(bytes.substr(1003, 6), "AC/DC ");
  EXPECT_EQ(bytes.substr(1033, 7), "Artist ");
  EXPECT_EQ(bytes.substr(1063, 6), "Album ");
  EXPECT_EQ(bytes.substr(1093, 4), "1999");
  EXPECT_EQ(host.Status(JobList::Tracks, 0), "OK");
  // Track 2's encoder wrote nothing: the tag cannot be written, which fails the track.
  EXPECT_EQ(host.Status(JobList::Tracks, 1), "Error");
  EXPECT_EQ(std::count(host.encoderLog.begin(), host.encoderLog.end(), "    ID3 tag added."), 1);
  EXPECT_EQ(std::count(host.encoderLog.begin(), host.encoderLog.end(), "    Error: Cannot write ID3 tag."), 1);
}

// Catches a tag appended to AAC output or after a WAV-to-MP3 encode.
TEST_F(PipelineTest, NoId3TagForAacOrFileEncodes) {
  host.cdInfo.applyId3 = true;
  settings.SetInt("MPEGMode", 3);
  host.AddTracks(1);
  pipeline.StartButtonClick();
  RunUntilIdle();
  host.operation = Operation::WAV2MP3;
  settings.SetInt("MPEGMode", 1);
  AddFiles({"a.wav"});
  pipeline.StartButtonClick();
  RunUntilIdle();
  EXPECT_EQ(std::count(host.encoderLog.begin(), host.encoderLog.end(), "    Error: Cannot write ID3 tag."), 0);
  EXPECT_EQ(host.Status(JobList::Tracks, 0), "OK");
  EXPECT_EQ(host.files[0].text, "OK:\t" + PathIn("a.wav"));
}

// Catches a new Start that begins reading while the reader of a cancelled run is still
// stopping (the reader library serves one track at a time).
TEST_F(PipelineTest, StartAfterCancelWaitsForTheOldReader) {
  host.AddTracks(2);
  std::atomic<bool> readerGate{false};
  factory.reader = [&](const ReaderJob& job) {
    WorkerScript s;
    s.writeFile = job.outputPath;
    if (job.track == 2 && factory.readerJobs.size() == 2) s.gate = &readerGate;
    return s;
  };
  factory.encoder = [](const EncoderJob&) {
    WorkerScript s;
    s.blockUntilCancelled = true;
    return s;
  };
  pipeline.StartButtonClick();
  ASSERT_TRUE(PumpUntil([&] { return factory.readerJobs.size() == 2 && factory.lastWorker->running; }));
  pipeline.CancelButtonClick();
  // The encoder ends first and returns the window to idle; the reader is still stopping.
  ASSERT_TRUE(PumpUntil([&] { return !pipeline.Busy(); }));
  ASSERT_TRUE(pipeline.HasLiveWorkers());
  for (auto& row : host.tracks) row.selected = true;
  factory.encoder = nullptr;
  pipeline.StartButtonClick();
  EXPECT_TRUE(pipeline.Busy());
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  loop.RunPending();
  EXPECT_EQ(factory.readerJobs.size(), 2u) << "a read began beside the stopping reader";
  readerGate = true;
  RunUntilIdle();
  EXPECT_EQ(factory.readerJobs.size(), 4u);
  EXPECT_EQ(host.Status(JobList::Tracks, 0), "OK");
  EXPECT_EQ(host.Status(JobList::Tracks, 1), "OK");
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

// Catches a held-back read that still starts after the new run was cancelled too.
TEST_F(PipelineTest, CancelWhileTheHeldBackReadWaits) {
  host.AddTracks(2);
  std::atomic<bool> readerGate{false};
  factory.reader = [&](const ReaderJob& job) {
    WorkerScript s;
    if (job.track == 2 && factory.readerJobs.size() == 2) s.gate = &readerGate;
    return s;
  };
  factory.encoder = [](const EncoderJob&) {
    WorkerScript s;
    s.blockUntilCancelled = true;
    return s;
  };
  pipeline.StartButtonClick();
  ASSERT_TRUE(PumpUntil([&] { return factory.readerJobs.size() == 2 && factory.lastWorker->running; }));
  pipeline.CancelButtonClick();
  ASSERT_TRUE(PumpUntil([&] { return !pipeline.Busy(); }));
  for (auto& row : host.tracks) row.selected = true;
  pipeline.StartButtonClick();
  pipeline.CancelButtonClick();
  readerGate = true;
  RunUntilIdle();
  EXPECT_EQ(factory.readerJobs.size(), 2u);
  EXPECT_EQ(host.Status(JobList::Tracks, 0), "Cancelled");
  EXPECT_EQ(host.Status(JobList::Tracks, 1), "+");
  EXPECT_EQ(host.readerLog.back(), "    Cancelled.");
  EXPECT_TRUE(host.visible["StartButton"]);
}

// The job pipeline with scripted workers: CD runs, chaining, status words, cancel, tags.
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

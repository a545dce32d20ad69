// The job pipeline with scripted workers: CD runs, chaining, status words, cancel, tags.
#include "maker/jobs/job_pipeline.h"

#include <algorithm>

#include "common/paths.h"
#include "pipeline_fixture.h"

namespace {

std::vector<std::string> History(const RecordingHost::Row& row) {
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
}

// Catches a missing reader or decoder library not being reported, or a run starting anyway.
TEST_F(PipelineTest, MissingLibraryShowsErrorBoxAndStartsNothing) {
  for (const char* missing : {"zbntread", "zbdecode"}) {
    Rig r(loop, settings, [missing](const std::string& lib, const char*) { return lib != missing; });
    r.h.AddTracks(1);
    r.p.StartButtonClick();
    ASSERT_EQ(r.h.errors.size(), 1u) << missing;
    EXPECT_EQ(r.h.errors[0], "zbmaker (Zimbar MP3 Maker) Error|ERROR: Cannot load ZIMBAR library");
    EXPECT_FALSE(r.p.Busy());
    EXPECT_TRUE(r.f.calls.empty());
  }
}

// Catches the probe's reason (which file, where it was looked for) left out of the box.
TEST_F(PipelineTest, MissingLibraryErrorCarriesTheProbesReason) {
  Rig r(loop, settings, [](const std::string& lib, const char*) -> LibraryProbeResult {
    if (lib == "zbdecode") return {false, "libzbdecode.so not found in the program's folder (/opt/z/)"};
    return true;
  });
  r.h.AddTracks(1);
  r.p.StartButtonClick();
  ASSERT_EQ(r.h.errors.size(), 1u);
  EXPECT_EQ(r.h.errors[0], "zbmaker (Zimbar MP3 Maker) Error|ERROR: Cannot load ZIMBAR library: "
                           "libzbdecode.so not found in the program's folder (/opt/z/)");
  EXPECT_TRUE(r.f.calls.empty());
}

// Catches a broken chain: rows must go "+" -> "Read" -> "OK", the encoder must work on
// track 1 while track 2 is read, and the run must signal Done exactly once.
TEST_F(PipelineTest, ThreeTracksToMp3ReadOverlapsEncodeAndAllEndOk) {
  settings.beepWhenDone = 1;
  settings.bringToFrontWhenDone = 1;
  host.AddTracks(3);
  factory.reader = ReaderWrites;
  std::atomic<bool> gate{false};
  factory.encoder = [&](const EncoderJob& job) {
    return WorkerScript{.writeFile = ChangeFileExt(job.inputPath, ".mp3"),
                        .gate = job.inputPath.ends_with("Track01.tmp") ? &gate : nullptr};
  };
  pipeline.StartButtonClick();
  // Track 2 is read to the end while the encoder still holds track 1.
  ASSERT_TRUE(PumpUntil([&] { return host.Statuses(JobList::Tracks).starts_with("Read Read"); }));
  EXPECT_EQ(factory.encoderJobs.size(), 1u);
  gate = true;
  RunUntilIdle();
  const std::string encode = "encode " + dir + "/Track0";
  EXPECT_EQ(factory.calls, (std::vector<std::string>{"read 1", encode + "1.tmp", "read 2", "read 3", encode + "2.tmp",
                                                     encode + "3.tmp"}));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(History(host.tracks[i]), (std::vector<std::string>{"+", "Read", "OK"})) << i;
    EXPECT_TRUE(host.tracks[i].selected) << "the run's selection is given back at its end";
    EXPECT_TRUE(Exists(PathIn("Track0" + std::to_string(i + 1) + ".mp3")));
    EXPECT_FALSE(Exists(PathIn("Track0" + std::to_string(i + 1) + ".tmp"))) << "temp kept on success";
  }
  EXPECT_EQ(host.frontCalls, 1);
  EXPECT_EQ(host.beeps, 3);
  EXPECT_EQ(host.readerLog.back().rfind("    Done (", 0), 0u);
}

// Catches a read error that stops the run, marks the wrong row or keeps the temp file.
TEST_F(PipelineTest, ReadErrorOnTrackTwoMarksItAndGoesOn) {
  settings.cd2mp3DelTempOnError = 1;
  host.AddTracks(3);
  const std::string error = "    Error: CD-ROM read error. (At 12.00%)";
  factory.reader = [&](const ReaderJob& job) {
    WorkerScript s{.error = job.track == 2, .writeFile = job.outputPath};
    s.logLines = {"Reading: Track 0" + std::to_string(job.track)};
    if (s.error) s.logLines.push_back(error);
    return s;
  };
  StartAndFinish();
  EXPECT_EQ(host.Statuses(JobList::Tracks), "OK Error OK");
  EXPECT_FALSE(Exists(PathIn("Track02.tmp")));
  EXPECT_EQ(factory.encoderJobs.size(), 2u);
  // No "Done" line follows the reader's own error line.
  const auto& log = host.readerLog;
  const size_t at = std::find(log.begin(), log.end(), error) - log.begin();
  ASSERT_LT(at + 1, log.size());
  EXPECT_EQ(log[at + 1], "Reading: Track 03");
}

// Catches Cancel in CD to WAV that reads on, beeps, or leaves the row without "Cancelled".
TEST_F(PipelineTest, CancelWhileReadingToWavStopsTheRun) {
  settings.beepWhenDone = 1;
  host.operation = Operation::CD2WAV;
  host.AddTracks(3);
  factory.reader = [](auto& job) { return WorkerScript{.blockUntilCancelled = true, .writeFile = job.outputPath}; };
  pipeline.StartButtonClick();
  WaitRunning(factory.readerJobs, 1);
  pipeline.CancelButtonClick();
  RunUntilIdle();
  EXPECT_EQ(host.readerLog.back(), "    Cancelled.");
  EXPECT_EQ(host.Statuses(JobList::Tracks), "Cancelled + +");
  EXPECT_EQ(factory.readerJobs.size(), 1u);
  EXPECT_EQ(host.beeps, 0);
  EXPECT_TRUE(Exists(PathIn("Track01.wav"))) << "deleted without CD2WAVDelWAVOnError";
}

// Catches Cancel in CD to MP3 that lets a third track start, beeps, or deletes the input
// (with the delete rule off, the finished read of track 1 is kept under a name that says
// it was not encoded, not left as a ".tmp" file).
TEST_F(PipelineTest, CancelWhileEncodingAndReadingToMp3) {
  settings.beepWhenDone = 1;
  settings.cd2mp3DelTempOnError = 0;
  host.AddTracks(3);
  factory.reader = [](const ReaderJob& job) {
    return WorkerScript{.blockUntilCancelled = job.track == 2, .writeFile = job.outputPath};
  };
  factory.encoder = Always<EncoderJob>({.blockUntilCancelled = true});
  pipeline.StartButtonClick();
  WaitRunning(factory.readerJobs, 2);
  pipeline.CancelButtonClick();
  RunUntilIdle();
  const std::string rows = host.Statuses(JobList::Tracks);  // track 2 may end "+" or "Cancelled"
  EXPECT_TRUE(rows.starts_with("Cancelled ") && rows.ends_with(" +")) << rows;
  EXPECT_EQ(factory.readerJobs.size(), 2u);
  EXPECT_EQ(factory.encoderJobs.size(), 1u);
  EXPECT_EQ(host.beeps, 0);
  EXPECT_FALSE(Exists(PathIn("Track01.tmp")));
  EXPECT_FALSE(Exists(PathIn("Track01.wav")));
  EXPECT_TRUE(Exists(PathIn("Track01.unencoded.wav")));
  EXPECT_EQ(LogCount(host.encoderLog, "    Cancelled."), 1u);
  EXPECT_EQ(host.encoderLog.back(), "    Cancelled.");
  EXPECT_EQ(LogCount(host.encoderLog,
                     "    Kept track 01 as " + PathIn("Track01.unencoded.wav") + " (not encoded: cancelled)."), 1u);
}

// Catches warnings of the reader being lost on the way to the final status word.
TEST_F(PipelineTest, TrackReadWithWarningsEndsOkW) {
  for (Operation op : {Operation::CD2MP3, Operation::CD2WAV}) {
    Rig r(loop, settings);
    r.h.operation = op;
    r.h.AddTracks(2);
    r.f.reader = [](const ReaderJob& job) { return WorkerScript{.warning = job.track == 1}; };
    StartAndFinish(&r.p);
    EXPECT_EQ(r.h.Statuses(JobList::Tracks), "OK/W OK");
    if (op == Operation::CD2MP3) {
      EXPECT_EQ(History(r.h.tracks[0])[1], "Read/W");
    }
  }
}

// Catches Start touching tracks the user did not select, or reading them.
TEST_F(PipelineTest, UnselectedRowsKeepPlus) {
  host.AddTracks(4);
  host.tracks[0].text = "OK\tTrack 01\t03:00\t";
  host.tracks[0].selected = host.tracks[2].selected = false;
  StartAndFinish();
  EXPECT_EQ(host.Statuses(JobList::Tracks), "+ OK + OK");
  EXPECT_EQ(factory.calls[0] + factory.calls[2], "read 2read 4");
}

// Catches wrong track file names: the Track%02i fallback, the character replacement and
// the trimming of the output folder.
TEST_F(PipelineTest, TrackOutputPathNamesAndCleansTracks) {
  settings.outputPath = "/music/out/\r\n";
  host.AddTracks(7);
  host.tracks[2].text = "+\tTrack 03\t03:00\tAC/DC: Live?";
  EXPECT_EQ(pipeline.TrackOutputPath(7, ".tmp"), "/music/out/Track07.tmp");
  EXPECT_EQ(pipeline.TrackOutputPath(3, ".wav"), "/music/out/AC-DC- Live-.wav");
  host.cdInfo.useFileNameFormat = true;
  host.cdInfo.title = "B";
  host.cdInfo.artist = "A";
  EXPECT_EQ(pipeline.TrackOutputPath(3, ".wav"), "/music/out/(A) [B] [03] AC-DC- Live-.wav");
}

// Catches wrong reader and encoder job fields derived from the settings; AAC never asks
// the reader for mono or half rate, and gets no ID3 tag (the tag write would fail here).
TEST_F(PipelineTest, JobFieldsFollowTheSettings) {
  settings.mpegMode = 2;
  settings.channels = 0;
  settings.mpeg2BitRate = 11;
  settings.readSector = 2;
  settings.overlapPercent = 3;
  settings.jitterCorrection = 0;
  host.AddTracks(1);
  host.drive = 2;
  StartAndFinish();
  settings.mpegMode = 3;
  host.tracks[0].selected = true;
  host.cdInfo.applyId3 = true;
  StartAndFinish();
  EXPECT_EQ(host.Statuses(JobList::Tracks), "OK");
  ASSERT_EQ(factory.readerJobs.size(), 2u);
  const ReaderJob& r = factory.readerJobs[0];
  EXPECT_EQ(std::tuple(r.sectorsPerRead, r.overlapPercent, r.jitterCorrection, r.rate22050, r.mono, r.drive),
            std::tuple(16, 40, false, true, true, 2));
  const EncoderJob& e = factory.encoderJobs[0];
  EXPECT_EQ(std::tuple(e.mp3.bitRate, e.mp3.mpeg2, e.mp3.mono, e.mp3.jointStereo), std::tuple(128, true, true, false));
  const ReaderJob& aac = factory.readerJobs[1];
  EXPECT_EQ(std::tuple(aac.mono, aac.rate22050, factory.encoderJobs[1].aac.bitRate, factory.encoderJobs[1].mp3.mono),
            std::tuple(false, false, 128, false));
}

// Catches the ID3 step writing no tag, a tag in the wrong place or with the cleaned name,
// a tag without the disc number and MusicBrainz ids of the CD information, and a failed
// tag write that is not an error.
TEST_F(PipelineTest, Id3TagIsAppendedAfterCdEncode) {
  host.AddTracks(2);
  host.tracks[0].text = "+\tTrack 01\t03:00\tAC/DC";
  host.cdInfo.applyId3 = true;
  host.cdInfo.title = "Album";
  host.cdInfo.artist = "Artist";
  host.cdInfo.year = "1999";
  host.cdInfo.discNumber = 1;
  host.cdInfo.discCount = 2;
  host.cdInfo.musicBrainzReleaseId = "the-release-id";
  factory.reader = ReaderWrites;
  factory.encoder = [](const EncoderJob& job) {
    return WorkerScript{.writeFile = job.inputPath.ends_with("AC-DC.tmp") ? ChangeFileExt(job.inputPath, ".mp3") : ""};
  };
  StartAndFinish();
  std::ifstream in(PathIn("AC-DC.mp3"), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The ID3v1 record ends the file; the ID3v2 tag comes before the encoder's bytes.
  ASSERT_GT(bytes.size(), 1000u + 128u);
  const std::string v1 = bytes.substr(bytes.size() - 128);
  EXPECT_EQ(v1.substr(0, 9), "TAGAC/DC ");
  EXPECT_EQ(v1.substr(33, 7), "Artist ");
  EXPECT_EQ(v1.substr(63, 6), "Album ");
  EXPECT_EQ(v1.substr(93, 4), "1999");
  EXPECT_EQ(bytes.substr(0, 3), "ID3");
  EXPECT_EQ(bytes.substr(bytes.size() - 128 - 1000, 1000), std::string(1000, 'x'));
  const std::string v2 = bytes.substr(0, bytes.size() - 128 - 1000);
  EXPECT_NE(v2.find("TPOS"), std::string::npos);
  EXPECT_NE(v2.find("1/2"), std::string::npos);
  EXPECT_NE(v2.find(std::string("MusicBrainz Album Id\0the-release-id", 35)), std::string::npos);
  // Track 2's encoder wrote nothing: the tag cannot be written, which fails the track.
  EXPECT_EQ(host.Statuses(JobList::Tracks), "OK Error");
  EXPECT_EQ(LogCount(host.encoderLog, "    ID3 tag added."), 1u);
  EXPECT_EQ(LogCount(host.encoderLog, "    Error: Cannot write ID3 tag."), 1u);
}

// Cancels a two-track run while track 2 is read and the encoder blocks; the reader of
// track 2 then waits for `gate`. Returns once the window is idle again, tracks reselected.
class StoppingReaderTest : public PipelineTest {
 protected:
  void CancelWhileReaderStops() {
    host.AddTracks(2);
    factory.reader = [this](const ReaderJob& job) {
      return WorkerScript{.gate = job.track == 2 && factory.readerJobs.size() == 2 ? &gate : nullptr};
    };
    factory.encoder = Always<EncoderJob>({.blockUntilCancelled = true});
    pipeline.StartButtonClick();
    WaitRunning(factory.readerJobs, 2);
    pipeline.CancelButtonClick();
    ASSERT_TRUE(PumpUntil([&] { return !pipeline.Busy(); }));
    ASSERT_TRUE(pipeline.HasLiveWorkers());
    for (auto& row : host.tracks) row.selected = true;
  }
  std::atomic<bool> gate{false};
};

// Catches a new Start that begins reading while the reader of a cancelled run is still
// stopping (the reader library serves one track at a time).
TEST_F(StoppingReaderTest, StartAfterCancelWaitsForTheOldReader) {
  ASSERT_NO_FATAL_FAILURE(CancelWhileReaderStops());
  factory.encoder = nullptr;
  pipeline.StartButtonClick();
  EXPECT_TRUE(pipeline.Busy());
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  loop.RunPending();
  EXPECT_EQ(factory.readerJobs.size(), 2u) << "a read began beside the stopping reader";
  gate = true;
  RunUntilIdle();
  EXPECT_EQ(factory.readerJobs.size(), 4u);
  EXPECT_EQ(host.Statuses(JobList::Tracks), "OK OK");
}

// Catches a held-back read that still starts after the new run was cancelled too, or whose
// delete-on-error rule removes the file of its track that it never began to write.
TEST_F(StoppingReaderTest, CancelWhileTheHeldBackReadWaits) {
  settings.cd2mp3DelTempOnError = 1;
  ASSERT_NO_FATAL_FAILURE(CancelWhileReaderStops());
  std::ofstream(PathIn("Track01.tmp")) << "read before";
  pipeline.StartButtonClick();
  pipeline.CancelButtonClick();
  gate = true;
  RunUntilIdle();
  EXPECT_EQ(factory.readerJobs.size(), 2u);
  EXPECT_EQ(host.Statuses(JobList::Tracks), "Cancelled +");
  EXPECT_TRUE(host.visible["StartButton"]);
  EXPECT_TRUE(Exists(PathIn("Track01.tmp")));
}

// Catches two tracks of one run with the same name sharing one file: the second read would
// overwrite the first track's ".tmp" while the encoder still reads it (and its delete-on-
// error rule would remove it). The later track fails instead and the run goes on, its
// error under its own heading (it stood under the previous track's lines: "Track 02:
// Error: Track 03 has the same file name" in the terminal).
TEST_F(PipelineTest, SecondTrackWithTheSameFileNameFailsWithoutTouchingTheFirst) {
  settings.cd2mp3DelTempOnError = 1;
  host.AddTracks(3);
  host.tracks[0].text = "+\tTrack 01\t03:00\tSame";
  host.tracks[2].text = "+\tTrack 03\t03:00\tSame";
  factory.reader = ReaderWrites;
  std::atomic<bool> gate{false};
  factory.encoder = [&](const EncoderJob& job) {
    return WorkerScript{.writeFile = ChangeFileExt(job.inputPath, ".mp3"),
                        .gate = job.inputPath.ends_with("Same.tmp") ? &gate : nullptr};
  };
  pipeline.StartButtonClick();
  ASSERT_TRUE(PumpUntil([&] { return host.Statuses(JobList::Tracks) == "Read Read Error"; }));
  EXPECT_TRUE(Exists(PathIn("Same.tmp"))) << "the first track's temp file was deleted";
  gate = true;
  RunUntilIdle();
  EXPECT_EQ(host.Statuses(JobList::Tracks), "OK OK Error");
  EXPECT_EQ(factory.readerJobs.size(), 2u);
  const std::string error = "    Error: Track 03 has the same file name as track 01: " + PathIn("Same.tmp");
  EXPECT_EQ(LogCount(host.readerLog, error), 1u);
  const auto at = std::find(host.readerLog.begin(), host.readerLog.end(), error);
  ASSERT_GE(at - host.readerLog.begin(), 2);
  EXPECT_EQ(*(at - 2), "");
  EXPECT_EQ(*(at - 1), "Not reading: Track 03");
  EXPECT_TRUE(Exists(PathIn("Same.mp3")));
}

// Catches a pipeline line that a host can only classify by its words: a track that is not
// read opens its own lines (Begin) under its track, its error is an Error about that track,
// and the end of a read and the line of a cancel are the ends of their jobs.
TEST_F(PipelineTest, PipelineLinesCarryTheirSeverityAndTrack) {
  host.AddTracks(3);
  host.tracks[0].text = "+\tTrack 01\t03:00\tSame";
  host.tracks[2].text = "+\tTrack 03\t03:00\tSame";
  host.operation = Operation::CD2WAV;
  factory.reader = ReaderWrites;
  pipeline.StartButtonClick();
  RunUntilIdle();
  const std::string error = "    Error: Track 03 has the same file name as track 01: " + PathIn("Same.wav");
  const auto at = std::find(host.readerEvents.begin(), host.readerEvents.end(), LogEvent::Error(error, "Track 03"));
  ASSERT_NE(at, host.readerEvents.end());
  ASSERT_GE(at - host.readerEvents.begin(), 2);
  EXPECT_EQ(*(at - 2), LogEvent::Begin());
  EXPECT_EQ(*(at - 1), LogEvent::Info("Not reading: Track 03", "Track 03"));
  for (const LogEvent& event : host.readerEvents) {
    if (event.text.starts_with("    Done (")) {
      EXPECT_EQ(event.severity, LogSeverity::Done) << event.text;
    }
  }

  host.operation = Operation::WAV2MP3;
  AddFiles({"a.wav"});
  factory.encoder = Always<EncoderJob>({.blockUntilCancelled = true});
  pipeline.StartButtonClick();
  WaitRunning(factory.encoderJobs, 1);
  pipeline.CancelButtonClick();
  RunUntilIdle();
  ASSERT_FALSE(host.encoderEvents.empty());
  EXPECT_EQ(host.encoderEvents.back(), LogEvent::Done("    Cancelled."));
}

// Catches the ".tmp" files of tracks read but not yet encoded left behind by Cancel (seven
// of them after one Ctrl-C), their rows left at "Read", and fresh settings that keep them
// (gigabytes of WAV after a cancelled rip): by default they are removed, and only with the
// delete rule off are they kept, under a name that says they were not encoded. The log
// names each removed and each kept file.
TEST_F(PipelineTest, CancelEndsTheReadsWaitingForTheEncoder) {
  for (const std::optional<int> deleteTemp : {std::optional<int>(), std::optional<int>(0), std::optional<int>(1)}) {
    SCOPED_TRACE(deleteTemp ? std::to_string(*deleteTemp) : "fresh settings");
    SettingsTable s;
    s.outputPath = dir;
    s.encoderJobs = 1;  // one encoder: the tracks after the first wait for it
    if (deleteTemp) s.cd2mp3DelTempOnError = *deleteTemp;
    const bool keep = deleteTemp == 0;
    Rig r(loop, s);
    r.h.AddTracks(4);
    r.f.reader = ReaderWrites;
    r.f.encoder = Always<EncoderJob>({.blockUntilCancelled = true});
    r.p.StartButtonClick();
    ASSERT_TRUE(PumpUntil([&] { return r.h.Statuses(JobList::Tracks) == "Read Read Read Read" && r.f.encoderJobs.size() == 1; }));
    ASSERT_TRUE(PumpUntil([&] { return r.h.status[MakerPanel::Reader] == " CD Reader: Idle"; }));
    r.p.CancelButtonClick();
    RunUntilIdle(&r.p);
    EXPECT_EQ(r.h.Statuses(JobList::Tracks), "Cancelled Cancelled Cancelled Cancelled");
    for (const char* track : {"01", "02", "03", "04"}) {
      const std::string name = std::string("Track") + track;
      EXPECT_FALSE(Exists(PathIn(name + ".tmp"))) << name;
      EXPECT_FALSE(Exists(PathIn(name + ".wav"))) << name;
      EXPECT_EQ(Exists(PathIn(name + ".unencoded.wav")), keep) << name;
      const std::string line = keep ? "    Kept track " + std::string(track) + " as " + PathIn(name + ".unencoded.wav")
                                    : "    Removed the read of track " + std::string(track) + ", " + PathIn(name + ".tmp");
      EXPECT_EQ(LogCount(r.h.encoderLog, line + " (not encoded: cancelled)."), 1u) << line;
      std::filesystem::remove(PathIn(name + ".unencoded.wav"));
    }
  }
}


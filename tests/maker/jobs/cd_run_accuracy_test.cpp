// The CD run's proof of its rips: the AccurateRip lookup before the first read, what each
// read is asked to prove, the track rows' verification words, and the rip log, cue sheet
// and play list at the end of the run.
#include <stdlib.h>

#include "common/paths.h"
#include "maker/jobs/rip_accuracy.h"
#include "maker/jobs/rip_files.h"
#include "pipeline_fixture.h"

namespace {

// A disc of `audio` audio tracks of 3 minutes, then `data` data tracks.
TrackTable Disc(int audio, int data = 0) {
  TrackTable table;
  table.audio = 1;
  table.trackCount = audio + data;
  int32_t sector = 0;
  for (int t = 1; t <= table.trackCount; ++t) {
    table.start[static_cast<size_t>(t)] = sector;
    table.length[static_cast<size_t>(t)] = 13500;
    table.data[static_cast<size_t>(t)] = t > audio ? 1 : 0;
    sector += 13500;
  }
  table.start[static_cast<size_t>(table.trackCount + 1)] = sector;
  return table;
}

AccurateRipLookupResult Found(int pressings) {
  AccurateRipLookupResult result;
  result.kind = AccurateRipLookupResult::Kind::Found;
  for (int i = 0; i < pressings; ++i) result.record.pressings.push_back({.id1 = static_cast<uint32_t>(i), .id2 = 0, .cddb = 0, .tracks = {}});
  return result;
}

TrackAccuracy Proof(AccurateRipVerdict::Kind kind, int confidence = 0, uint32_t crc = 0x89ABCDEF) {
  TrackAccuracy accuracy;
  accuracy.verdict.kind = kind;
  accuracy.verdict.confidence = confidence;
  accuracy.verdict.version = kind == AccurateRipVerdict::Kind::Accurate ? 2 : 0;
  TrackDigest digest;
  digest.crc32 = crc;
  digest.accurateRip = {0x0A1B2C3D, 0x11223344};
  digest.peak = 32768;
  accuracy.copy = digest;
  accuracy.reads = 1;
  return accuracy;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Contains(const std::vector<std::string>& log, const std::string& part) {
  return std::any_of(log.begin(), log.end(), [&](const std::string& line) { return line.find(part) != std::string::npos; });
}

class CdRunAccuracyTest : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    host.operation = Operation::CD2WAV;
    host.disc = Disc(3);
    host.AddTracks(3);
    host.driveIdentity = {"ACME", "CD-1"};
    host.cdInfo.title = "Album";
    host.cdInfo.artist = "Band";
  }
};

}  // namespace

// Catches a lookup that runs after (or beside) the first read, a record that does not
// reach every read, a read asked with the wrong place on the disc or without the drive's
// offset and the settings' modes, and row words that do not follow each read's verdict.
TEST_F(CdRunAccuracyTest, FoundRecordReachesEveryReadAndRowsShowVerdicts) {
  settings.SetReadOffset(host.driveIdentity.Key(), 667);
  settings.secureMode = 1;
  settings.secureRetries = 3;
  settings.burstThenVerify = 1;
  factory.lookup = [](const AccurateRipRequest&) { return WorkerScript{.lookup = Found(3)}; };
  factory.reader = [](const ReaderJob& job) {
    WorkerScript script = ReaderWrites(job);
    script.accuracy = job.track == 1   ? Proof(AccurateRipVerdict::Kind::Accurate, 12)
                      : job.track == 2 ? Proof(AccurateRipVerdict::Kind::NotAccurate)
                                       : Proof(AccurateRipVerdict::Kind::NotInDatabase);
    return script;
  };
  StartAndFinish();

  ASSERT_EQ(factory.calls.size(), 4u);
  EXPECT_EQ(factory.calls[0].rfind("lookup ", 0), 0u) << "the lookup comes before the first read";
  ASSERT_EQ(factory.lookupRequests.size(), 1u);
  const AccurateRipDiscIds ids = ComputeAccurateRipDiscIds(*host.disc);
  EXPECT_EQ(factory.lookupRequests[0].ids.id1, ids.id1);
  EXPECT_EQ(factory.lookupRequests[0].ids.cddb, ids.cddb);
  EXPECT_TRUE(Contains(host.readerLog, "AccurateRip: looking up " + factory.lookupRequests[0].server + ids.RecordPath()));
  EXPECT_TRUE(Contains(host.readerLog, "AccurateRip: the disc is in the database (3 pressings)"));

  ASSERT_EQ(factory.readerJobs.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    const ReadAccuracyJob& job = factory.readerJobs[static_cast<size_t>(i)].accuracy;
    SCOPED_TRACE(i);
    ASSERT_NE(job.record, nullptr);
    EXPECT_EQ(job.record->pressings.size(), 3u);
    EXPECT_EQ(job.record, factory.readerJobs[0].accuracy.record) << "one record shared by the reads";
    EXPECT_EQ(job.discIds.id2, ids.id2);
    EXPECT_EQ(job.audioTrackIndex, i);
    EXPECT_EQ(job.firstAudioTrack, i == 0);
    EXPECT_EQ(job.lastAudioTrack, i == 2);
    EXPECT_EQ(job.readOffset, 667);
    EXPECT_TRUE(job.secure);
    EXPECT_EQ(job.secureRetries, 3);
    EXPECT_TRUE(job.burstThenVerify);
  }
  EXPECT_EQ(host.verification[0], "Accurate (12)");
  EXPECT_EQ(host.verification[1], "Not accurate");
  EXPECT_EQ(host.verification[2], "Not in database");
  EXPECT_EQ(host.Statuses(JobList::Tracks), "OK OK OK");
  EXPECT_TRUE(Contains(host.readerLog,
                       "Track 01: accurately ripped (confidence 12, v2)  AccurateRip v1 0A1B2C3D v2 11223344  Copy CRC "
                       "89ABCDEF"));
  // The result line comes before the track's one end line.
  const auto result = std::find_if(host.readerLog.begin(), host.readerLog.end(),
                                   [](const std::string& line) { return line.starts_with("    Track 01: "); });
  ASSERT_NE(result, host.readerLog.end());
  ASSERT_NE(result + 1, host.readerLog.end());
  EXPECT_TRUE((result + 1)->starts_with("    Done (")) << *(result + 1);
  // A track that is not accurate is a warning of its own, on the track.
  const auto warned = std::find_if(host.readerEvents.begin(), host.readerEvents.end(), [](const LogEvent& e) {
    return e.severity == LogSeverity::Warning && e.text.find("Track 02: not accurate") != std::string::npos;
  });
  ASSERT_NE(warned, host.readerEvents.end());
  EXPECT_EQ(warned->subject, "Track 02");
}

// Catches a lookup that fails the run or marks rows with warnings when the disc is
// unknown or the server cannot be reached, and a record that is kept when there is none.
TEST_F(CdRunAccuracyTest, UnknownDiscOrUnreachableServerOnlyWarns) {
  struct Case {
    AccurateRipLookupResult::Kind kind;
    std::string problem;
    std::string warning;
    bool emptyRecord;
  };
  const Case cases[] = {
      {AccurateRipLookupResult::Kind::NotInDatabase, "", "Warning: AccurateRip: the disc is not in the database", true},
      {AccurateRipLookupResult::Kind::Failed, "Cannot reach 127.0.0.1: connection refused",
       "Warning: AccurateRip: Cannot reach 127.0.0.1: connection refused", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.warning);
    Rig rig(loop, settings);
    rig.h.operation = Operation::CD2MP3;
    rig.h.disc = Disc(2);
    rig.h.AddTracks(2);
    AccurateRipLookupResult result;
    result.kind = c.kind;
    result.problem = c.problem;
    rig.f.lookup = [result](const AccurateRipRequest&) { return WorkerScript{.lookup = result}; };
    rig.f.reader = [](const ReaderJob& job) {
      WorkerScript script = ReaderWrites(job);
      script.accuracy = Proof(AccurateRipVerdict::Kind::NotInDatabase);
      return script;
    };
    StartAndFinish(&rig.p);
    const auto warning = std::find_if(rig.h.readerEvents.begin(), rig.h.readerEvents.end(),
                                      [](const LogEvent& e) { return e.severity == LogSeverity::Warning; });
    ASSERT_NE(warning, rig.h.readerEvents.end());
    EXPECT_EQ(warning->text, "    " + c.warning);
    ASSERT_EQ(rig.f.readerJobs.size(), 2u);
    EXPECT_EQ(rig.f.readerJobs[0].accuracy.record != nullptr, c.emptyRecord);
    if (c.emptyRecord) {
      EXPECT_TRUE(rig.f.readerJobs[0].accuracy.record->pressings.empty());
    }
    EXPECT_EQ(rig.h.Statuses(JobList::Tracks), "OK OK") << "no row marked /W for the lookup";
    EXPECT_EQ(rig.h.verification[1], "Not in database");
    for (int t = 1; t <= 2; ++t) std::filesystem::remove(PathIn("Track0" + std::to_string(t) + ".mp3"));
  }
}

// Catches a Cancel during the lookup that still reads a track, leaves a worker behind,
// signals Done, writes a rip log, or leaves the track it stopped at looking untouched.
TEST_F(CdRunAccuracyTest, CancelDuringLookupEndsTheRunAtOnce) {
  settings.beepWhenDone = 1;
  factory.lookup = [](const AccurateRipRequest&) { return WorkerScript{.blockUntilCancelled = true}; };
  pipeline.StartButtonClick();
  ASSERT_TRUE(PumpUntil([&] { return factory.lastWorker != nullptr && factory.lastWorker->running; }));
  EXPECT_TRUE(pipeline.Busy());
  pipeline.CancelButtonClick();
  RunUntilIdle();
  EXPECT_TRUE(factory.readerJobs.empty());
  ASSERT_FALSE(host.readerLog.empty());
  EXPECT_EQ(host.readerLog.back(), "    Cancelled.");
  EXPECT_EQ(host.beeps, 0);
  EXPECT_TRUE(host.visible["StartButton"]);
  EXPECT_FALSE(Exists(PathIn("Album.log")));
  EXPECT_EQ(host.Statuses(JobList::Tracks), "Cancelled + +");
}

// Catches a lookup made although AccurateRip is off or no table of contents was read, and
// reads that then lose their place on the disc (the checksums skip the first and last
// tracks' edges) or skip a data track wrongly.
TEST_F(CdRunAccuracyTest, NoLookupWhenOffAndDataTracksAreNotAudioTracks) {
  settings.accurateRip = 0;
  host.disc = Disc(2, 1);
  factory.reader = Always<ReaderJob>(WorkerScript{});
  StartAndFinish();
  EXPECT_TRUE(factory.lookupRequests.empty());
  ASSERT_EQ(factory.readerJobs.size(), 3u);
  EXPECT_EQ(factory.readerJobs[0].accuracy.record, nullptr);
  EXPECT_TRUE(factory.readerJobs[0].accuracy.firstAudioTrack);
  EXPECT_TRUE(factory.readerJobs[1].accuracy.lastAudioTrack) << "track 3 is data";
  EXPECT_EQ(factory.readerJobs[1].accuracy.audioTrackIndex, 1);

  Rig rig(loop, settings);
  rig.h.AddTracks(1);
  settings.accurateRip = 1;
  StartAndFinish(&rig.p);
  EXPECT_TRUE(rig.f.lookupRequests.empty()) << "no table of contents";
  ASSERT_EQ(rig.f.readerJobs.size(), 1u);
  EXPECT_TRUE(rig.f.readerJobs[0].accuracy.firstAudioTrack && rig.f.readerJobs[0].accuracy.lastAudioTrack);
}

// Catches a server chosen in the wrong order (the run's own, then the environment's, then
// the setting) and a proxy used although its box is not checked.
TEST(AccurateRipRequestTest, ServerAndProxyFollowTheirRules) {
  SettingsTable settings;
  settings.accurateRipServer = "http://setting.example/";
  CdInfo info;
  info.httpProxy = "proxy:3128";
  const char* saved = getenv("ZIMBAR_ACCURATERIP_SERVER");
  const std::string before = saved ? saved : "";
  unsetenv("ZIMBAR_ACCURATERIP_SERVER");
  EXPECT_EQ(MakeAccurateRipRequest(settings, info, {}).server, "http://setting.example");
  EXPECT_EQ(MakeAccurateRipRequest(settings, info, {}).httpProxy, "");
  setenv("ZIMBAR_ACCURATERIP_SERVER", "http://127.0.0.1:9", 1);
  EXPECT_EQ(MakeAccurateRipRequest(settings, info, {}).server, "http://127.0.0.1:9");
  EXPECT_EQ(MakeAccurateRipRequest(settings, info, {}, "http://run.example").server, "http://run.example");
  info.useHttpProxy = true;
  EXPECT_EQ(MakeAccurateRipRequest(settings, info, {}).httpProxy, "proxy:3128");
  AccurateRipDiscIds ids;
  ids.audioTracks = 2;
  ids.id1 = 0x123;
  EXPECT_EQ(AccurateRipRecordUrl(MakeAccurateRipRequest(settings, info, ids)), "http://127.0.0.1:9" + ids.RecordPath());
  if (saved)
    setenv("ZIMBAR_ACCURATERIP_SERVER", before.c_str(), 1);
  else
    unsetenv("ZIMBAR_ACCURATERIP_SERVER");
}

// Catches rip files missing after a run with a failed track, a cue sheet or play list that
// lists a failed track or the ".tmp" files in place of the encoded ones, and files written
// after Cancel.
TEST_F(CdRunAccuracyTest, RipLogCueSheetAndPlayListBesideTheTracks) {
  host.operation = Operation::CD2MP3;
  factory.lookup = [](const AccurateRipRequest&) { return WorkerScript{.lookup = Found(1)}; };
  factory.reader = [](const ReaderJob& job) {
    WorkerScript script = ReaderWrites(job);
    script.accuracy = Proof(AccurateRipVerdict::Kind::Accurate, 4);
    script.error = job.track == 2;
    return script;
  };
  factory.encoder = [](const EncoderJob& job) { return WorkerScript{.writeFile = ChangeFileExt(job.inputPath, ".mp3")}; };
  StartAndFinish();
  EXPECT_EQ(host.Statuses(JobList::Tracks), "OK Error OK");
  ASSERT_TRUE(Exists(PathIn("Album.log")));
  ASSERT_TRUE(Exists(PathIn("Album.cue")));
  ASSERT_TRUE(Exists(PathIn("Album.m3u")));
  const std::string cue = ReadFile(PathIn("Album.cue"));
  EXPECT_NE(cue.find("Track01.mp3"), std::string::npos);
  EXPECT_EQ(cue.find("Track02"), std::string::npos);
  EXPECT_NE(cue.find("Track03.mp3"), std::string::npos);
  EXPECT_EQ(cue.find(".tmp"), std::string::npos);
  const std::string m3u = ReadFile(PathIn("Album.m3u"));
  EXPECT_LT(m3u.find("Track01.mp3"), m3u.find("Track03.mp3"));
  const std::string log = ReadFile(PathIn("Album.log"));
  EXPECT_NE(log.find("Track02"), std::string::npos) << "the failed track is in the log";
  EXPECT_TRUE(Contains(host.readerLog, "Rip log written to " + PathIn("Album.log")));
  EXPECT_TRUE(Contains(host.readerLog, "Cue sheet written to " + PathIn("Album.cue")));
  EXPECT_TRUE(Contains(host.readerLog, "Play list written to " + PathIn("Album.m3u")));

  // Cancelled: no rip files.
  Rig rig(loop, settings);
  rig.h.operation = Operation::CD2WAV;
  rig.h.disc = Disc(2);
  rig.h.AddTracks(2);
  rig.h.cdInfo.title = "Other";
  rig.f.lookup = factory.lookup;
  rig.f.reader = [](const ReaderJob& job) {
    WorkerScript script = ReaderWrites(job);
    script.accuracy = Proof(AccurateRipVerdict::Kind::Accurate, 4);
    script.blockUntilCancelled = job.track == 2;
    return script;
  };
  rig.p.StartButtonClick();
  ASSERT_TRUE(PumpUntil([&] { return rig.f.readerJobs.size() == 2 && rig.f.lastWorker->running; }));
  rig.p.CancelButtonClick();
  RunUntilIdle(&rig.p);
  EXPECT_FALSE(Exists(PathIn("Other.log")));
  EXPECT_FALSE(Exists(PathIn("Other.cue")));
}

// Catches a failed write of the log that fails the run's tracks or deletes their audio,
// and a failure that is not an error line; --log puts the log elsewhere and the rest stays.
TEST_F(CdRunAccuracyTest, RipFileWriteFailureIsAnErrorLineAndTheAudioStays) {
  factory.reader = [](const ReaderJob& job) {
    WorkerScript script = ReaderWrites(job);
    script.accuracy = Proof(AccurateRipVerdict::Kind::Accurate, 4);
    return script;
  };
  factory.lookup = [](const AccurateRipRequest&) { return WorkerScript{.lookup = Found(1)}; };
  pipeline.SetRipLogPath(PathIn("no/such/folder/x.log"));
  StartAndFinish();
  EXPECT_EQ(host.Statuses(JobList::Tracks), "OK OK OK");
  EXPECT_TRUE(Exists(PathIn("Track01.wav")));
  const auto error = std::find_if(host.readerEvents.begin(), host.readerEvents.end(),
                                  [](const LogEvent& e) { return e.severity == LogSeverity::Error; });
  ASSERT_NE(error, host.readerEvents.end());
  EXPECT_NE(error->text.find("Error: Cannot write the rip log " + PathIn("no/such/folder/x.log")), std::string::npos);
  EXPECT_TRUE(Exists(PathIn("Album.cue")));

  pipeline.SetRipLogPath(PathIn("elsewhere.log"));
  for (auto& row : host.tracks) row.selected = true;
  StartAndFinish();
  EXPECT_TRUE(Exists(PathIn("elsewhere.log")));
}

// Catches a rip log that names MP3 for the other formats or leaves out their settings,
// and a cue sheet or play list that does not name the encoded files (or names them with
// a FILE type cue readers refuse).
TEST_F(CdRunAccuracyTest, RipFilesNameEachFormatAndItsFiles) {
  struct Case {
    int mode;
    const char* extension;
    const char* format;
  };
  const Case cases[] = {{kModeFlac, ".flac", "Format: FLAC level 5, verify\n"},
                        {kModeVorbis, ".ogg", "Format: Ogg Vorbis quality 5\n"},
                        {kModeOpus, ".opus", "Format: Opus 160 kbit/s\n"},
                        {kModeM4a, ".m4a", "Format: M4A 128 kbit/s\n"},
                        {kModeMpeg1, ".mp3", "Format: MP3 128 kbit/s\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extension);
    settings.mpegMode = c.mode;
    RipFilesInput input;
    input.operation = Operation::CD2MP3;
    input.settings = &settings;
    input.info.title = "Album";
    input.toc = Disc(2);
    for (int t = 1; t <= 2; ++t) {
      RippedTrack& track = input.tracks.emplace_back();
      track.track = t;
      track.name = "Track0" + std::to_string(t);
      track.path = PathIn("Track0" + std::to_string(t) + c.extension);
      track.written = true;
    }
    WriteRipFiles(input);
    EXPECT_NE(ReadFile(PathIn("Album.log")).find(c.format), std::string::npos) << ReadFile(PathIn("Album.log"));
    const std::string cue = ReadFile(PathIn("Album.cue"));
    const std::string type = c.mode == kModeMpeg1 ? "MP3" : "WAVE";
    for (const char* track : {"Track01", "Track02"})
      EXPECT_NE(cue.find("FILE \"" + std::string(track) + c.extension + "\" " + type + "\r\n"), std::string::npos) << cue;
    EXPECT_EQ(ReadFile(PathIn("Album.m3u")), "#EXTM3U\nTrack01" + std::string(c.extension) + "\nTrack02" + c.extension + "\n");
  }
  settings.mpegMode = kModeFlac;
  settings.flacLevel = 8;
  settings.flacVerify = 0;
  settings.vorbisQuality = -1;
  RipFilesInput input;
  input.operation = Operation::CD2MP3;
  input.settings = &settings;
  input.info.title = "Album";
  input.toc = Disc(1);
  RippedTrack& track = input.tracks.emplace_back();
  track.track = 1;
  track.path = PathIn("Track01.flac");
  track.written = true;
  WriteRipFiles(input);
  EXPECT_NE(ReadFile(PathIn("Album.log")).find("Format: FLAC level 8\n"), std::string::npos);
  settings.mpegMode = kModeVorbis;
  WriteRipFiles(input);
  EXPECT_NE(ReadFile(PathIn("Album.log")).find("Format: Ogg Vorbis quality -1\n"), std::string::npos);
}

// Catches row and result words that do not follow the proof: suspicious wins, nothing is
// shown for an unchecked read, and the result line carries Test CRC and the ranges.
TEST(RipAccuracyTextTest, RowWordsAndResultLine) {
  TrackAccuracy accuracy = Proof(AccurateRipVerdict::Kind::NotChecked);
  EXPECT_EQ(RowVerificationText(accuracy), "");
  accuracy.test = accuracy.copy;
  accuracy.test->crc32 = 0x1234;
  accuracy.suspicious = true;
  accuracy.suspiciousRanges = {{588, 1176}};
  EXPECT_EQ(RowVerificationText(accuracy), "Suspicious");
  EXPECT_TRUE(TrackResultWarns(accuracy));
  const std::string line = TrackResultText(7, accuracy);
  EXPECT_EQ(line.rfind("Track 07: ", 0), 0u);
  EXPECT_NE(line.find("Test CRC 00001234  Copy CRC 89ABCDEF"), std::string::npos) << line;
  EXPECT_NE(line.find("588-1175"), std::string::npos) << line;
  EXPECT_EQ(TrackResultText(1, TrackAccuracy{}), "");
  EXPECT_EQ(RipFilesStem(CdInfo{}), "rip");
  CdInfo info;
  info.title = "A/B: C?";
  EXPECT_EQ(RipFilesStem(info), "A-B- C-");
}

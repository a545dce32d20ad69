// The CD run's front cover: fetched after the AccurateRip lookup when the names came from
// MusicBrainz, embedded in every encoded track, saved in the album folder, and a note (never
// an error) when there is none.
#include "common/paths.h"
#include "maker/jobs/real_job_worker_factory.h"
#include "maker/settings/encoder_mode.h"
#include "pipeline_fixture.h"
#include "tests/common/temp_dir.h"
#include "tests/fakes/coverart/cover_art_server.h"

namespace {

constexpr const char* kRelease = "2d1b2c3a-0f4e-4a5b-9c6d-7e8f90a1b2c3";

TrackTable Disc(int audio) {
  TrackTable table;
  table.audio = 1;
  table.trackCount = audio;
  int32_t sector = 0;
  for (int t = 1; t <= audio; ++t) {
    table.start[static_cast<size_t>(t)] = sector;
    table.length[static_cast<size_t>(t)] = 13500;
    sector += 13500;
  }
  table.start[static_cast<size_t>(audio + 1)] = sector;
  return table;
}

CoverImage Jpeg() { return {"image/jpeg", {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0xFF, 0xD9}}; }

bool Contains(const std::vector<std::string>& log, const std::string& part) {
  return std::any_of(log.begin(), log.end(), [&](const std::string& line) { return line.find(part) != std::string::npos; });
}

// Where the calls of a kind stand in the factory's order of calls; -1 when never made.
long CallIndex(const std::vector<std::string>& calls, const std::string& start) {
  const auto it = std::find_if(calls.begin(), calls.end(), [&](const std::string& call) { return call.starts_with(start); });
  return it == calls.end() ? -1 : it - calls.begin();
}

class CdRunCoverArtTest : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    host.operation = Operation::CD2MP3;
    host.disc = Disc(3);
    host.AddTracks(3);
    host.cdInfo.title = "Album";
    host.cdInfo.artist = "Band";
    host.cdInfo.lookupSource = MetadataSource::MusicBrainz;
    host.cdInfo.musicBrainzReleaseId = kRelease;
    settings.mpegMode = kModeFlac;
    factory.reader = ReaderWrites;
    factory.encoder = [](const EncoderJob& job) { return WorkerScript{.writeFile = ChangeFileExt(job.inputPath, ".flac")}; };
    // The runs of a test replace what the earlier ones wrote.
    host.replaceAnswer = ReplaceAnswer::ReplaceAll;
  }
  const ScopedEnv server_{"ZIMBAR_COVERART_SERVER", "http://127.0.0.1:4711"};
};

}  // namespace

// Catches a cover fetched before the AccurateRip lookup or beside the first read, a cover
// that does not reach every encode, a cover file missing from the album folder (or one not
// made when the pattern puts the tracks in a folder of their own), and the wrong server.
TEST_F(CdRunCoverArtTest, CoverIsFetchedAfterTheRecordAndReachesEveryTrack) {
  factory.coverLookup = [](const CoverArtRequest&) { return WorkerScript{.cover = Jpeg()}; };
  StartAndFinish();
  EXPECT_EQ(host.Statuses(JobList::Tracks), "OK OK OK");
  ASSERT_EQ(factory.coverRequests.size(), 1u);
  EXPECT_EQ(factory.coverRequests[0].server, "http://127.0.0.1:4711");
  EXPECT_EQ(factory.coverRequests[0].releaseId, kRelease);
  const long record = CallIndex(factory.calls, "lookup ");
  const long cover = CallIndex(factory.calls, "cover ");
  const long read = CallIndex(factory.calls, "read ");
  EXPECT_TRUE(record >= 0 && record < cover && cover < read) << record << " " << cover << " " << read;
  ASSERT_EQ(factory.encoderJobs.size(), 3u);
  for (const EncoderJob& job : factory.encoderJobs) {
    ASSERT_TRUE(job.tags.has_value()) << job.inputPath;
    EXPECT_EQ(job.tags->cover, Jpeg()) << job.inputPath;
  }
  EXPECT_EQ(ReadBytes(PathIn("cover.jpg")), Jpeg().data);
  EXPECT_TRUE(Contains(host.readerLog, "Cover art: looking up http://127.0.0.1:4711/release/" + std::string(kRelease) +
                                           "/front-500"));
  EXPECT_TRUE(Contains(host.readerLog, "    Cover art saved to " + PathIn("cover.jpg") + "."));

  // A pattern that puts the album in a folder of its own: the cover goes there, and an
  // existing cover file is kept as it is.
  Rig rig(loop, settings);
  rig.h.operation = Operation::CD2WAV;
  rig.h.disc = Disc(2);
  rig.h.AddTracks(2);
  rig.h.cdInfo = host.cdInfo;
  rig.h.cdInfo.useFileNameFormat = true;
  rig.h.cdInfo.fileNamePattern = "$artist$/$title$/$track#$";
  rig.f.reader = ReaderWrites;
  rig.f.coverLookup = [](const CoverArtRequest&) { return WorkerScript{.cover = CoverImage{"image/png", {0x89, 'P'}}}; };
  StartAndFinish(&rig.p);
  EXPECT_EQ(rig.h.Statuses(JobList::Tracks), "OK OK");
  EXPECT_EQ(ReadBytes(PathIn("Band/Album/cover.png")), (std::vector<uint8_t>{0x89, 'P'}));
  EXPECT_TRUE(Exists(PathIn("Band/Album/01.wav")));

  WriteText(PathIn("cover.jpg"), "the user's own");
  StartAndFinish();
  EXPECT_EQ(ReadText(PathIn("cover.jpg")), "the user's own");
  EXPECT_TRUE(Contains(host.readerLog, "    Cover art: " + PathIn("cover.jpg") + " exists, kept."));
}

// Catches a missing cover that fails the run, marks rows "/W", leaves tracks unread or an
// empty cover in the tags, and a lookup made with the setting off or without MusicBrainz
// names.
TEST_F(CdRunCoverArtTest, NoCoverIsANoteAndTheRunGoesOn) {
  factory.coverLookup = [](const CoverArtRequest&) {
    return WorkerScript{.coverProblem = "127.0.0.1 has no front cover of this release"};
  };
  StartAndFinish();
  EXPECT_EQ(host.Statuses(JobList::Tracks), "OK OK OK");
  EXPECT_EQ(factory.encoderJobs.size(), 3u);
  for (const EncoderJob& job : factory.encoderJobs) EXPECT_FALSE(job.tags && job.tags->cover) << job.inputPath;
  EXPECT_FALSE(Exists(PathIn("cover.jpg")));
  const auto note = std::find_if(host.readerEvents.begin(), host.readerEvents.end(), [](const LogEvent& event) {
    return event.text == "    No cover art: 127.0.0.1 has no front cover of this release.";
  });
  ASSERT_NE(note, host.readerEvents.end());
  EXPECT_EQ(note->severity, LogSeverity::Info);
  EXPECT_TRUE(host.errors.empty());

  settings.coverArt = 0;
  StartAndFinish();
  EXPECT_EQ(factory.coverRequests.size(), 1u) << "the setting is off";
  settings.coverArt = 1;
  host.cdInfo.musicBrainzReleaseId.clear();
  settings.accurateRip = 0;
  StartAndFinish();
  EXPECT_EQ(factory.coverRequests.size(), 1u) << "no release";
  EXPECT_EQ(host.Statuses(JobList::Tracks), "OK OK OK");

  // Without the AccurateRip lookup the cover lookup comes first.
  host.cdInfo.musicBrainzReleaseId = kRelease;
  factory.calls.clear();
  StartAndFinish();
  ASSERT_EQ(factory.coverRequests.size(), 2u);
  EXPECT_EQ(CallIndex(factory.calls, "cover "), 0);
}

// Catches a Cancel during the cover lookup that still reads a track, leaves the lookup
// running, signals Done or saves a cover.
TEST_F(CdRunCoverArtTest, CancelDuringTheCoverLookupEndsTheRun) {
  settings.beepWhenDone = 1;
  settings.accurateRip = 0;
  factory.coverLookup = [](const CoverArtRequest&) {
    return WorkerScript{.blockUntilCancelled = true, .cover = Jpeg()};
  };
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
  EXPECT_FALSE(Exists(PathIn("cover.jpg")));
  EXPECT_EQ(host.Statuses(JobList::Tracks), "Cancelled + +");
}

// Catches the real lookup thread's result not reaching the run: a cover from the loopback
// archive (behind its redirect) missing from the tracks or the folder, and a missing
// cover, a silent server or a reply that is no image failing the run instead of a note.
TEST_F(CdRunCoverArtTest, RealLookupAgainstTheLoopbackArchive) {
  FakeCoverArtServer archive;
  const ScopedEnv server("ZIMBAR_COVERART_SERVER", archive.Url().c_str());
  RealJobWorkerFactory real(loop, host);
  factory.realCoverLookup = [&](const CoverArtRequest& request) {
    CoverArtRequest quick = request;
    quick.timeout = std::chrono::milliseconds(1000);
    return real.MakeCoverArtLookup(quick);
  };
  settings.accurateRip = 0;
  const std::string jpeg = FakeCoverJpeg(5000);
  archive.ServeFrontRedirect(kRelease, "/images/front.jpg", jpeg, "application/octet-stream");
  StartAndFinish();
  EXPECT_EQ(host.Statuses(JobList::Tracks), "OK OK OK");
  ASSERT_EQ(factory.encoderJobs.size(), 3u);
  for (const EncoderJob& job : factory.encoderJobs) {
    ASSERT_TRUE(job.tags && job.tags->cover) << job.inputPath;
    EXPECT_EQ(job.tags->cover->mimeType, "image/jpeg");
    EXPECT_EQ(job.tags->cover->data, std::vector<uint8_t>(jpeg.begin(), jpeg.end()));
  }
  EXPECT_EQ(ReadText(PathIn("cover.jpg")), jpeg);

  const struct {
    const char* what;
    std::function<void()> arrange;
    std::string note;
  } cases[] = {
      {"missing", [&] { archive.Http().Serve(FakeCoverArtServer::FrontPath(kRelease), "gone", 404); },
       "    No cover art: 127.0.0.1 has no front cover of this release."},
      {"no image", [&] { archive.ServeFront(kRelease, "<html>cover</html>", "image/jpeg"); },
       "    No cover art: the reply of 127.0.0.1 is not a JPEG or PNG image."},
      {"silent", [&] { archive.Http().SetMode(FakeServerMode::Stall); },
       "    No cover art: 127.0.0.1 did not answer within 1 second."},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(PathIn("cover.jpg"));
    c.arrange();
    factory.encoderJobs.clear();
    StartAndFinish();
    EXPECT_EQ(host.Statuses(JobList::Tracks), "OK OK OK") << c.what;
    EXPECT_EQ(factory.encoderJobs.size(), 3u) << c.what;
    for (const EncoderJob& job : factory.encoderJobs) EXPECT_FALSE(job.tags && job.tags->cover) << c.what;
    EXPECT_EQ(LogCount(host.readerLog, c.note), 1u) << c.what;
    EXPECT_FALSE(Exists(PathIn("cover.jpg"))) << c.what;
  }
}

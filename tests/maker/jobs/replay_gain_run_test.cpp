// ReplayGain at the end of a run: which encodes measure their input, which measured files
// reach the writer and as which albums, how Cancel stops the writing, and a run of the real
// workers that tags its files.
#include <fcntl.h>

#include <cmath>
#include <numbers>

#include "common/fd_io.h"
#include "common/paths.h"
#include "common/unique_fd.h"
#include "common/wav_header.h"
#include "maker/jobs/real_job_worker_factory.h"
#include "maker/jobs/replay_gain_writer.h"
#include "pipeline_fixture.h"

namespace {

TrackLoudness Loudness(double lufs, double peak = 0.5) {
  TrackLoudness loudness;
  loudness.integratedLufs = lufs;
  loudness.peak = peak;
  return loudness;
}

// The encoder of the track whose ".tmp" input is `path` (Track02.tmp → 2).
int TrackOf(const std::string& path) {
  const size_t at = path.rfind("Track");
  return at == std::string::npos ? 0 : std::stoi(path.substr(at + 5, 2));
}

// The paths and loudness values of a writer job's albums: "a.flac=-20 b.flac=-12 | ...".
std::string Albums(const ReplayGainJob& job) {
  std::string text;
  for (const auto& album : job.albums) {
    if (!text.empty()) text += " | ";
    for (size_t i = 0; i < album.size(); ++i) {
      if (i > 0) text += ' ';
      const size_t slash = album[i].path.rfind('/');
      text += album[i].path.substr(slash + 1) + "=" + std::to_string(static_cast<int>(album[i].loudness.integratedLufs));
    }
  }
  return text;
}

// `seconds` of a 1 kHz stereo tone at `amplitude` (0..1 of full scale), CD format.
void WriteTone(const std::string& path, double seconds, double amplitude) {
  std::vector<int16_t> samples;
  const auto frames = static_cast<size_t>(seconds * 44100);
  for (size_t frame = 0; frame < frames; ++frame) {
    const auto sample = static_cast<int16_t>(std::lround(32767 * amplitude * std::sin(2 * std::numbers::pi * 1000 * frame / 44100)));
    samples.push_back(sample);
    samples.push_back(sample);
  }
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  ASSERT_TRUE(fd);
  const auto bytes = static_cast<uint32_t>(samples.size() * 2);
  ASSERT_EQ(WriteWavHeader(fd.Get(), /*mono=*/false, 44100, bytes), kWavWriteOk);
  ASSERT_TRUE(WriteAll(fd.Get(), samples.data(), bytes));
}

class ReplayGainRunTest : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    host.operation = Operation::CD2MP3;
    host.AddTracks(3);
    settings.mpegMode = kModeFlac;
    settings.beepWhenDone = 1;
    factory.reader = ReaderWrites;
  }
  // Encoders that measure -10 - track LUFS; the encode of `failing` fails.
  void MeasuringEncoders(int failing = 0) {
    factory.encoder = [failing](const EncoderJob& job) {
      const int track = TrackOf(job.inputPath);
      WorkerScript script{.error = track == failing};
      script.loudness = Loudness(-10.0 - track);
      return script;
    };
  }
};

}  // namespace

// Catches a run that writes ReplayGain per track instead of once per album, before the
// last encode, with a failed track's values in it, or that goes idle (Done) before the
// writer has ended.
TEST_F(ReplayGainRunTest, CdRunHandsItsFinishedTracksToOneWriterAtItsEnd) {
  MeasuringEncoders(/*failing=*/2);
  std::atomic<bool> gate{false};
  factory.replayGainWriter = [&gate](const ReplayGainJob&) { return WorkerScript{.gate = &gate}; };
  pipeline.StartButtonClick();
  ASSERT_TRUE(PumpUntil([&] { return factory.replayGainJobs.size() == 1 && factory.lastWorker->running; }));
  EXPECT_TRUE(pipeline.Busy()) << "the run went idle while the tags are written";
  EXPECT_EQ(host.beeps, 0);
  gate = true;
  RunUntilIdle();

  ASSERT_EQ(factory.encoderJobs.size(), 3u);
  for (const EncoderJob& job : factory.encoderJobs) EXPECT_TRUE(job.measureLoudness) << job.inputPath;
  ASSERT_EQ(factory.replayGainJobs.size(), 1u);
  EXPECT_EQ(Albums(factory.replayGainJobs[0]), "Track01.flac=-11 Track03.flac=-13");
  EXPECT_EQ(factory.replayGainJobs[0].albums[0][0].path, pipeline.TrackOutputPath(1, ".flac"));
  EXPECT_EQ(factory.calls.back(), "replaygain");
  EXPECT_EQ(host.Statuses(JobList::Tracks), "OK Error OK");
  EXPECT_EQ(host.beeps, 3) << "Done comes once, after the writer";
  EXPECT_EQ(LogCount(host.encoderLog, "ReplayGain: 2 tracks of one album"), 1u);
  EXPECT_EQ(LogCount(host.encoderLog, "    Cancelled."), 0u);
}

// Catches a rip log written before the values are, or without them: each tagged track's
// block in the log names its gains.
TEST_F(ReplayGainRunTest, RipLogTellsTheValuesOfEachTaggedTrack) {
  MeasuringEncoders(/*failing=*/2);
  factory.reader = [](const ReaderJob& job) {
    return WorkerScript{.writeFile = job.outputPath, .accuracy = TrackAccuracy{}};
  };
  StartAndFinish();
  std::ifstream in(PathIn("rip.log"));
  const std::string log((std::istreambuf_iterator<char>(in)), {});
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.find("  ReplayGain: track -7.00 dB, album -1.00 dB\n"), std::string::npos) << log;
  EXPECT_NE(log.find("  ReplayGain: track -5.00 dB, album -1.00 dB\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("  ReplayGain: track -6.00 dB"), std::string::npos) << "the failed track 2 has values";
}

// Catches measuring (and tagging) where the format or the settings take no ReplayGain:
// ReplayGain off, AAC, an external program, MP3 without its ID3 tag, CD to WAV.
TEST_F(ReplayGainRunTest, OnlyRunsWhoseFilesTakeTagsMeasure) {
  struct Case {
    const char* name;
    int mode;
    bool replayGain;
    bool id3;
    Operation operation;
    bool measures;
  };
  const Case cases[] = {
      {"FLAC", kModeFlac, true, false, Operation::CD2MP3, true},
      {"Opus", kModeOpus, true, false, Operation::CD2MP3, true},
      {"MP3 with ID3", kModeMpeg1, true, true, Operation::CD2MP3, true},
      {"MP3 without ID3", kModeMpeg1, true, false, Operation::CD2MP3, false},
      {"ReplayGain off", kModeVorbis, false, false, Operation::CD2MP3, false},
      {"AAC", kModeAac, true, true, Operation::CD2MP3, false},
      {"external program", kModeExternal, true, true, Operation::CD2MP3, false},
      {"CD to WAV", kModeFlac, true, true, Operation::CD2WAV, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SettingsTable s;
    s.outputPath = dir;
    s.mpegMode = c.mode;
    s.replayGain = c.replayGain ? 1 : 0;
    Rig rig(loop, s);
    rig.h.operation = c.operation;
    rig.h.AddTracks(2);
    rig.h.cdInfo.applyId3 = c.id3;
    rig.f.reader = ReaderWrites;
    // The encoders write their output: the ID3 step of MP3 needs it.
    rig.f.encoder = [](const EncoderJob& job) {
      return WorkerScript{.writeFile = ChangeFileExt(job.inputPath, std::string(EncoderExtension(job.mpegMode))),
                          .loudness = Loudness(-15)};
    };
    StartAndFinish(&rig.p);
    for (const EncoderJob& job : rig.f.encoderJobs) EXPECT_EQ(job.measureLoudness, c.measures);
    EXPECT_EQ(rig.f.replayGainJobs.size(), c.measures ? 1u : 0u);
  }
}

// Catches a cancelled run that still writes album values (its album is incomplete), and
// a Cancel during the writing that is ignored or that ends the run as finished.
TEST_F(ReplayGainRunTest, CancelStopsTheWritingAndACancelledRunWritesNone) {
  MeasuringEncoders();
  factory.replayGainWriter = Always<ReplayGainJob>({.blockUntilCancelled = true});
  pipeline.StartButtonClick();
  ASSERT_TRUE(PumpUntil([&] { return factory.replayGainJobs.size() == 1 && factory.lastWorker->running; }));
  pipeline.CancelButtonClick();
  RunUntilIdle();
  ASSERT_FALSE(host.encoderLog.empty());
  EXPECT_EQ(host.encoderLog.back(), "    Cancelled.");
  EXPECT_EQ(host.beeps, 0);
  EXPECT_EQ(host.visible["StartButton"], true);

  // Cancel while a track is encoded: nothing is written at all.
  factory.replayGainJobs.clear();
  factory.encoder = [](const EncoderJob& job) {
    return WorkerScript{.blockUntilCancelled = TrackOf(job.inputPath) == 2, .loudness = Loudness(-12)};
  };
  for (auto& row : host.tracks) row.selected = true;
  pipeline.StartButtonClick();
  // Track 2 is encoded (its encode waits for Cancel) and track 3 is read.
  ASSERT_TRUE(PumpUntil([&] { return factory.encoderJobs.size() == 5 && host.Statuses(JobList::Tracks) == "OK Read Read"; }));
  pipeline.CancelButtonClick();
  RunUntilIdle();
  EXPECT_TRUE(factory.replayGainJobs.empty());
}

// Catches a file run that makes one album of files from different folders, tags files
// whose encode failed, or measures when ReplayGain of file runs is off.
TEST_F(ReplayGainRunTest, FileRunMakesAnAlbumOfEachFolder) {
  host.operation = Operation::WAV2MP3;
  settings.replayGainFiles = 1;
  std::filesystem::create_directory(PathIn("one"));
  std::filesystem::create_directory(PathIn("two"));
  AddFiles({"one/a.wav", "two/b.wav", "one/c.wav", "one/d.wav"});
  factory.encoder = [](const EncoderJob& job) {
    const char name = job.inputPath[job.inputPath.size() - 5];
    return WorkerScript{.error = name == 'd', .loudness = Loudness(-20 + (name - 'a'))};
  };
  StartAndFinish();
  for (const EncoderJob& job : factory.encoderJobs) EXPECT_TRUE(job.measureLoudness);
  ASSERT_EQ(factory.replayGainJobs.size(), 1u);
  EXPECT_EQ(Albums(factory.replayGainJobs[0]), "a.flac=-20 c.flac=-18 | b.flac=-19");
  EXPECT_EQ(LogCount(host.encoderLog, "ReplayGain: 3 files of 2 albums"), 1u);
  EXPECT_EQ(host.beeps, 3);

  settings.replayGainFiles = 0;
  factory.replayGainJobs.clear();
  factory.encoderJobs.clear();
  StartAndFinish();
  for (const EncoderJob& job : factory.encoderJobs) EXPECT_FALSE(job.measureLoudness);
  EXPECT_TRUE(factory.replayGainJobs.empty());
}

// Catches a gap between the real encoder's measurement, the real writer and the files: a
// file run of two WAVs of one folder to FLAC ends with each file's own track gain and
// the album's gain in its tags, and a log line for each.
TEST_F(ReplayGainRunTest, RealWorkersTagEveryFileOfTheAlbum) {
  host.operation = Operation::WAV2MP3;
  settings.replayGainFiles = 1;
  WriteTone(PathIn("loud.wav"), 3, 0.7);
  WriteTone(PathIn("quiet.wav"), 2, 0.1);
  host.files.push_back({"+\t" + PathIn("loud.wav")});
  host.files.push_back({"+\t" + PathIn("quiet.wav")});
  RealJobWorkerFactory real(loop, host);
  JobPipeline run(loop, host, real, settings, AllLibraries);
  StartAndFinish(&run);
  ASSERT_EQ(host.Statuses(JobList::Files), "OK: OK:");

  auto loud = MeasureWavLoudness(PathIn("loud.wav"));
  auto quiet = MeasureWavLoudness(PathIn("quiet.wav"));
  ASSERT_TRUE(loud.Ok() && quiet.Ok());
  const std::vector<ReplayGainValues> expected = AlbumReplayGains({loud.Value(), quiet.Value()});
  const char* names[] = {"loud.flac", "quiet.flac"};
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(names[i]);
    const std::optional<AudioTags> tags = ReadAudioFileTags(PathIn(names[i]), AudioFileFormat::Flac);
    ASSERT_TRUE(tags && tags->replayGain);
    EXPECT_NEAR(tags->replayGain->trackGain, expected[i].trackGain, 0.01);
    EXPECT_NEAR(tags->replayGain->albumGain, expected[i].albumGain, 0.01);
    EXPECT_NEAR(tags->replayGain->trackPeak, expected[i].trackPeak, 0.0001);
    EXPECT_NEAR(tags->replayGain->albumPeak, expected[i].albumPeak, 0.0001);
    EXPECT_EQ(LogCount(host.encoderLog, ReplayGainLine(expected[i], PathIn(names[i]))), 1u);
  }
  EXPECT_GT(expected[1].trackGain, expected[0].trackGain + 10);
}

// Catches a writer that stops at a file it cannot tag, that gives no line for it, or
// that goes on after Cancel.
TEST(WriteReplayGains, WarnsAboutAFileItCannotTagAndStopsWhenCancelled) {
  ReplayGainJob job;
  job.albums.push_back({{"/nonexistent/a.flac", Loudness(-20)}, {"/nonexistent/b.flac", Loudness(-14)}});
  std::vector<LogEvent> lines;
  const auto log = [&lines](const LogEvent& event) { lines.push_back(event); };
  EXPECT_TRUE(WriteReplayGains(job, log, [] { return false; }).empty());
  ASSERT_EQ(lines.size(), 2u);
  for (const LogEvent& line : lines) EXPECT_EQ(line.severity, LogSeverity::Warning) << line.text;
  EXPECT_EQ(lines[1].subject, "/nonexistent/b.flac");
  EXPECT_NE(lines[1].text.find("/nonexistent/b.flac"), std::string::npos);

  lines.clear();
  int asked = 0;
  EXPECT_TRUE(WriteReplayGains(job, log, [&asked] { return ++asked > 1; }).empty());
  EXPECT_EQ(lines.size(), 1u);

  EXPECT_EQ(ReplayGainLine({.trackGain = -3.214, .trackPeak = 0.9, .albumGain = -4.016, .albumPeak = 1}, "/m/a.flac"),
            "    ReplayGain: track -3.21 dB, album -4.02 dB: /m/a.flac");
  EXPECT_EQ(ReplayGainLine({.trackGain = 5, .albumGain = 0}, "x"), "    ReplayGain: track 5.00 dB, album 0.00 dB: x");
}

TEST(AlbumsByFolder, KeepsTheOrderInWhichFoldersAndFilesCome) {
  const auto albums = AlbumsByFolder({{"/b/1.flac", {}}, {"/a/2.flac", {}}, {"/b/3.flac", {}}, {"4.flac", {}}});
  ASSERT_EQ(albums.size(), 3u);
  EXPECT_EQ(albums[0].size(), 2u);
  EXPECT_EQ(albums[0][1].path, "/b/3.flac");
  EXPECT_EQ(albums[1][0].path, "/a/2.flac");
  EXPECT_EQ(albums[2][0].path, "4.flac");
}

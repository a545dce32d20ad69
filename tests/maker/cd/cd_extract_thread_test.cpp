// TCDExtractThread end to end: disc images through the reader library into WAV files.
#include "maker/cd/cd_extract_thread.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "common/wav_header.h"
#include "maker/cd/normalizer.h"
#include "tests/cdaccess/disc_image_builder.h"
#include "tests/maker/cd/extract_thread_test_support.h"

namespace {

using testcd::Audio;
using testcd::ReadWav;
using testcd::RecordingHost;
using testcd::WavFile;

class ExtractThreadTest : public ::testing::Test {
 protected:
  ReaderJob Job(int track, const std::string& name) {
    ReaderJob job;
    job.drive = image_.DriveIndex();
    job.discImages = image_.Images();
    job.outputPath = dir_.File(name);
    job.track = track;
    job.firstSector = image_.Start(track);
    job.endSector = image_.End(track);
    job.sectorsPerRead = 16;
    job.jitterCorrection = false;
    job.overlapPercent = 30;
    job.maxSyncNoMatchRetry = 3;
    job.startTime = std::time(nullptr);
    return job;
  }

  // Runs the thread to its end on a queue main loop; cancelAfter > 0 cancels after that long.
  void Run(TCDExtractThread& thread, std::chrono::milliseconds cancelAfter = std::chrono::milliseconds(0)) {
    bool finished = false;
    thread.SetOnFinished([&] { finished = true; });
    thread.Start();
    if (cancelAfter.count() > 0) {
      loop_.RunUntil([&] { return finished; }, cancelAfter);
      thread.Cancel();
    }
    ASSERT_TRUE(loop_.RunUntil([&] { return finished; }, std::chrono::seconds(120)));
  }

  void ExpectStartLines(const std::string& second, int track, const std::string& path) {
    ASSERT_GE(host_.lines.size(), 4u);
    EXPECT_EQ(host_.lines[0], "");
    EXPECT_EQ(host_.lines[1], second);
    char reading[32];
    std::snprintf(reading, sizeof reading, "Reading: Track %02i", track);
    EXPECT_EQ(host_.lines[2], reading);
    EXPECT_EQ(host_.lines[3], "To: " + path);
  }

  testcd::ScopedEnv libDir_{"ZIMBAR_LIB_DIR", ZIMBAR_BIN_DIR};
  testcd::TempDir dir_;
  testcd::DiscImage image_{dir_.Path(), "disc",
                           {testcd::Join({testcd::Silence(13), testcd::Tone(90, 440.0, 15000)}),
                            testcd::Join({testcd::Noise(70, 3, 25000), testcd::Silence(9), testcd::Tone(61, 1000.0, 8000)}),
                            testcd::Tone(400, 440.0, 12000)}};
  QueueMainLoop loop_;
  RecordingHost host_;
};

// Catches: rips that are not byte-identical to the disc, or a header with the wrong size.
TEST_F(ExtractThreadTest, CleanRipWithoutJitterCorrectionIsBitExact) {
  for (bool osInterface : {true, false}) {
    ReaderJob job = Job(2, "track02.wav");
    job.osInterface = osInterface;
    RecordingHost host;
    Worker<TCDExtractThread> thread(loop_, host, job);
    Run(thread);
    host_ = host;
    ExpectStartLines("16-sector read", 2, job.outputPath);
    EXPECT_EQ(host.lines.size(), 4u);
    EXPECT_FALSE(thread.Error());
    EXPECT_FALSE(thread.Warning());
    const WavFile wav = ReadWav(job.outputPath);
    EXPECT_EQ(wav.audio, testcd::Bytes(image_.Track(2))) << "OS interface " << osInterface;
    EXPECT_EQ(wav.dataSize, wav.audio.size());
    EXPECT_EQ(wav.format.channels, 2);
    EXPECT_EQ(wav.format.sampleRate, 44100u);
  }
}

// Catches: a request block or image list shared between reading threads, or images that
// reach the library other than with the job: two threads of two front ends read the same
// drive index at once, each naming its own disc image, and each gets its own disc's audio.
TEST_F(ExtractThreadTest, ThreadsWithTheirOwnImagesReadTheirOwnDiscsAtOnce) {
  const testcd::DiscImage other(dir_.Path(), "other", {testcd::Noise(150, 21, 9000)});
  ReaderJob mine = Job(3, "mine.wav");
  ReaderJob theirs = mine;
  theirs.discImages = other.Images();
  theirs.outputPath = dir_.File("theirs.wav");
  theirs.track = 1;
  theirs.firstSector = -1;   // read from the table of contents of the job's own disc
  theirs.endSector = -1;
  ASSERT_EQ(other.DriveIndex(), mine.drive);
  RecordingHost otherHost;
  Worker<TCDExtractThread> first(loop_, host_, mine);
  Worker<TCDExtractThread> second(loop_, otherHost, theirs);
  int finished = 0;
  first.SetOnFinished([&] { ++finished; });
  second.SetOnFinished([&] { ++finished; });
  first.Start();
  second.Start();
  ASSERT_TRUE(loop_.RunUntil([&] { return finished == 2; }, std::chrono::seconds(120)));
  EXPECT_FALSE(first.Error());
  EXPECT_FALSE(second.Error());
  EXPECT_EQ(ReadWav(mine.outputPath).audio, testcd::Bytes(image_.Track(3)));
  EXPECT_EQ(ReadWav(theirs.outputPath).audio, testcd::Bytes(other.Track(1)));
}

// Catches: a rip that needs the pipeline to pass the track's sectors (it may pass -1).
TEST_F(ExtractThreadTest, TrackSectorsComeFromTheDiscWhenNotGiven) {
  ReaderJob job = Job(3, "t3.wav");
  job.firstSector = job.endSector = -1;
  Worker<TCDExtractThread> thread(loop_, host_, job);
  Run(thread);
  EXPECT_FALSE(thread.Error());
  EXPECT_EQ(ReadWav(job.outputPath).audio, testcd::Bytes(image_.Track(3)));
}

// Catches: jitter leaking into the file, and corrections that are not reported as warnings.
TEST_F(ExtractThreadTest, JitterCorrectedRipIsBitExactAndWarns) {
  testcd::ScopedEnv simulate("ZIMBAR_CD_SIMULATE", "jitter=100,share=0.33,seed=7");
  ReaderJob job = Job(2, "track02.wav");
  job.jitterCorrection = true;
  job.sectorsPerRead = 24;
  Worker<TCDExtractThread> thread(loop_, host_, job);
  Run(thread);
  ExpectStartLines("24-sector read; correcting jitters", 2, job.outputPath);
  EXPECT_EQ(ReadWav(job.outputPath).audio, testcd::Bytes(image_.Track(2)));
  EXPECT_FALSE(thread.Error());
  EXPECT_TRUE(thread.Warning());
  EXPECT_EQ(host_.CountStartingWith("    Warning: Made "), 1);
  ASSERT_FALSE(host_.lines.empty());
  EXPECT_TRUE(host_.lines.back().starts_with("    Warning: Made ")) << "the corrections line comes at 100 %";
  EXPECT_NE(host_.lines.back().find("(At 100.00%)"), std::string::npos);
}

// Catches: wrong lengths, rates or channel counts of the converted rips.
TEST_F(ExtractThreadTest, MonoAndHalfRateRipsHaveTheirFormat) {
  const Audio& track = image_.Track(1);
  const size_t frames = track.size() / 2;
  for (auto [mono, half] : {std::pair{true, false}, {false, true}, {true, true}}) {
    ReaderJob job = Job(1, "t.wav");
    job.mono = mono;
    job.rate22050 = half;
    RecordingHost host;
    Worker<TCDExtractThread> thread(loop_, host, job);
    Run(thread);
    const WavFile wav = ReadWav(job.outputPath);
    EXPECT_EQ(wav.format.channels, mono ? 1 : 2);
    EXPECT_EQ(wav.format.sampleRate, half ? 22050u : 44100u);
    const size_t outFrames = half ? frames / 2 : frames;
    ASSERT_EQ(wav.audio.size(), outFrames * (mono ? 2 : 4));
    EXPECT_EQ(wav.dataSize, wav.audio.size());
    std::vector<int16_t> samples(wav.audio.size() / 2);
    std::memcpy(samples.data(), wav.audio.data(), wav.audio.size());
    if (mono && !half) {
      for (size_t i = 0; i < frames; ++i) ASSERT_EQ(samples[i], (track[2 * i] + track[2 * i + 1]) >> 1) << i;
    } else {
      // The 440 Hz tone after 13 sectors of silence, compared with the ideal tone.
      const size_t channels = mono ? 1 : 2;
      double worst = 0;
      for (size_t m = 13 * 294 + 200; m < outFrames - 200; ++m) {
        const double t = static_cast<double>(2 * m - 13 * 588) / 44100.0;
        const double left = 15000.0 * std::sin(2 * M_PI * 440.0 * t);
        const double right = 15000.0 * std::sin(2 * M_PI * 440.0 * t + 0.5);
        const double ideal = mono ? std::floor((std::round(left) + std::round(right)) / 2) : left;
        worst = std::max(worst, std::abs(samples[m * channels] - ideal));
      }
      EXPECT_LT(worst, 6.0) << "mono " << mono;
    }
  }
}

// Catches: read errors that a retry cured being hidden, or turned into failures.
TEST_F(ExtractThreadTest, TransientReadErrorsWarnAndStillRipExactly) {
  testcd::ScopedEnv simulate("ZIMBAR_CD_SIMULATE", "transient=3,seed=5");
  ReaderJob job = Job(3, "t3.wav");
  job.jitterCorrection = true;
  job.sectorsPerRead = 20;
  Worker<TCDExtractThread> thread(loop_, host_, job);
  Run(thread);
  EXPECT_EQ(host_.CountStartingWith("    Warning: CD Drive Error 17. (At "), 3);
  EXPECT_TRUE(thread.Warning());
  EXPECT_FALSE(thread.Error());
  EXPECT_EQ(ReadWav(job.outputPath).audio, testcd::Bytes(image_.Track(3)));
}

// Catches: an unreadable sector ending in a rip reported as good, or a failed rip kept
// under the name of a finished one (it would look finished).
TEST_F(ExtractThreadTest, UnreadableSectorEndsInError) {
  const int32_t bad = image_.Start(3) + 100;
  testcd::ScopedEnv simulate("ZIMBAR_CD_SIMULATE", "bad=" + std::to_string(bad) + "-" + std::to_string(bad + 1));
  const ReaderJob job = Job(3, "t3.wav");
  Worker<TCDExtractThread> thread(loop_, host_, job);
  Run(thread);
  EXPECT_TRUE(thread.Error());
  EXPECT_EQ(host_.CountStartingWith("    Error: CD-ROM read error. (At "), 1);
  EXPECT_FALSE(std::filesystem::exists(job.outputPath));
  EXPECT_EQ(host_.lines.back(), "    Kept the unfinished file as " + dir_.File("t3.part.wav") + " (failed).");
  const WavFile wav = ReadWav(dir_.File("t3.part.wav"));
  EXPECT_EQ(wav.audio.size(), image_.Track(3).size() * 2);
}

// Catches a reader line that a host can only classify by its words: the job's lines open
// with a Begin event, name their track from the heading on, and the read error, the
// drive's warnings and the kept unfinished file carry their severity.
TEST_F(ExtractThreadTest, LinesCarryTheirSeverityAndTrack) {
  const int32_t bad = image_.Start(3) + 100;
  testcd::ScopedEnv simulate("ZIMBAR_CD_SIMULATE",
                             "transient=1,seed=5,bad=" + std::to_string(bad) + "-" + std::to_string(bad + 1));
  ReaderJob job = Job(3, "t3.wav");
  job.jitterCorrection = true;
  Worker<TCDExtractThread> thread(loop_, host_, job);
  Run(thread);
  ASSERT_GE(host_.events.size(), 5u);
  EXPECT_EQ(host_.events[0], LogEvent::Begin());
  EXPECT_EQ(host_.events[1].severity, LogSeverity::Info);
  EXPECT_EQ(host_.events[1].subject, "");
  EXPECT_EQ(host_.events[2], LogEvent::Info("Reading: Track 03", "Track 03"));
  for (const LogEvent& event : host_.events) {
    SCOPED_TRACE(event.text);
    if (&event != &host_.events[0] && &event != &host_.events[1]) {
      EXPECT_EQ(event.subject, "Track 03");
    }
    const LogSeverity expected = event.text.starts_with("    Error: ")     ? LogSeverity::Error
                                 : event.text.starts_with("    Warning: ") ? LogSeverity::Warning
                                 : event.text.empty()                      ? LogSeverity::Begin
                                                                           : LogSeverity::Info;
    EXPECT_EQ(event.severity, expected);
  }
  EXPECT_EQ(host_.events.back(), LogEvent::Info("    Kept the unfinished file as " + dir_.File("t3.part.wav") +
                                                " (failed).", "Track 03"));
}

// Catches: a missing reader library that crashes, gives wrong lines, or leaves a file
// whose header claims a whole track although no audio was read (it looked finished).
TEST_F(ExtractThreadTest, MissingLibraryLeavesNoFile) {
  testcd::ScopedEnv noLibrary("ZIMBAR_LIB_DIR", dir_.Path());
  const ReaderJob job = Job(1, "t1.wav");
  Worker<TCDExtractThread> thread(loop_, host_, job);
  Run(thread);
  ExpectStartLines("16-sector read", 1, job.outputPath);
  EXPECT_EQ(host_.lines.size(), 5u);
  EXPECT_EQ(host_.lines.back(), "    Error: Cannot load NT reader.");
  EXPECT_TRUE(thread.Error());
  EXPECT_FALSE(std::filesystem::exists(job.outputPath));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("t1.part.wav")));
}

// Catches: a library without its entry being called anyway.
TEST_F(ExtractThreadTest, LibraryWithoutEntryIsAnError) {
  testcd::ScopedEnv fake("ZIMBAR_LIB_DIR", std::string(ZIMBAR_FAKES_DIR) + "/cd-no-entry");
  Worker<TCDExtractThread> thread(loop_, host_, Job(1, "t1.wav"));
  Run(thread);
  EXPECT_EQ(host_.lines.back(), "    Error: Cannot load NT reader function.");
  EXPECT_TRUE(thread.Error());
}

// Catches: messages posted after the last poll being lost, and wrong progress formatting.
TEST_F(ExtractThreadTest, MessagesAfterTheLastPollAreShown) {
  testcd::ScopedEnv fake("ZIMBAR_LIB_DIR", std::string(ZIMBAR_FAKES_DIR) + "/cd-scripted");
  testcd::ScopedEnv script("ZIMBAR_FAKE_NTREAD_MESSAGES", "12:4250,9:0,12:12345,5:0,12:507,7:42,10:1,2:0,11:0");
  testcd::ScopedEnv audio("ZIMBAR_FAKE_NTREAD_AUDIO", "0:0:0");
  ReaderJob job = Job(1, "t1.wav");
  job.startTime = 0;   // long ago: the first progress value shows, the next ones wait 2 s
  Worker<TCDExtractThread> thread(loop_, host_, job);
  Run(thread);
  const std::vector<std::string> expected = {"    Warning: Sync Error. (At 42.50%)",
                                             "    Warning: Suspicious position at track end. (At 100.00%)",
                                             "    Warning: CD Drive Error 42. (At 5.07%)",
                                             "    Error: CD-ROM read error. (At 5.07%)"};
  ASSERT_EQ(host_.lines.size(), 4u + expected.size());
  EXPECT_EQ(std::vector<std::string>(host_.lines.begin() + 4, host_.lines.end()), expected);
  EXPECT_TRUE(thread.Error());
  EXPECT_TRUE(thread.Warning());
  EXPECT_EQ(host_.statuses, (std::vector<std::string>{" CD Reader: 42.50%, Track 01 - " + dir_.File("t1.wav"),
                                                       " CD Reader: Finding start of track, Track 01 - " + dir_.File("t1.wav")}));
}

// Catches: a cancel that is not passed on, that normalizes anyway, or leaves a stale header.
TEST_F(ExtractThreadTest, CancelMidTrackKeepsWhatWasRead) {
  testcd::ScopedEnv simulate("ZIMBAR_CD_SIMULATE", "delay=5");   // a slow drive: over a second a track
  ReaderJob job = Job(3, "t3.wav");
  job.sectorsPerRead = 8;
  job.jitterCorrection = true;
  job.overlapPercent = 80;
  job.normalize = true;
  Worker<TCDExtractThread> thread(loop_, host_, job);
  Run(thread, std::chrono::milliseconds(150));
  EXPECT_FALSE(host_.Has("    Normalizing."));
  EXPECT_FALSE(std::filesystem::exists(job.outputPath));
  EXPECT_TRUE(host_.Has("    Kept the unfinished file as " + dir_.File("t3.part.wav") + " (cancelled)."));
  const WavFile wav = ReadWav(dir_.File("t3.part.wav"));
  EXPECT_LT(wav.audio.size(), image_.Track(3).size() * 2);
  EXPECT_EQ(wav.dataSize, wav.audio.size());
  EXPECT_EQ(static_cast<int64_t>(wav.audio.size()), thread.DataBytes());
  const auto expected = testcd::Bytes(image_.Track(3));
  EXPECT_TRUE(std::equal(wav.audio.begin(), wav.audio.end(), expected.begin()));
}

// Catches: a rip into a folder that does not exist yet failing to create the file.
TEST_F(ExtractThreadTest, MissingOutputFoldersAreCreated) {
  const ReaderJob job = Job(1, "new/deeper/deepest/t1.wav");
  Worker<TCDExtractThread> thread(loop_, host_, job);
  Run(thread);
  EXPECT_FALSE(thread.Error());
  EXPECT_EQ(ReadWav(job.outputPath).audio, testcd::Bytes(image_.Track(1)));
}

// Catches: a create error without its reason (a bare "Cannot create file"): a folder on
// the way that is a file, and a name longer than the file system takes.
TEST_F(ExtractThreadTest, CreateErrorsGiveTheReason) {
  { std::ofstream(dir_.File("plain")) << "a file, not a folder"; }
  const std::pair<std::string, std::string> cases[] = {
      {"plain/t1.wav", "    Error: Cannot create folder " + dir_.File("plain") + ": Not a directory"},
      {std::string(300, 'x') + ".wav", "    Error: Cannot create file: File name too long"}};
  for (const auto& [name, line] : cases) {
    RecordingHost host;
    Worker<TCDExtractThread> thread(loop_, host, Job(1, name));
    Run(thread);
    EXPECT_TRUE(thread.Error());
    EXPECT_EQ(host.lines.back(), line);
  }
}

// Catches: a rip that replaces an existing WAV before it has succeeded (a cancelled or
// failed read lost the earlier rip).
TEST_F(ExtractThreadTest, CancelledRipLeavesTheExistingWav) {
  testcd::ScopedEnv simulate("ZIMBAR_CD_SIMULATE", "delay=5");
  ReaderJob job = Job(3, "t3.wav");
  job.keepPartialOutput = false;
  { std::ofstream(job.outputPath) << "earlier rip"; }
  Worker<TCDExtractThread> thread(loop_, host_, job);
  Run(thread, std::chrono::milliseconds(150));
  const auto bytes = testcd::ReadFile(job.outputPath);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "earlier rip");
  EXPECT_FALSE(std::filesystem::exists(dir_.File("t3.part.wav")));
  size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_.Path())) ++entries;
  EXPECT_EQ(entries, 3u) << "only disc.cue, disc.bin and t3.wav may be there";
}

// Catches: an existing file replaced although the user said No.
TEST_F(ExtractThreadTest, NoToOverwriteLeavesTheFile) {
  ReaderJob job = Job(1, "t1.wav");
  job.confirmOverwrite = true;
  { std::ofstream(job.outputPath) << "keep me"; }
  Worker<TCDExtractThread> thread(loop_, host_, job);
  Run(thread);
  EXPECT_EQ(host_.questions, std::vector<std::string>{"Overwrite existing file " + job.outputPath + " ?|zbmaker Confirmation"});
  EXPECT_EQ(host_.lines.size(), 4u);
  EXPECT_FALSE(thread.Error());
  const auto bytes = testcd::ReadFile(job.outputPath);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "keep me");
}

// Normalization through the thread, with the scripted library reporting chosen peaks.
class ExtractNormalizeTest : public ExtractThreadTest {
 protected:
  RecordingHost RunWith(const std::string& audio, const std::string& claim = "0") {
    testcd::ScopedEnv fake("ZIMBAR_LIB_DIR", std::string(ZIMBAR_FAKES_DIR) + "/cd-scripted");
    testcd::ScopedEnv script("ZIMBAR_FAKE_NTREAD_AUDIO", audio);
    testcd::ScopedEnv claimed("ZIMBAR_FAKE_NTREAD_CLAIM", claim);
    ReaderJob job = Job(1, "n.wav");
    job.normalize = true;
    RecordingHost host;
    Worker<TCDExtractThread> thread(loop_, host, job);
    Run(thread);
    error_ = thread.Error();
    peak_ = thread.PeakMaximum();
    wav_ = ReadWav(job.outputPath);
    return host;
  }
  bool error_ = false;
  int peak_ = 0;
  WavFile wav_;
};

// Catches: a 91 % track left alone, or scaled by anything but 32 767 / 30 000.
TEST_F(ExtractNormalizeTest, QuietTrackIsScaled) {
  const RecordingHost host = RunWith("3000:30000:-20000");
  EXPECT_TRUE(host.Has("    Normalizing."));
  EXPECT_FALSE(host.Has("    Normalization not needed."));
  EXPECT_FALSE(error_);
  EXPECT_EQ(peak_, 30000);
  std::vector<int16_t> s(wav_.audio.size() / 2);
  std::memcpy(s.data(), wav_.audio.data(), wav_.audio.size());
  ASSERT_EQ(s.size(), 6000u);
  const float f = NormalizeFactor(100, 30000);
  EXPECT_EQ(s[0], 32767);
  EXPECT_EQ(s[1], ScaleSample(-20000, f));
  EXPECT_EQ(s[5998], ScaleSample(15000, f));
  EXPECT_EQ(wav_.dataSize, 12000u);
}

// Catches: loud tracks (97 %, -32 768) scaled, or a silent track logged at all.
TEST_F(ExtractNormalizeTest, LoudAndSilentTracksAreLeftAlone) {
  RecordingHost host = RunWith("100:32000:-5");
  EXPECT_TRUE(host.Has("    Normalization not needed."));
  host = RunWith("100:5:-32768");
  EXPECT_TRUE(host.Has("    Normalization not needed."));
  EXPECT_EQ(peak_, 32768);
  host = RunWith("0:0:0");
  EXPECT_FALSE(host.Has("    Normalizing."));
  EXPECT_EQ(host.lines.size(), 4u);
}

// Catches: normalization looping for ever when the library claims more audio than written.
TEST_F(ExtractNormalizeTest, ClaimedBytesBeyondTheFileEndInReadError) {
  const RecordingHost host = RunWith("1000:20000:-20000", "5000");
  EXPECT_TRUE(host.Has("    Error: Cannot read file."));
  EXPECT_TRUE(error_);
}

}  // namespace

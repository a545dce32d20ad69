// EncodeM4aFile against ffprobe and ffmpeg's reading of the files it writes.
#include "maker/codec/m4a_encoder.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/maker/codec/codec_test_support.h"
#include "tests/maker/codec/m4a_test_media.h"

using namespace m4a_test;

namespace {

constexpr int kFinished = static_cast<int>(CodecEvent::Finished);
constexpr int kProgress = static_cast<int>(CodecEvent::Progress);
constexpr int kAacFrame = 1024;

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

class M4aEncodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are needed as references";
  }
  void Encode(const std::string& input, int bitRate = 128) {
    events_ = {};
    EncodeM4aFile(input, Out(), {.bitRate = bitRate}, &events_, CollectEvent);
  }
  std::string Out() const { return dir_.File("out.m4a"); }
  int FinalKind() const { return events_.events.empty() ? -1 : events_.events.back().kind; }
  std::string FinalText() const { return events_.events.empty() ? "" : events_.events.back().text; }

  ScratchDir dir_;
  EventLog events_;
};

}  // namespace

// Catches a file without the edit list that hides the encoder's priming or with one that
// rounds the length (ffprobe then shows another length than the input's), a wrong rate or
// channel count, interleaved samples read as the wrong channel, wrong scaling, or output
// that does not line up with the input.
TEST_F(M4aEncodeTest, FileHoldsTheInputsToneWithItsLengthRateAndChannels) {
  const struct {
    uint16_t channels;
    uint32_t rate;
  } cases[] = {{2, 44100}, {1, 44100}, {2, 48000}, {1, 22050}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " channels, " + std::to_string(c.rate) + " Hz");
    const uint32_t frames = c.rate / 2 + 777;  // not a whole number of AAC frames
    WriteTestWav(dir_.File("in.wav"), c.channels, c.rate, frames);
    Encode(dir_.File("in.wav"));
    EXPECT_EQ(events_.Kinds().back(), kFinished);
    EXPECT_EQ(events_.events.size(), events_.ProgressValues().size() + 1);
    EXPECT_EQ(ProbeValue(Out(), "stream=codec_name,profile,sample_rate,channels"),
              "aac\nLC\n" + std::to_string(c.rate) + "\n" + std::to_string(c.channels));
    EXPECT_EQ(ProbeValue(Out(), "format_tags=major_brand"), "M4A ");
    const long durationTs = std::stol(ProbeValue(Out(), "stream=duration_ts"));
    EXPECT_EQ(durationTs, static_cast<long>(frames));

    const std::vector<int16_t> want = Samples(WavData(dir_.File("in.wav")));
    const std::vector<int16_t> got = Samples(FfmpegSamples(Out()));
    ASSERT_GE(got.size(), want.size());
    EXPECT_GT(SnrDb(want, got, 2 * kAacFrame * c.channels), 25.0);
  }
}

// Catches a bit rate that does not reach the encoder: noise makes it spend what it is given.
TEST_F(M4aEncodeTest, BitRateReachesTheEncoder) {
  WriteNoiseWav(dir_.File("noise.wav"), 2, 44100, 3 * 44100);
  for (const int kbps : {64, 192}) {
    SCOPED_TRACE(kbps);
    Encode(dir_.File("noise.wav"), kbps);
    ASSERT_EQ(FinalKind(), kFinished);
    const double bitRate = std::stod(ProbeValue(Out(), "stream=bit_rate"));
    EXPECT_NEAR(bitRate / 1000.0, kbps, kbps * 0.2);
  }
}

// Catches progress that stalls or runs past 100%, and a cancel that leaves a file no
// player reads: the file ends where the input stopped being read.
TEST_F(M4aEncodeTest, ProgressRisesAndCancelEndsAPlayableShorterFile) {
  const uint32_t frames = 5 * 44100;
  WriteTestWav(dir_.File("in.wav"), 2, 44100, frames);
  Encode(dir_.File("in.wav"));
  const std::vector<int32_t> progress = events_.ProgressValues();
  ASSERT_GE(progress.size(), 5u);  // at least once a second of audio
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_GT(progress.front(), 0);
  EXPECT_LE(progress.back(), 10000);

  events_ = {};
  events_.stopAtProgress = 2;
  EncodeM4aFile(dir_.File("in.wav"), Out(), {.bitRate = 128}, &events_, CollectEvent);
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{kProgress, kProgress, kFinished}));
  const long durationTs = std::stol(ProbeValue(Out(), "stream=duration_ts"));
  EXPECT_NEAR(durationTs, 16 * kAacFrame, kAacFrame);
}

// Catches input the encoder cannot take reaching it, or an empty output left behind.
TEST_F(M4aEncodeTest, RefusedInputsLeaveNoOutput) {
  WriteTestWav(dir_.File("8bit.wav"), 2, 44100, 4000, 8);
  WriteTestWav(dir_.File("11k.wav"), 2, 11025, 4000);
  WriteTestWav(dir_.File("3ch.wav"), 3, 44100, 4000);
  WriteFile(dir_.File("text.wav"), "this is no WAV file at all, nothing like one");
  const struct {
    std::string input;
    CodecEvent kind;
    std::string text;
  } cases[] = {{"8bit.wav", CodecEvent::NotPcm16, ""},
               {"11k.wav", CodecEvent::BadSampleRate, ""},
               {"3ch.wav", CodecEvent::CodecFailed,
                "Encoder/decoder failed. M4A files are written with one or two channels."},
               {"text.wav", CodecEvent::InvalidWavHeader, ""},
               {"missing.wav", CodecEvent::CannotOpenInput, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    Encode(dir_.File(c.input));
    EXPECT_EQ(events_.Kinds(), (std::vector<int>{static_cast<int>(c.kind)}));
    if (!c.text.empty()) {
      EXPECT_EQ(FinalText(), c.text);
    }
    EXPECT_FALSE(Exists(Out()));
  }
}

// Catches write errors of the muxer going unseen (a truncated file reported as done), or
// reported as a failure of the encoder rather than of the output.
TEST_F(M4aEncodeTest, OutputThatCannotBeWrittenIsReported) {
  WriteTestWav(dir_.File("in.wav"), 2, 44100, 4 * 44100);
  Encode(dir_.File("in.wav"));
  ASSERT_EQ(FinalKind(), kFinished);
  const std::string whole = ReadFile(Out());
  // A disk that fills in the middle of the audio, and one that has no room left for the
  // index written at the end.
  for (const size_t room : {whole.size() / 2, whole.size() - 200}) {
    SCOPED_TRACE(room);
    {
      ScopedFileSizeLimit limit(room);
      Encode(dir_.File("in.wav"));
    }
    EXPECT_EQ(events_.Kinds().back(), static_cast<int>(CodecEvent::CannotWriteOutput));
  }
  EncodeM4aFile(dir_.File("in.wav"), dir_.File("no/such/folder/out.m4a"), {.bitRate = 128}, &events_, CollectEvent);
  EXPECT_EQ(events_.Kinds().back(), static_cast<int>(CodecEvent::CannotCreateOutput));
}

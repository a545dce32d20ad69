// End-to-end runs of the codec threads against the real outside libraries in build/bin.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>

#include "common/wav_header.h"
#include "maker/codec/decoding_thread.h"
#include "maker/codec/encoding_thread.h"
#include "tests/maker/codec/codec_test_support.h"

namespace {

// Output of a command line built by the test from its own paths.
std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[512];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}

// A single-quoted shell word for any path.
std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string Probe(const std::string& path) {
  return Capture("ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,channels,sample_rate,bit_rate "
                 "-of default=nw=1 " + Quote(path) + " 2>&1");
}

// The sample bytes behind the "data" chunk of a WAV file.
std::string WavData(const std::string& path) {
  const std::string bytes = ReadFile(path);
  const size_t at = bytes.find("data", 12);
  return at == std::string::npos ? std::string() : bytes.substr(at + 8);
}

class CodecEndToEnd : public ::testing::Test {
 protected:
  CodecEndToEnd() : libDir_("ZIMBAR_LIB_DIR", ZIMBAR_BIN_DIR) {}

  template <typename Thread, typename Job>
  std::unique_ptr<Thread> Run(const Job& job) {
    std::unique_ptr<Thread> thread = std::make_unique<Worker<Thread>>(loop_, host_, job);
    bool finished = false;
    thread->SetOnFinished([&] { finished = true; });
    thread->Start();
    EXPECT_TRUE(loop_.RunUntil([&] { return finished; }, std::chrono::seconds(120)));
    return thread;
  }
  std::string ToneWav(const std::string& name, uint16_t channels, uint32_t rate, uint32_t frames) {
    WriteTestWav(dir_.File(name), channels, rate, frames);
    return dir_.File(name);
  }

  ScratchDir dir_;
  ScopedEnv libDir_;
  QueueMainLoop loop_;
  RecordingHost host_;
};

}  // namespace

// Catches an MP3 encode that fails, reports the wrong rate or ignores the mono option.
TEST_F(CodecEndToEnd, EncodesMp3AtTheRequestedRateAndMode) {
  EncoderJob job;
  job.inputPath = ToneWav("stereo.wav", 2, 44100, 88200);
  job.bitRate = 128;
  auto thread = Run<TEncodingThread>(job);
  EXPECT_FALSE(thread->Error()) << host_.log.back();
  EXPECT_EQ(host_.log.back().rfind("    Done (", 0), 0u);
  EXPECT_EQ(Probe(dir_.File("stereo.mp3")), "codec_name=mp3\nsample_rate=44100\nchannels=2\nbit_rate=128000\n");

  job.inputPath = ToneWav("mono.wav", 2, 44100, 88200);
  job.mono = true;
  thread = Run<TEncodingThread>(job);
  EXPECT_FALSE(thread->Error());
  EXPECT_EQ(Probe(dir_.File("mono.mp3")), "codec_name=mp3\nsample_rate=44100\nchannels=1\nbit_rate=64000\n");
}

// Catches an AAC file without its ADIF header, or one our own decoder cannot read back.
TEST_F(CodecEndToEnd, EncodesAacAndDecodesItBack) {
  EncoderJob job;
  job.inputPath = ToneWav("tone.wav", 2, 44100, 44100);
  job.mpegMode = 3;
  job.bitRate = 128;
  auto encoder = Run<TEncodingThread>(job);
  ASSERT_FALSE(encoder->Error()) << host_.log.back();
  EXPECT_EQ(ReadFile(dir_.File("tone.aac")).substr(0, 4), "ADIF");

  ::rename(dir_.File("tone.wav").c_str(), dir_.File("original.wav").c_str());
  DecoderJob decode;
  decode.inputPath = dir_.File("tone.aac");
  auto decoder = Run<TDecodingThread>(decode);
  ASSERT_FALSE(decoder->Error()) << host_.log.back();
  WavFormatInfo info;
  ASSERT_EQ(ReadWavHeaderFromPath(dir_.File("tone.wav").c_str(), info), 0);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.sampleRate, 44100u);
  const std::string data = WavData(dir_.File("tone.wav"));
  EXPECT_EQ(data.size() % 4096, 0u);
  // One second of tone, give or take the encoder delay and the last block.
  EXPECT_GT(data.size(), 40u * 4096u);
  EXPECT_LT(data.size(), 48u * 4096u);
  double energy = 0;
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    const auto sample = static_cast<int16_t>(static_cast<uint8_t>(data[i]) | (static_cast<uint8_t>(data[i + 1]) << 8));
    energy += static_cast<double>(sample) * sample;
  }
  const double rms = std::sqrt(energy / (static_cast<double>(data.size()) / 2));
  EXPECT_GT(rms, 4000.0);  // the tone's RMS is about 8500
  EXPECT_LT(rms, 12000.0);
}

// Catches decoded samples that differ from the reference decoder's.
TEST_F(CodecEndToEnd, DecodesMp3SampleForSampleLikeTheReference) {
  const struct {
    const char* name;
    uint16_t channels;
    uint32_t rate;
    const char* lameOptions;
  } cases[] = {{"stereo", 2, 44100, "-b 128"}, {"mono", 1, 22050, "-m m -b 32"}};
  for (const auto& c : cases) {
    const std::string wav = ToneWav(std::string(c.name) + "-src.wav", c.channels, c.rate, c.rate * 2);
    const std::string mp3 = dir_.File(std::string(c.name) + ".mp3");
    const std::string reference = dir_.File(std::string(c.name) + "-ref.wav");
    Capture("lame --quiet " + std::string(c.lameOptions) + " " + Quote(wav) + " " + Quote(mp3) + " 2>&1");
    Capture("mpg123 -q -w " + Quote(reference) + " " + Quote(mp3) + " 2>&1");
    ASSERT_FALSE(WavData(reference).empty()) << "lame or mpg123 produced nothing";
    DecoderJob job;
    job.inputPath = mp3;
    auto thread = Run<TDecodingThread>(job);
    ASSERT_FALSE(thread->Error()) << host_.log.back();
    WavFormatInfo info;
    ASSERT_EQ(ReadWavHeaderFromPath(dir_.File(std::string(c.name) + ".wav").c_str(), info), 0);
    EXPECT_EQ(info.channels, c.channels);
    EXPECT_EQ(info.sampleRate, c.rate);
    EXPECT_TRUE(WavData(dir_.File(std::string(c.name) + ".wav")) == WavData(reference)) << c.name;
  }
}

// Catches the default external program slot not producing its output before the job ends.
TEST_F(CodecEndToEnd, DefaultExternalSlotRunsTheEncoder) {
  EncoderJob job;
  job.mpegMode = 4;
  job.inputPath = ToneWav("it's a \"test\" $(x).wav", 2, 44100, 44100);
  job.externalCommand = R"(lame --quiet "$full$" "$path$$name$.mp3")";
  auto thread = Run<TEncodingThread>(job);
  EXPECT_FALSE(thread->Error()) << host_.log.back();
  EXPECT_NE(Probe(dir_.File("it's a \"test\" $(x).mp3")).find("codec_name=mp3"), std::string::npos);
}

// Catches an encode of a WAV without samples reported as done with a file no decoder
// reads: a header alone, a header whose data size claims audio the file lacks, and half a
// sample frame are each an error before any output exists, for both encoders.
TEST_F(CodecEndToEnd, WavWithoutSamplesIsAnErrorAndWritesNothing) {
  const struct {
    const char* name;
    uint32_t keepDataBytes;  // of one frame of tone
    bool claimMore;
  } inputs[] = {{"header", 0, false}, {"claims", 0, true}, {"half", 2, false}};
  for (const auto& input : inputs) {
    for (const int mpegMode : {1, 3}) {
      WriteTestWav(dir_.File("empty.wav"), 2, 44100, 1);
      std::string bytes = ReadFile(dir_.File("empty.wav"));
      bytes.resize(44 + input.keepDataBytes);
      if (input.claimMore) bytes[40] = char(0xE8), bytes[41] = 0x03;  // 1000 bytes
      else bytes[40] = char(input.keepDataBytes);
      WriteFile(dir_.File("empty.wav"), bytes);
      EncoderJob job;
      job.inputPath = dir_.File("empty.wav");
      job.mpegMode = mpegMode;
      job.bitRate = 128;
      auto thread = Run<TEncodingThread>(job);
      const std::string out = dir_.File(mpegMode == 3 ? "empty.aac" : "empty.mp3");
      EXPECT_TRUE(thread->Error()) << input.name << " " << mpegMode;
      EXPECT_EQ(host_.log.back(), "    Error: Encoder/decoder failed. The input file holds no audio. (At 0.00%)")
          << input.name << " " << mpegMode;
      EXPECT_FALSE(std::ifstream(out).good()) << "no output for " << input.name << " " << mpegMode;
    }
  }
}

// Catches an encoder that refuses an RF64 input or encodes the chunk behind its audio: the
// same tone as RF64 (ffmpeg's) and as plain RIFF gives the same MP3 and the same AAC.
TEST_F(CodecEndToEnd, Rf64InputEncodesLikeTheRiffFile) {
  const std::string riff = ToneWav("riff.wav", 2, 44100, 44100);
  Capture("ffmpeg -v error -y -i " + Quote(riff) + " -metadata title=x -rf64 always -c copy " +
          Quote(dir_.File("rf64.wav")) + " 2>&1");
  ASSERT_EQ(ReadFile(dir_.File("rf64.wav")).substr(0, 4), "RF64");
  for (const int mpegMode : {1, 3}) {
    const char* extension = mpegMode == 3 ? ".aac" : ".mp3";
    for (const char* name : {"riff", "rf64"}) {
      EncoderJob job;
      job.inputPath = dir_.File(std::string(name) + ".wav");
      job.mpegMode = mpegMode;
      job.bitRate = 128;
      auto thread = Run<TEncodingThread>(job);
      ASSERT_FALSE(thread->Error()) << host_.log.back();
    }
    EXPECT_TRUE(ReadFile(dir_.File(std::string("riff") + extension)) == ReadFile(dir_.File(std::string("rf64") + extension)))
        << extension;
  }
}

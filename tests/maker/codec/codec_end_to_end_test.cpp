// End-to-end runs of the codec threads against the real outside libraries in build/bin.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>
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
  // Starts every job's thread at once and turns the loop until all have ended.
  template <typename Thread, typename Job>
  std::vector<std::unique_ptr<Thread>> RunTogether(const std::vector<Job>& jobs) {
    std::vector<std::unique_ptr<Thread>> threads;
    size_t finished = 0;
    for (const Job& job : jobs) {
      threads.push_back(std::make_unique<Worker<Thread>>(loop_, host_, job));
      threads.back()->SetOnFinished([&] { ++finished; });
    }
    for (auto& thread : threads) thread->Start();
    EXPECT_TRUE(loop_.RunUntil([&] { return finished == threads.size(); }, std::chrono::seconds(120)));
    return threads;
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
  job.mp3.bitRate = 128;
  auto thread = Run<TEncodingThread>(job);
  EXPECT_FALSE(thread->Error()) << host_.log.back();
  EXPECT_EQ(host_.log.back().rfind("    Done (", 0), 0u);
  EXPECT_EQ(Probe(dir_.File("stereo.mp3")), "codec_name=mp3\nsample_rate=44100\nchannels=2\nbit_rate=128000\n");

  job.inputPath = ToneWav("mono.wav", 2, 44100, 88200);
  job.mp3.mono = true;
  thread = Run<TEncodingThread>(job);
  EXPECT_FALSE(thread->Error());
  EXPECT_EQ(Probe(dir_.File("mono.mp3")), "codec_name=mp3\nsample_rate=44100\nchannels=1\nbit_rate=64000\n");
}

// Catches an AAC file without its ADIF header, or one our own decoder cannot read back.
TEST_F(CodecEndToEnd, EncodesAacAndDecodesItBack) {
  EncoderJob job;
  job.inputPath = ToneWav("tone.wav", 2, 44100, 44100);
  job.mpegMode = 3;
  job.aac.bitRate = 128;
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

// Interleaved 16-bit samples of a decoded WAV file.
std::vector<int16_t> Samples(const std::string& wav) {
  const std::string data = WavData(wav);
  std::vector<int16_t> samples(data.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(static_cast<uint8_t>(data[2 * i]) | (static_cast<uint8_t>(data[2 * i + 1]) << 8));
  }
  return samples;
}

double Rms(const std::vector<int16_t>& samples) {
  double energy = 0;
  for (const int16_t s : samples) energy += static_cast<double>(s) * s;
  return samples.empty() ? 0.0 : std::sqrt(energy / static_cast<double>(samples.size()));
}

struct AdtsCase {
  const char* name;
  uint32_t rate;
  bool ltp;
  int samplingIndex;
  int profile;  // object type - 1
};

void PrintTo(const AdtsCase& c, std::ostream* os) { *os << c.name; }

class CodecEndToEndAdts : public CodecEndToEnd, public ::testing::WithParamInterface<AdtsCase> {};

// Catches an ADTS encode that still writes ADIF, frames whose headers name the wrong
// profile, rate or channels, or a stream that ffmpeg and our own decoder read differently:
// both must give every input sample (behind the encoder delay) of the same audio.
TEST_P(CodecEndToEndAdts, AdtsFileDecodesWithFfmpegAndOurDecoderAlike) {
  const AdtsCase& c = GetParam();
  const uint32_t frames = c.rate + 777;
  EncoderJob job;
  job.inputPath = ToneWav("tone.wav", 2, c.rate, frames);
  job.mpegMode = 3;
  job.aac.bitRate = 128;
  job.aac.jointStereo = true;
  job.aac.useLtp = c.ltp;
  job.aac.adts = true;
  auto encoder = Run<TEncodingThread>(job);
  ASSERT_FALSE(encoder->Error()) << host_.log.back();
  EXPECT_NE(std::find(host_.log.begin(), host_.log.end(),
                      std::string("Joint-Stereo, 128 kbps") + (c.ltp ? ", LTP" : "") + ", ADTS"),
            host_.log.end());
  const std::string aac = ReadFile(dir_.File("tone.aac"));
  ASSERT_GE(aac.size(), 7u);
  EXPECT_EQ(static_cast<uint8_t>(aac[0]), 0xFF);
  EXPECT_EQ(static_cast<uint8_t>(aac[1]), 0xF1);  // MPEG-4, no CRC
  EXPECT_EQ(static_cast<uint8_t>(aac[2]) >> 6, c.profile);
  EXPECT_EQ((static_cast<uint8_t>(aac[2]) >> 2) & 15, c.samplingIndex);
  const std::string probed = Probe(dir_.File("tone.aac"));
  EXPECT_EQ(probed.rfind("codec_name=aac\nsample_rate=" + std::to_string(c.rate) + "\nchannels=2\n", 0), 0u)
      << probed;

  Capture("ffmpeg -v error -y -i " + Quote(dir_.File("tone.aac")) + " " + Quote(dir_.File("ffmpeg.wav")) + " 2>&1");
  Capture(Quote(std::string(ZIMBAR_BIN_DIR) + "/zbaacdec") + " " + Quote(dir_.File("tone.aac")) + " " +
          Quote(dir_.File("ours.wav")) + " 2>&1");
  const std::vector<int16_t> ffmpeg = Samples(dir_.File("ffmpeg.wav"));
  const std::vector<int16_t> ours = Samples(dir_.File("ours.wav"));
  WavFormatInfo info;
  ASSERT_EQ(ReadWavHeaderFromPath(dir_.File("ours.wav").c_str(), info), 0);
  EXPECT_EQ(info.sampleRate, c.rate);
  EXPECT_EQ(info.channels, 2);
  // Every input frame behind the delay of 1024, and at most one block of padding.
  for (const auto* decoded : {&ffmpeg, &ours}) {
    EXPECT_GE(decoded->size() / 2, frames + 1024u);
    EXPECT_LT(decoded->size() / 2, frames + 2048u);
  }
  ASSERT_EQ(ours.size(), ffmpeg.size());
  std::vector<int16_t> difference(ours.size());
  for (size_t i = 0; i < ours.size(); ++i) difference[i] = static_cast<int16_t>(ours[i] - ffmpeg[i]);
  EXPECT_GT(Rms(ours), 4000.0);  // the tone's RMS is about 8500
  EXPECT_LT(Rms(difference), Rms(ours) / 100) << "the two decoders hear different audio";
}

INSTANTIATE_TEST_SUITE_P(Streams, CodecEndToEndAdts,
                         ::testing::Values(AdtsCase{"LowComplexity44100", 44100, false, 4, 1},
                                           AdtsCase{"Ltp48000", 48000, true, 3, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches encoders or decoders of one library that share its state when jobs run at once
// (the MP3 encoder and the AAC decoder libraries hold one of each per loaded copy): the
// outputs of jobs run together must be byte for byte those of the same jobs run alone.
TEST_F(CodecEndToEnd, JobsRunTogetherWriteWhatTheyWriteAlone) {
  const std::vector<std::string> names = {"a", "b", "c"};
  std::vector<EncoderJob> mp3, aac;
  for (size_t i = 0; i < names.size(); ++i) {
    std::filesystem::create_directories(dir_.File(names[i]));
    EncoderJob job;
    job.inputPath = ToneWav(names[i] + "/" + names[i] + ".wav", 2, 44100, 30000 + 20000 * static_cast<uint32_t>(i));
    job.mp3.bitRate = job.aac.bitRate = 128;
    job.mp3.jointStereo = job.aac.jointStereo = true;
    mp3.push_back(job);
    job.mpegMode = 3;
    aac.push_back(job);
  }
  const auto path = [&](size_t i, const char* ext) { return dir_.File(names[i] + "/" + names[i] + ext); };
  std::vector<std::string> alone(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    ASSERT_FALSE(Run<TEncodingThread>(mp3[i])->Error()) << host_.log.back();
    alone[i] = ReadFile(path(i, ".mp3"));
    ASSERT_FALSE(Run<TEncodingThread>(aac[i])->Error()) << host_.log.back();
  }
  for (const auto& thread : RunTogether<TEncodingThread>(mp3)) EXPECT_FALSE(thread->Error());
  for (size_t i = 0; i < names.size(); ++i) EXPECT_TRUE(ReadFile(path(i, ".mp3")) == alone[i]) << names[i];

  // The AAC files decode into the WAVs' places.
  std::vector<DecoderJob> decodes(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    decodes[i].inputPath = path(i, ".aac");
    std::filesystem::remove(path(i, ".wav"));
    ASSERT_FALSE(Run<TDecodingThread>(decodes[i])->Error()) << host_.log.back();
    alone[i] = ReadFile(path(i, ".wav"));
    ASSERT_GT(alone[i].size(), 100000u);
    std::filesystem::remove(path(i, ".wav"));
  }
  for (const auto& thread : RunTogether<TDecodingThread>(decodes)) EXPECT_FALSE(thread->Error());
  for (size_t i = 0; i < names.size(); ++i) EXPECT_TRUE(ReadFile(path(i, ".wav")) == alone[i]) << names[i];
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
      job.mp3.bitRate = job.aac.bitRate = 128;
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
      job.mp3.bitRate = job.aac.bitRate = 128;
      auto thread = Run<TEncodingThread>(job);
      ASSERT_FALSE(thread->Error()) << host_.log.back();
    }
    EXPECT_TRUE(ReadFile(dir_.File(std::string("riff") + extension)) == ReadFile(dir_.File(std::string("rf64") + extension)))
        << extension;
  }
}

// DecodeM4aFile against ffmpeg's decoding of the same files.
#include "maker/codec/m4a_file_decoder.h"

#include <algorithm>

#include "common/wav_header.h"
#include "maker/codec/m4a_encoder.h"

#include <gtest/gtest.h>

#include "tests/maker/codec/codec_test_support.h"
#include "tests/maker/codec/m4a_test_media.h"

using namespace m4a_test;

namespace {

constexpr int kFinished = static_cast<int>(CodecEvent::Finished);
constexpr int kFailed = static_cast<int>(CodecEvent::CodecFailed);
constexpr int kWarning = static_cast<int>(CodecEvent::Warning);

WavFormatInfo Header(const std::string& path) {
  WavFormatInfo info;
  EXPECT_EQ(ReadWavHeaderFromPath(path.c_str(), info), 0);
  return info;
}

class M4aDecodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are needed as references";
  }
  void Decode(const std::string& input) {
    events_ = {};
    DecodeM4aFile(input, Out(), &events_, CollectEvent);
  }
  // An M4A made by ffmpeg from a tone WAV, with the given audio options.
  std::string Reference(const std::string& name, uint16_t channels, uint32_t rate, uint32_t frames,
                        const std::string& options) {
    WriteTestWav(dir_.File(name + ".wav"), channels, rate, frames);
    EXPECT_TRUE(RunShell("ffmpeg -v error -y -i " + Quote(dir_.File(name + ".wav")) + " " + options + " " +
                    Quote(dir_.File(name + ".m4a"))));
    return dir_.File(name + ".m4a");
  }
  std::string Out() const { return dir_.File("out.wav"); }
  int FinalKind() const { return events_.events.empty() ? -1 : events_.events.back().kind; }
  std::string FinalText() const { return events_.events.empty() ? "" : events_.events.back().text; }

  ScratchDir dir_;
  EventLog events_;
};

}  // namespace

// Catches priming samples left in front of the audio, padding handled otherwise than
// ffmpeg does it (the WAV would be of another length), a header with the wrong channel
// count or rate, and samples converted differently from ffmpeg's conversion.
TEST_F(M4aDecodeTest, AacDecodesToFfmpegsSamples) {
  const struct {
    uint16_t channels;
    uint32_t rate;
  } cases[] = {{2, 44100}, {1, 48000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " channels, " + std::to_string(c.rate) + " Hz");
    WriteTestWav(dir_.File("in.wav"), c.channels, c.rate, c.rate / 2 + 333);
    EncodeM4aFile(dir_.File("in.wav"), dir_.File("ours.m4a"), {.bitRate = 128}, nullptr, nullptr);
    Decode(dir_.File("ours.m4a"));
    EXPECT_EQ(events_.Kinds().back(), kFinished);
    EXPECT_EQ(Header(Out()).channels, c.channels);
    EXPECT_EQ(Header(Out()).sampleRate, c.rate);
    const std::string reference = FfmpegSamples(dir_.File("ours.m4a"));
    const std::string decoded = WavData(Out());
    EXPECT_EQ(decoded.size(), reference.size());
    EXPECT_EQ(WavDeclaredBytes(Out()), decoded.size());
    EXPECT_TRUE(decoded == reference);
  }
}

// Catches an ALAC file decoded with loss (a float path, dither) or cut: lossless audio
// comes back sample for sample.
TEST_F(M4aDecodeTest, AlacDecodesBitExact) {
  for (const uint16_t channels : {2, 1}) {
    SCOPED_TRACE(channels);
    const std::string alac = Reference("alac", channels, 44100, 30000, "-c:a alac");
    Decode(alac);
    EXPECT_EQ(events_.Kinds().back(), kFinished);
    EXPECT_EQ(Header(Out()).channels, channels);
    EXPECT_TRUE(WavData(Out()) == WavData(dir_.File("alac.wav")));
  }
}

// Catches damaged or cut files that crash, hang, or pass as complete: each gives a clear
// error (or a warning for a small loss) and a valid WAV of what did decode.
TEST_F(M4aDecodeTest, DamagedAndCutFilesAreReported) {
  const std::string plain = Reference("plain", 2, 44100, 3 * 44100, "-c:a aac -b:a 128k");
  const std::string faststart = Reference("fast", 2, 44100, 3 * 44100, "-c:a aac -b:a 128k -movflags +faststart");
  const std::string bytes = ReadFile(plain);
  const size_t mdat = bytes.find("mdat");
  ASSERT_NE(mdat, std::string::npos);

  // The index (written at the end) cut off.
  WriteFile(dir_.File("cut.m4a"), bytes.substr(0, bytes.size() / 2));
  Decode(dir_.File("cut.m4a"));
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{kFailed}));
  EXPECT_EQ(FinalText(), "Encoder/decoder failed. The input file cannot be read as M4A: moov atom not found.");
  EXPECT_EQ(WavDeclaredBytes(Out()), 0u);

  // The audio cut off behind an index at the start: what is there is kept.
  const std::string fast = ReadFile(faststart);
  WriteFile(dir_.File("fastcut.m4a"), fast.substr(0, fast.size() / 2));
  Decode(dir_.File("fastcut.m4a"));
  EXPECT_EQ(FinalKind(), kFailed);
  EXPECT_EQ(FinalText(), "Encoder/decoder failed. The input file is cut short: its audio ends part way.");
  EXPECT_GT(WavDeclaredBytes(Out()), 44100u * 4 / 2);
  EXPECT_EQ(WavDeclaredBytes(Out()), WavData(Out()).size());

  // One frame's bytes overwritten: left out, with a warning, the rest decodes.
  std::string damaged = bytes;
  for (size_t i = 0; i < 40; ++i) damaged[mdat + 20000 + i] = static_cast<char>(0xA5 ^ i);
  WriteFile(dir_.File("damaged.m4a"), damaged);
  Decode(dir_.File("damaged.m4a"));
  EXPECT_EQ(events_.Kinds().back(), kFinished);
  ASSERT_GE(events_.events.size(), 2u);
  EXPECT_EQ(events_.Kinds().end()[-2], kWarning);
  const std::string warning = events_.events.end()[-2].text;
  EXPECT_TRUE(warning.starts_with("Left out 1 of ") || warning.starts_with("Left out 2 of ")) << warning;
  EXPECT_TRUE(warning.ends_with(" audio frames that did not decode.")) << warning;

  // Every frame overwritten.
  std::string wrecked = bytes;
  for (size_t i = mdat + 8; i < bytes.find("moov"); ++i) wrecked[i] = static_cast<char>(i * 7);
  WriteFile(dir_.File("wrecked.m4a"), wrecked);
  Decode(dir_.File("wrecked.m4a"));
  const std::string frames = FinalText().substr(FinalText().find('(') + 1);
  EXPECT_EQ(FinalText(), "Encoder/decoder failed. No audio of the input file decodes (" +
                             frames.substr(0, frames.find(' ')) + " of " + frames.substr(0, frames.find(' ')) +
                             " audio frames are damaged).");
  EXPECT_EQ(WavDeclaredBytes(Out()), WavData(Out()).size());
}

// Catches files that are no M4A of one or two channels being guessed at or decoded into a
// WAV the maker cannot write.
TEST_F(M4aDecodeTest, OtherContentIsRefusedWithItsReason) {
  WriteTestWav(dir_.File("wave.wav"), 2, 44100, 1000);
  const std::string six = Reference("six", 2, 48000, 4800, "-ac 6 -c:a aac");
  ASSERT_TRUE(RunShell("ffmpeg -v error -y -f lavfi -i anullsrc=r=44100:cl=stereo -t 0 -c:a aac " +
                       Quote(dir_.File("empty.m4a"))));
  const struct {
    std::string input;
    std::string text;
  } cases[] = {
      {dir_.File("empty.m4a"), "Encoder/decoder failed. The input file holds no audio."},
      {dir_.File("wave.wav"), "Encoder/decoder failed. The input file cannot be read as M4A: "},
      {dir_.File("missing.m4a"),
       "Encoder/decoder failed. The input file cannot be read as M4A: No such file or directory."},
      {six, "Encoder/decoder failed. The input file has 6 channels; only mono and stereo are decoded."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    Decode(c.input);
    EXPECT_EQ(events_.Kinds(), (std::vector<int>{kFailed}));
    EXPECT_EQ(FinalText().substr(0, c.text.size()), c.text);
  }
  DecodeM4aFile(six, dir_.File("no/such/folder/out.wav"), &events_, CollectEvent);
  EXPECT_EQ(events_.Kinds().back(), static_cast<int>(CodecEvent::CannotCreateOutput));
}

// Catches progress that counts something else than the bytes written, a cancel that is
// not heard, and a cancelled or refused write that leaves a header claiming other bytes.
TEST_F(M4aDecodeTest, ProgressCancelAndFullDisk) {
  const std::string m4a = Reference("long", 2, 44100, 4 * 44100, "-c:a aac -b:a 128k");
  Decode(m4a);
  const std::vector<int32_t> progress = events_.ProgressValues();
  ASSERT_GE(progress.size(), 4u);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_LE(static_cast<uint32_t>(progress.back()), WavDeclaredBytes(Out()));

  events_ = {};
  events_.stopAtProgress = 2;
  DecodeM4aFile(m4a, Out(), &events_, CollectEvent);
  EXPECT_EQ(FinalKind(), kFinished);
  EXPECT_LT(WavDeclaredBytes(Out()), 2u * 44100 * 4);
  EXPECT_EQ(WavDeclaredBytes(Out()), WavData(Out()).size());

  {
    ScopedFileSizeLimit limit(200000);
    Decode(m4a);
  }
  EXPECT_EQ(FinalKind(), static_cast<int>(CodecEvent::CannotWriteOutput));
}

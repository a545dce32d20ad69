// Tests of EncodeFlacFile with the real libFLAC: bit-exact round trips, settings, failures.
#include "maker/codec/flac_encoder.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "common/tags/audio_file_tags.h"
#include "common/wav_header.h"
#include "maker/codec/flac_file_decoder.h"
#include "tests/maker/codec/flac_test_support.h"

namespace {

class FlacEncodeTest : public ::testing::Test {
 protected:
  std::vector<int> Encode(const std::string& input, const std::string& output, FlacEncodeOptions options = {}) {
    events_ = {};
    EncodeFlacFile(input, output, options, &events_, CollectEvent);
    return events_.Kinds();
  }
  // Decodes through our own decoder; returns the WAV's audio, or "" with a failure noted.
  std::string DecodeBack(const std::string& flac) {
    EventLog decoded;
    DecodeFlacFile(flac, dir_.File("back.wav"), &decoded, CollectEvent);
    EXPECT_EQ(decoded.events.back().kind, 15) << decoded.events.back().text;
    return WavAudio(dir_.File("back.wav"));
  }
  std::string LastText() const { return events_.events.empty() ? "" : events_.events.back().text; }

  ScratchDir dir_;
  EventLog events_;
};

// Where the metadata blocks of a FLAC end and how much padding they hold.
struct FlacLayout {
  size_t audioOffset = 0;
  uint32_t paddingBytes = 0;
};
FlacLayout Layout(const std::string& flac) {
  FlacLayout layout;
  size_t at = 4;
  for (bool last = false; !last && at + 4 <= flac.size();) {
    const auto head = static_cast<unsigned char>(flac[at]);
    last = (head & 0x80) != 0;
    const uint32_t length = uint32_t{static_cast<unsigned char>(flac[at + 1])} << 16 |
                            uint32_t{static_cast<unsigned char>(flac[at + 2])} << 8 |
                            static_cast<unsigned char>(flac[at + 3]);
    if ((head & 0x7F) == 1) layout.paddingBytes += length;
    at += 4 + length;
  }
  layout.audioOffset = at;
  return layout;
}

}  // namespace

// Catches samples changed, channels swapped or merged, a partial last frame or a block
// boundary lost, and rates or channel counts not carried, for every shape a rip or a
// file run gives the encoder.
TEST_F(FlacEncodeTest, RoundTripsBitExactThroughOurDecoder) {
  const struct {
    uint16_t channels;
    uint32_t rate;
    uint32_t frames;
  } cases[] = {{2, 44100, 44100 * 3 + 1237}, {1, 44100, 20011}, {2, 22050, 9999}, {2, 48000, 48000 + 1}, {1, 16000, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " channels, " + std::to_string(c.rate) + " Hz, " +
                 std::to_string(c.frames) + " frames");
    const std::string audio = WriteVariedWav(dir_.File("in.wav"), c.channels, c.rate, c.frames);
    ASSERT_EQ(Encode(dir_.File("in.wav"), dir_.File("out.flac")).back(), 15) << LastText();
    EXPECT_TRUE(SameAudio(DecodeBack(dir_.File("out.flac")), audio));
    WavFormatInfo info;
    ASSERT_EQ(ReadWavHeaderFromPath(dir_.File("back.wav").c_str(), info), kWavReadOk);
    EXPECT_EQ(info.channels, c.channels);
    EXPECT_EQ(info.sampleRate, c.rate);
  }
}

// Catches chunks stored behind the audio (LIST, id3) encoded as noise at its end, and audio
// lost when the data size field was never rewritten (0 or 0xFFFFFFFF).
TEST_F(FlacEncodeTest, EncodesTheDataChunkAndNothingBehindIt) {
  const std::string audio = WriteVariedWav(dir_.File("in.wav"), 2, 44100, 30001);
  const std::string wav = ReadFile(dir_.File("in.wav"));
  const struct {
    uint32_t sizeField;
    std::string behind;
  } cases[] = {{static_cast<uint32_t>(audio.size()), "LIST" + std::string("\x88\x13\0\0", 4) + std::string(5000, 'i')},
               {0, ""},
               {0xFFFFFFFF, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE("size field " + std::to_string(c.sizeField));
    std::string bytes = wav + c.behind;
    for (int i = 0; i < 4; ++i) bytes[40 + i] = static_cast<char>(c.sizeField >> (8 * i));
    WriteFile(dir_.File("chunks.wav"), bytes);
    ASSERT_EQ(Encode(dir_.File("chunks.wav"), dir_.File("out.flac")).back(), 15) << LastText();
    EXPECT_TRUE(SameAudio(DecodeBack(dir_.File("out.flac")), audio));
  }
}

// Catches a file the reference decoder rejects (a wrong MD5 signature or sample count in
// the stream information, frames outside the format) or decodes to other samples.
TEST_F(FlacEncodeTest, ReferenceDecoderTestsAndDecodesItToTheSameSamples) {
  if (!HaveFlacTool()) GTEST_SKIP() << "needs the flac program (scripts/packages-test.txt)";
  for (const uint16_t channels : {uint16_t{2}, uint16_t{1}}) {
    SCOPED_TRACE(std::to_string(channels) + " channels");
    WriteVariedWav(dir_.File("in.wav"), channels, 44100, 44100 * 2 + 77);
    ASSERT_EQ(Encode(dir_.File("in.wav"), dir_.File("out.flac")).back(), 15) << LastText();
    EXPECT_TRUE(RunQuietly("flac -t -w '" + dir_.File("out.flac") + "'"));
    ASSERT_TRUE(RunQuietly("flac -d -f -o '" + dir_.File("ref.wav") + "' '" + dir_.File("out.flac") + "'"));
    // Both are canonical 44-byte headers with the same audio.
    EXPECT_TRUE(SameAudio(ReadFile(dir_.File("ref.wav")), ReadFile(dir_.File("in.wav"))));
  }
}

// Catches the level not reaching the encoder (level 0 and 8 give the same file), a level
// outside 0..8 taken anyway, and verify failing a good encode.
TEST_F(FlacEncodeTest, LevelAndVerifyReachTheEncoder) {
  const std::string audio = WriteVariedWav(dir_.File("in.wav"), 2, 44100, 44100 * 2);
  ASSERT_EQ(Encode(dir_.File("in.wav"), dir_.File("fast.flac"), {.level = 0, .verify = false}).back(), 15);
  ASSERT_EQ(Encode(dir_.File("in.wav"), dir_.File("best.flac"), {.level = 8, .verify = true}).back(), 15)
      << LastText();
  EXPECT_LT(ReadFile(dir_.File("best.flac")).size(), ReadFile(dir_.File("fast.flac")).size());
  EXPECT_TRUE(SameAudio(DecodeBack(dir_.File("fast.flac")), audio));
  EXPECT_TRUE(SameAudio(DecodeBack(dir_.File("best.flac")), audio));
  EXPECT_EQ(Encode(dir_.File("in.wav"), dir_.File("bad.flac"), {.level = 9}), (std::vector<int>{10}));
  EXPECT_EQ(Encode(dir_.File("in.wav"), dir_.File("bad.flac"), {.level = -1}), (std::vector<int>{10}));
}

// Catches a file without room for tags (a tag writer would then rewrite the whole file) or
// without its MD5 signature and sample count (nothing could check the audio later).
TEST_F(FlacEncodeTest, StreamInformationAndPaddingAreWritten) {
  WriteVariedWav(dir_.File("in.wav"), 2, 44100, 12345);
  ASSERT_EQ(Encode(dir_.File("in.wav"), dir_.File("out.flac")).back(), 15);
  const std::string flac = ReadFile(dir_.File("out.flac"));
  ASSERT_EQ(flac.substr(0, 4), "fLaC");
  // The stream information: 18 bytes in, the 36-bit sample count ends with the low 32 bits,
  // then the 16 bytes of the signature.
  EXPECT_EQ(static_cast<unsigned char>(flac[21]) & 0x0F, 0);
  uint32_t sampleCount = 0;
  for (size_t at = 22; at < 26; ++at) sampleCount = sampleCount << 8 | static_cast<unsigned char>(flac[at]);
  EXPECT_EQ(sampleCount, 12345u);
  EXPECT_NE(flac.substr(26, 16), std::string(16, '\0'));
  EXPECT_GE(Layout(flac).paddingBytes, 8192u);
}

// Catches tags that move the audio (the whole file rewritten for every tag, as happens
// without padding), or a tagged file that no longer decodes or passes its signature check.
TEST_F(FlacEncodeTest, TagsAndACoverFitInFrontOfTheAudio) {
  const std::string audio = WriteVariedWav(dir_.File("in.wav"), 2, 44100, 44100 * 2);
  ASSERT_EQ(Encode(dir_.File("in.wav"), dir_.File("out.flac")).back(), 15);
  const size_t audioStart = Layout(ReadFile(dir_.File("out.flac"))).audioOffset;
  AudioTags tags;
  tags.title = "Überall – 東京";
  tags.artist = "Ärzte";
  tags.album = "Album";
  tags.track = 3;
  tags.trackCount = 12;
  tags.musicBrainzAlbumId = "0f4d2f4b-6c33-4d8b-9e0a-2b8b4c0b7c11";
  tags.cover = CoverImage{"image/png", std::vector<uint8_t>(5000, 0x42)};
  ASSERT_TRUE(WriteAudioFileTags(dir_.File("out.flac"), AudioFileFormat::Flac, tags).Ok());
  EXPECT_EQ(Layout(ReadFile(dir_.File("out.flac"))).audioOffset, audioStart);
  EXPECT_TRUE(SameAudio(DecodeBack(dir_.File("out.flac")), audio));
  const std::optional<AudioTags> read = ReadAudioFileTags(dir_.File("out.flac"), AudioFileFormat::Flac);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->title, tags.title);
  EXPECT_EQ(read->cover, tags.cover);
  if (HaveFlacTool()) {
    EXPECT_TRUE(RunQuietly("flac -t -w '" + dir_.File("out.flac") + "'"));
  }
}

// Catches a cancel reported as an error, a cancel that goes on encoding, or a cut file
// that no longer decodes (its stream information must describe what was written).
TEST_F(FlacEncodeTest, CancelEndsAFileOfWhatWasRead) {
  const std::string audio = WriteVariedWav(dir_.File("in.wav"), 2, 44100, 44100 * 5);
  events_.stopAtProgress = 2;
  EncodeFlacFile(dir_.File("in.wav"), dir_.File("out.flac"), {}, &events_, CollectEvent);
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{14, 14, 15}));
  EXPECT_EQ(events_.ProgressValues(), (std::vector<int32_t>{2000, 4000}));
  EXPECT_TRUE(SameAudio(DecodeBack(dir_.File("out.flac")), audio.substr(0, 44100 * 2 * 4)));
}

// Catches a full disk reported as success, at the start and part way, and an unwritable
// place reported as anything but kind 2.
TEST_F(FlacEncodeTest, OutputFailuresAreReported) {
  WriteVariedWav(dir_.File("in.wav"), 2, 44100, 44100 * 3);
  EXPECT_EQ(Encode(dir_.File("in.wav"), "/dev/full"), (std::vector<int>{3}));
  {
    ScopedFileSizeLimit limit(100000);
    EXPECT_EQ(Encode(dir_.File("in.wav"), dir_.File("out.flac")).back(), 3);
  }
  EXPECT_EQ(Encode(dir_.File("in.wav"), dir_.File("no/such/dir/out.flac")), (std::vector<int>{2}));
}

// Catches inputs the encoder must refuse taken anyway, or refused only after an empty
// output was made.
TEST_F(FlacEncodeTest, RefusedInputsLeaveNoOutput) {
  struct stat info {};
  WriteTestWav(dir_.File("in8.wav"), 2, 44100, 1000, 8);
  EXPECT_EQ(Encode(dir_.File("in8.wav"), dir_.File("out.flac")), (std::vector<int>{6}));
  WriteTestWav(dir_.File("in11k.wav"), 2, 11025, 1000);
  EXPECT_EQ(Encode(dir_.File("in11k.wav"), dir_.File("out.flac")), (std::vector<int>{8}));
  WriteTestWav(dir_.File("in6ch.wav"), 6, 44100, 1000);
  EXPECT_EQ(Encode(dir_.File("in6ch.wav"), dir_.File("out.flac")), (std::vector<int>{11}));
  EXPECT_NE(LastText().find("one or two channels"), std::string::npos) << LastText();
  WriteFile(dir_.File("junk.wav"), "not a wav at all");
  EXPECT_EQ(Encode(dir_.File("junk.wav"), dir_.File("out.flac")), (std::vector<int>{5}));
  EXPECT_EQ(Encode(dir_.File("missing.wav"), dir_.File("out.flac")), (std::vector<int>{1}));
  EXPECT_NE(::stat(dir_.File("out.flac").c_str(), &info), 0);
}

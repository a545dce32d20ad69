// Tests of DecodeFlacFile with the real libFLAC: bit-exact output and damaged input refused.
#include "maker/codec/flac_file_decoder.h"

#include <gtest/gtest.h>

#include "common/wav_header.h"
#include "maker/codec/flac_encoder.h"
#include "tests/maker/codec/flac_test_support.h"

namespace {

class FlacDecodeTest : public ::testing::Test {
 protected:
  // A FLAC of varied audio made by our encoder; returns the audio.
  std::string MakeFlac(uint16_t channels, uint32_t rate, uint32_t frames) {
    const std::string audio = WriteVariedWav(dir_.File("in.wav"), channels, rate, frames);
    EventLog encoded;
    EncodeFlacFile(dir_.File("in.wav"), dir_.File("in.flac"), {}, &encoded, CollectEvent);
    EXPECT_EQ(encoded.Kinds().back(), 15);
    return audio;
  }
  std::vector<int> Decode(const std::string& input) {
    events_ = {};
    DecodeFlacFile(input, dir_.File("out.wav"), &events_, CollectEvent);
    return events_.Kinds();
  }
  std::string LastText() const { return events_.events.empty() ? "" : events_.events.back().text; }
  // The WAV the decoder wrote, read back through the header reader: its format and audio.
  std::string Audio(WavFormatInfo& info) const {
    EXPECT_EQ(ReadWavHeaderFromPath(dir_.File("out.wav").c_str(), info), kWavReadOk);
    const std::string audio = WavAudio(dir_.File("out.wav"));
    EXPECT_EQ(info.dataBytes, audio.size()) << "the header must describe what was written";
    return audio;
  }

  ScratchDir dir_;
  EventLog events_;
};

}  // namespace

// Catches samples changed or reordered by the decoder, the WAV header naming another
// format, or progress missing or counted in something other than output bytes.
TEST_F(FlacDecodeTest, DecodesBitExactWithProgressInBytes) {
  const std::string audio = MakeFlac(2, 48000, 48000 * 3 + 5);
  EXPECT_EQ(Decode(dir_.File("in.flac")).back(), 15) << LastText();
  WavFormatInfo info;
  EXPECT_TRUE(SameAudio(Audio(info), audio));
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.sampleRate, 48000u);
  EXPECT_EQ(info.bitsPerSample, 16);
  const std::vector<int32_t> progress = events_.ProgressValues();
  ASSERT_GE(progress.size(), 2u);
  EXPECT_GE(progress.front(), 48000 * 4);
  EXPECT_LT(progress.front(), 2 * 48000 * 4);
  EXPECT_LE(progress.back(), static_cast<int32_t>(audio.size()));
}

// Catches files of another encoder decoded differently than its own decoder does (block
// sizes, stereo decorrelation), in mono too.
TEST_F(FlacDecodeTest, DecodesTheReferenceEncodersFilesBitExact) {
  if (!HaveFlacTool()) GTEST_SKIP() << "needs the flac program (scripts/packages-test.txt)";
  for (const uint16_t channels : {uint16_t{2}, uint16_t{1}}) {
    SCOPED_TRACE(std::to_string(channels) + " channels");
    const std::string audio = WriteVariedWav(dir_.File("in.wav"), channels, 22050, 22050 * 2 + 3);
    ASSERT_TRUE(RunQuietly("flac -5 -f -o '" + dir_.File("ref.flac") + "' '" + dir_.File("in.wav") + "'"));
    EXPECT_EQ(Decode(dir_.File("ref.flac")).back(), 15) << LastText();
    WavFormatInfo info;
    EXPECT_TRUE(SameAudio(Audio(info), audio));
    EXPECT_EQ(info.channels, channels);
    EXPECT_EQ(info.sampleRate, 22050u);
  }
}

// Catches a file whose MD5 signature disagrees with its audio taken as good.
TEST_F(FlacDecodeTest, SignatureMismatchIsAnError) {
  MakeFlac(2, 44100, 30000);
  std::string flac = ReadFile(dir_.File("in.flac"));
  flac[30] = static_cast<char>(flac[30] ^ 0x5A);  // inside the signature of the stream information
  WriteFile(dir_.File("in.flac"), flac);
  EXPECT_EQ(Decode(dir_.File("in.flac")), (std::vector<int>{11}));
  EXPECT_EQ(LastText(), "Encoder/decoder failed. The decoded audio does not match the file's MD5 signature.");
}

// Catches a cut file taken as a shorter song, or its missing end written as silence; what
// came before the cut stays readable.
TEST_F(FlacDecodeTest, TruncatedFileIsAnErrorAndKeepsWhatDecoded) {
  const std::string audio = MakeFlac(2, 44100, 44100 * 3);
  const std::string flac = ReadFile(dir_.File("in.flac"));
  WriteFile(dir_.File("cut.flac"), flac.substr(0, flac.size() * 6 / 10));
  EXPECT_EQ(Decode(dir_.File("cut.flac")).back(), 11);
  EXPECT_NE(LastText().find("cut short"), std::string::npos) << LastText();
  WavFormatInfo info;
  const std::string decoded = Audio(info);
  EXPECT_GT(decoded.size(), audio.size() / 3);
  EXPECT_TRUE(SameAudio(decoded, audio.substr(0, decoded.size())));
}

// Catches a damaged frame decoded as silence (libFLAC's default) and the decode going on as
// if nothing happened.
TEST_F(FlacDecodeTest, DamagedFrameIsAnErrorNotSilence) {
  const std::string audio = MakeFlac(2, 44100, 44100 * 3);
  std::string flac = ReadFile(dir_.File("in.flac"));
  for (size_t at = flac.size() / 2; at < flac.size() / 2 + 16; ++at) flac[at] = static_cast<char>(flac[at] ^ 0xFF);
  WriteFile(dir_.File("bad.flac"), flac);
  EXPECT_EQ(Decode(dir_.File("bad.flac")).back(), 11);
  EXPECT_NE(LastText().find("damaged"), std::string::npos) << LastText();
  WavFormatInfo info;
  const std::string decoded = Audio(info);
  EXPECT_LT(decoded.size(), audio.size());
  EXPECT_TRUE(SameAudio(decoded, audio.substr(0, decoded.size())));
}

// Catches inputs that are no FLAC, or FLACs the WAV writer cannot describe (24-bit, three
// channels), decoded into something else.
TEST_F(FlacDecodeTest, OtherInputsAreRefused) {
  WriteTestWav(dir_.File("in.wav"), 2, 44100, 1000);
  EXPECT_EQ(Decode(dir_.File("in.wav")), (std::vector<int>{10}));
  EXPECT_EQ(Decode(dir_.File("missing.flac")), (std::vector<int>{10}));
  if (!HaveFlacTool()) GTEST_SKIP() << "the 24-bit case needs the flac program";
  WriteTestWav(dir_.File("in24.wav"), 2, 44100, 1000, 24);
  ASSERT_TRUE(RunQuietly("flac -f -o '" + dir_.File("in24.flac") + "' '" + dir_.File("in24.wav") + "'"));
  EXPECT_EQ(Decode(dir_.File("in24.flac")), (std::vector<int>{11}));
  EXPECT_NE(LastText().find("24-bit"), std::string::npos) << LastText();
  WriteTestWav(dir_.File("in3ch.wav"), 3, 44100, 1000);
  ASSERT_TRUE(RunQuietly("flac -f --channel-map=none -o '" + dir_.File("in3ch.flac") + "' '" + dir_.File("in3ch.wav") +
                         "'"));
  EXPECT_EQ(Decode(dir_.File("in3ch.flac")), (std::vector<int>{11}));
  EXPECT_NE(LastText().find("3 channels"), std::string::npos) << LastText();
}

// Catches a cancel that goes on decoding or is reported as an error, and a header that does
// not describe the samples kept.
TEST_F(FlacDecodeTest, CancelKeepsAValidWavOfWhatWasWritten) {
  const std::string audio = MakeFlac(1, 44100, 44100 * 5);
  events_ = {};
  events_.stopAtProgress = 1;
  DecodeFlacFile(dir_.File("in.flac"), dir_.File("out.wav"), &events_, CollectEvent);
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{14, 15}));
  WavFormatInfo info;
  const std::string decoded = Audio(info);
  EXPECT_EQ(info.channels, 1);
  EXPECT_LT(decoded.size(), audio.size() / 2);
  EXPECT_TRUE(SameAudio(decoded, audio.substr(0, decoded.size())));
}

// Catches a full disk reported as success and an unwritable place as anything but kind 2.
TEST_F(FlacDecodeTest, OutputFailuresAreReported) {
  MakeFlac(2, 44100, 44100 * 2);
  {
    ScopedFileSizeLimit limit(kWavHeader64Bytes + 100000);
    EXPECT_EQ(Decode(dir_.File("in.flac")).back(), 3);
  }
  events_ = {};
  DecodeFlacFile(dir_.File("in.flac"), dir_.File("no/such/dir/out.wav"), &events_, CollectEvent);
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{2}));
}

// Catches a FLAC that some tagger wrapped in ID3 tags (an ID3v2 tag in front, an ID3v1
// record behind) refused, or its tag bytes taken as damage.
TEST_F(FlacDecodeTest, IdTagsAroundTheStreamAreSkipped) {
  const std::string audio = MakeFlac(2, 44100, 20000);
  const std::string id3v2 = std::string("ID3\x03\x00\x00\x00\x00\x00\x14", 10) + "TIT2" +
                            std::string("\x00\x00\x00\x0A\x00\x00\x00", 7) + "A title" + std::string(2, '\0');
  const std::string id3v1 = "TAG" + std::string(125, 'x');
  WriteFile(dir_.File("tagged.flac"), id3v2 + ReadFile(dir_.File("in.flac")) + id3v1);
  EXPECT_EQ(Decode(dir_.File("tagged.flac")).back(), 15) << LastText();
  WavFormatInfo info;
  EXPECT_TRUE(SameAudio(Audio(info), audio));
}

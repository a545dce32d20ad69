// Tests of the encoder's WAV reader: chunk walking, sizes and refused formats.
#include "outside/gogo/wav_input.h"

#include <gtest/gtest.h>

#include "tests/outside/gogo/test_media.h"

using namespace test_media;

namespace {

std::vector<unsigned char> Chunk(const char* id, std::vector<unsigned char> body) {
  std::vector<unsigned char> out(id, id + 4);
  PutLe(out, uint32_t(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() & 1) out.push_back(0);
  return out;
}

std::vector<unsigned char> Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                               size_t extraBytes = 0) {
  std::vector<unsigned char> b;
  PutLe(b, tag, 2);
  PutLe(b, channels, 2);
  PutLe(b, rate, 4);
  PutLe(b, rate * channels * bits / 8, 4);
  PutLe(b, uint32_t(channels * bits / 8), 2);
  PutLe(b, bits, 2);
  b.resize(b.size() + extraBytes);
  return b;
}

std::vector<unsigned char> Riff(std::vector<std::vector<unsigned char>> chunks) {
  std::vector<unsigned char> body{'W', 'A', 'V', 'E'};
  for (auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
  std::vector<unsigned char> out{'R', 'I', 'F', 'F'};
  PutLe(out, uint32_t(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::vector<unsigned char> Samples(std::initializer_list<int16_t> values) {
  std::vector<unsigned char> b;
  for (int16_t v : values) PutLe(b, uint16_t(v), 2);
  return b;
}

class WavInputTest : public ::testing::Test {
 protected:
  Result<WavInput, WavInputError> OpenBytes(const std::vector<unsigned char>& bytes) {
    const std::string path = dir_.File("t.wav");
    WriteFile(path, bytes);
    return WavInput::Open(path);
  }
  ScratchDir dir_;
};

// Catches a reader that assumes the 44-byte layout: an odd-sized LIST chunk (with its pad
// byte) before the data is skipped, the samples come from the right place, and a trailing
// tag chunk after the data is not read as audio.
TEST_F(WavInputTest, SkipsOtherChunksAndStopsAtTheDataSize) {
  auto opened = OpenBytes(Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("LIST", {1, 2, 3}),
                                Chunk("data", Samples({1, -2, 300, -400})),
                                Chunk("id3 ", std::vector<unsigned char>(64, 0xAA))}));
  ASSERT_TRUE(opened);
  WavInput input = std::move(opened).Value();
  EXPECT_EQ(input.Format().channels, 2);
  EXPECT_EQ(input.Format().sampleRate, 44100u);
  EXPECT_EQ(input.Format().frames, 2u);
  int16_t pcm[4] = {};
  ASSERT_TRUE(input.Read(pcm, 2));
  EXPECT_EQ(std::vector<int16_t>(pcm, pcm + 4), (std::vector<int16_t>{1, -2, 300, -400}));
  EXPECT_FALSE(input.Read(pcm, 1)) << "reading past the end must fail";
}

// Catches a header never rewritten after recording (size 0) or one claiming more than
// the file holds: the audio is what the file really has, in whole frames.
TEST_F(WavInputTest, PlaceholderOrOversizedDataSizeUsesTheFileLength) {
  for (uint32_t claimed : {0u, 0xFFFFFFFFu}) {
    auto bytes = Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16))});
    bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
    PutLe(bytes, claimed, 4);
    auto samples = Samples({1, 2, 3, 4, 5, 6, 7});  // the last is half a frame
    bytes.insert(bytes.end(), samples.begin(), samples.end());
    auto opened = OpenBytes(bytes);
    ASSERT_TRUE(opened) << claimed;
    EXPECT_EQ(opened.Value().Format().frames, 3u) << claimed;
  }
}

// Catches the extensible header (used by many tools for PCM) being refused.
TEST_F(WavInputTest, ExtensibleFormatWithPcmSubFormatIsAccepted) {
  auto fmt = Fmt(0xFFFE, 2, 48000, 16, 24);
  fmt[24] = 1;  // sub-format GUID starts with the PCM tag
  auto opened = OpenBytes(Riff({Chunk("fmt ", fmt), Chunk("data", Samples({1, 2}))}));
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened.Value().Format().sampleRate, 48000u);
}

// Catches unsupported or malformed files being read as 16-bit PCM.
TEST_F(WavInputTest, RefusesWhatItCannotEncode) {
  const auto data = Chunk("data", Samples({1, 2}));
  struct Case {
    std::vector<unsigned char> bytes;
    WavInputError want;
  };
  const Case cases[] = {
      {Riff({Chunk("fmt ", Fmt(1, 2, 44100, 8)), data}), WavInputError::Unsupported},
      {Riff({Chunk("fmt ", Fmt(3, 2, 44100, 16)), data}), WavInputError::Unsupported},
      {Riff({Chunk("fmt ", Fmt(1, 6, 44100, 16)), data}), WavInputError::Unsupported},
      {Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16))}), WavInputError::Format},
      {Riff({Chunk("fmt ", {1, 0, 2, 0}), data}), WavInputError::Format},
      {std::vector<unsigned char>(64, 0), WavInputError::Format},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    auto opened = OpenBytes(cases[i].bytes);
    ASSERT_FALSE(opened) << i;
    EXPECT_EQ(opened.Error(), cases[i].want) << i;
  }
  for (const std::string& path : {dir_.File("none.wav"), std::string("/tmp")}) {
    auto opened = WavInput::Open(path);
    ASSERT_FALSE(opened) << path;
    EXPECT_EQ(opened.Error(), WavInputError::Open) << path;
  }
}

// Catches the samples read after the file shrank being passed off as audio.
TEST_F(WavInputTest, FileShrunkAfterOpenFailsTheRead) {
  const std::string path = dir_.File("t.wav");
  WriteFile(path, WavBytes(44100, 2, Tone(44100, 2, 1000)));
  auto opened = WavInput::Open(path);
  ASSERT_TRUE(opened);
  ASSERT_EQ(truncate(path.c_str(), 44 + 400), 0);
  std::vector<int16_t> pcm(2000);
  EXPECT_FALSE(opened.Value().Read(pcm.data(), 1000));
}

}  // namespace

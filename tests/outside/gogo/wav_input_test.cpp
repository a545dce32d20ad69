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
  Expected<WavInput> OpenBytes(const std::vector<unsigned char>& bytes) {
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

// An RF64 file: ds64 (RIFF size, data size, sample count, no table), then the chunks, the
// data chunk's size field reading 0xFFFFFFFF.
std::vector<unsigned char> Rf64(uint64_t dataBytes, std::vector<std::vector<unsigned char>> chunks) {
  std::vector<unsigned char> ds64;
  PutLe(ds64, 0xFFFFFFFFu, 4);  // RIFF size: not checked
  PutLe(ds64, 0xFFFFFFFFu, 4);
  PutLe(ds64, uint32_t(dataBytes), 4);
  PutLe(ds64, uint32_t(dataBytes >> 32), 4);
  PutLe(ds64, 0, 4);
  PutLe(ds64, 0, 4);
  PutLe(ds64, 0, 4);
  auto out = Riff({});
  out[0] = 'R', out[1] = 'F', out[2] = '6', out[3] = '4';
  const auto first = Chunk("ds64", ds64);
  out.insert(out.end(), first.begin(), first.end());
  for (auto& c : chunks) out.insert(out.end(), c.begin(), c.end());
  return out;
}

// Catches an RF64 file refused, or its audio taken from the 32-bit size field (0xFFFFFFFF:
// "to the end", which would encode the chunk behind the audio as noise) instead of ds64.
TEST_F(WavInputTest, Rf64TakesTheDataSizeFromDs64) {
  auto data = Chunk("data", Samples({5, -6, 7, -8, 9, -10}));
  data[4] = data[5] = data[6] = data[7] = 0xFF;
  auto opened = OpenBytes(Rf64(8, {Chunk("fmt ", Fmt(1, 2, 48000, 16)), data,
                                   Chunk("LIST", std::vector<unsigned char>(40, 0xAA))}));
  ASSERT_TRUE(opened);
  WavInput input = std::move(opened).Value();
  EXPECT_EQ(input.Format().sampleRate, 48000u);
  EXPECT_EQ(input.Format().frames, 2u);
  int16_t pcm[4] = {};
  ASSERT_TRUE(input.Read(pcm, 2));
  EXPECT_EQ(std::vector<int16_t>(pcm, pcm + 4), (std::vector<int16_t>{5, -6, 7, -8}));

  // Past 4 GiB (a sparse file: only the header takes room on disk).
  const uint64_t eightHours = 8ull * 3600 * 44100 * 4;
  auto head = Rf64(eightHours, {Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("data", {})});
  head[head.size() - 4] = head[head.size() - 3] = head[head.size() - 2] = head[head.size() - 1] = 0xFF;
  const std::string path = dir_.File("big.wav");
  WriteFile(path, head);
  ASSERT_EQ(truncate(path.c_str(), off_t(head.size() + eightHours)), 0);
  auto big = WavInput::Open(path);
  ASSERT_TRUE(big);
  EXPECT_EQ(big.Value().Format().frames, eightHours / 4);
  EXPECT_EQ(big.Value().Format().dataOffset, head.size());
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
    WavInputFault want;
  };
  const Case cases[] = {
      {Riff({Chunk("fmt ", Fmt(1, 2, 44100, 8)), data}), WavInputFault::Unsupported},
      {Riff({Chunk("fmt ", Fmt(3, 2, 44100, 16)), data}), WavInputFault::Unsupported},
      {Riff({Chunk("fmt ", Fmt(1, 6, 44100, 16)), data}), WavInputFault::Unsupported},
      {Riff({Chunk("fmt ", Fmt(1, 2, 44100, 16))}), WavInputFault::Format},
      {Riff({Chunk("fmt ", {1, 0, 2, 0}), data}), WavInputFault::Format},
      {std::vector<unsigned char>(64, 0), WavInputFault::Format},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    auto opened = OpenBytes(cases[i].bytes);
    ASSERT_FALSE(opened) << i;
    EXPECT_TRUE(opened.Error().Is(cases[i].want)) << i << ": " << opened.Error().text;
  }
  for (const std::string& path : {dir_.File("none.wav"), std::string("/tmp")}) {
    auto opened = WavInput::Open(path);
    ASSERT_FALSE(opened) << path;
    EXPECT_TRUE(opened.Error().Is(WavInputFault::Open)) << path;
  }
}

// Catches a refusal that loses what kind it is, where in the file, or which file.
TEST_F(WavInputTest, RefusalsSayWhatWhereAndWhichFile) {
  auto eightBit = OpenBytes(Riff({Chunk("fmt ", Fmt(1, 2, 44100, 8)), Chunk("data", Samples({1, 2}))}));
  ASSERT_FALSE(eightBit);
  EXPECT_EQ(eightBit.Error().category, ErrorCategory::Unsupported);
  EXPECT_EQ(eightBit.Error().position.unit, ErrorPosition::Unit::Byte);
  EXPECT_EQ(eightBit.Error().position.value, 12u);  // the fmt chunk
  EXPECT_EQ(eightBit.Error().text, dir_.File("t.wav") + ": not 16-bit PCM with one or two channels at byte 12");
  EXPECT_EQ(eightBit.Error().subject, dir_.File("t.wav"));

  auto missing = WavInput::Open(dir_.File("none.wav"));
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.Error().category, ErrorCategory::Io);
  EXPECT_EQ(missing.Error().errnum, ENOENT);
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

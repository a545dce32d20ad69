// End-to-end tests of libfaac.so through its exported functions, driven as the maker's
// adapter drives them; the blocks are checked against ffmpeg's decoder.
#include "outside/faac/faac_api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "outside/faac/aac_encoder.h"
#include "outside/faac/adif_header.h"
#include "tests/outside/faac/aac_test_support.h"

using namespace test_media;
using namespace aac_test;

namespace {

FaacEncodeConfig Config(int channels, int rate, bool ltp = false, int bitRate = 128000) {
  return FaacEncodeConfig{channels, rate, rate, bitRate, rate / 2, 0, 1, 1, 0, 1, ltp ? 1 : 0, 0};
}

struct FaacRun {
  bool started = false;
  int32_t samplesPerFrame = 0, outputBufferBytes = 0, headerBytes = 0;
  std::vector<uint8_t> header;  // what faacEncodeFree returned
  std::vector<uint8_t> blocks;  // every byte faacEncodeFrame and faacEncodeFinish returned
  int32_t failure = FAAC_OK;
};

// Feeds pcm in chunks of chunkSamples (0 = samples-per-frame) like the adapter, which also
// makes one call with 0 samples at the end of the input before finishing.
FaacRun RunFaac(const FaacEncodeConfig& config, const std::vector<int16_t>& pcm, size_t chunkSamples = 0) {
  FaacRun run;
  FaacEncodeHandle h = faacEncodeInit(&config, &run.samplesPerFrame, &run.outputBufferBytes, &run.headerBytes);
  if (h == nullptr) return run;
  run.started = true;
  std::vector<uint8_t> out(size_t(run.outputBufferBytes));
  const size_t chunk = chunkSamples ? chunkSamples : size_t(run.samplesPerFrame);
  for (size_t pos = 0;; pos += chunk) {
    const size_t n = pos < pcm.size() ? std::min(chunk, pcm.size() - pos) : 0;
    int32_t bytes = -1;
    run.failure = faacEncodeFrame(h, pcm.data() + std::min(pos, pcm.size()), int32_t(n), out.data(), &bytes);
    if (run.failure != FAAC_OK) break;
    EXPECT_GE(bytes, 0);
    EXPECT_LE(bytes, run.outputBufferBytes);
    run.blocks.insert(run.blocks.end(), out.begin(), out.begin() + bytes);
    if (n == 0) break;
  }
  if (run.failure == FAAC_OK) {
    int32_t bytes = -1;
    run.failure = faacEncodeFinish(h, out.data(), &bytes);
    if (run.failure == FAAC_OK) run.blocks.insert(run.blocks.end(), out.begin(), out.begin() + bytes);
  }
  std::fill(out.begin(), out.end(), 0xEE);
  EXPECT_EQ(faacEncodeFree(h, out.data()), FAAC_OK);
  run.header.assign(out.begin(), out.begin() + run.headerBytes);
  return run;
}

// The same encode through the encoder core, block by block.
AacBlocks CoreBlocks(const FaacEncodeConfig& c, const std::vector<int16_t>& pcm) {
  auto created = AacEncoder::Create({.channels = c.channels, .sampleRate = c.inputRate, .bitRate = c.bitRate,
                                     .cutoffHz = c.cutoffHz, .midSide = c.jointStereo != 0, .pns = c.usePns != 0,
                                     .tns = c.useTns != 0, .ltp = c.useLtp != 0,
                                     .intensityStereo = c.useIntensityStereo != 0});
  EXPECT_TRUE(created);
  if (!created) return {};
  auto& encoder = *created.Value();
  AacBlocks blocks;
  const size_t frame = size_t(AacEncoder::kFrameFrames) * c.channels;
  for (size_t pos = 0; pos < pcm.size(); pos += frame) {
    const size_t n = std::min(frame, pcm.size() - pos);
    EXPECT_TRUE(encoder.Encode(pcm.data() + pos, int(n / c.channels), blocks));
  }
  EXPECT_TRUE(encoder.Flush(blocks));
  return blocks;
}

std::vector<uint8_t> Concat(const AacBlocks& blocks) {
  std::vector<uint8_t> all;
  for (const auto& b : blocks) all.insert(all.end(), b.begin(), b.end());
  return all;
}

struct AacCase {
  const char* name;
  int channels;
  int rate;
  bool ltp;
  uint32_t frames;
  double minCorrelation;
};

void PrintTo(const AacCase& c, std::ostream* os) { *os << c.name; }

class FaacEncodeTest : public ::testing::TestWithParam<AacCase> {
 protected:
  ScratchDir dir_;
};

// Catches lost input (no flush, dropped tail), a wrong header, blocks that ffmpeg cannot
// decode, and audio that no longer resembles the input.
TEST_P(FaacEncodeTest, FileDecodesToTheInputShiftedByTheDelay) {
  const AacCase& c = GetParam();
  const auto pcm = Tone(uint32_t(c.rate), c.channels, c.frames);
  const FaacEncodeConfig config = Config(c.channels, c.rate, c.ltp);
  const FaacRun run = RunFaac(config, pcm);
  ASSERT_EQ(run.failure, FAAC_OK);
  EXPECT_EQ(run.samplesPerFrame, 1024 * c.channels);
  EXPECT_GE(run.outputBufferBytes, run.headerBytes);

  const ParsedAdif adif = ParseAdif(run.header);
  EXPECT_EQ(adif.magic, "ADIF");
  EXPECT_EQ(adif.bytes, size_t(run.headerBytes));
  EXPECT_EQ(int(adif.samplingIndex), AacSamplingIndex(uint32_t(c.rate)));
  EXPECT_EQ(adif.objectType, c.ltp ? 3u : 1u);
  EXPECT_EQ(adif.frontIsCpe, uint32_t(c.channels == 2));

  // The library's byte stream is exactly the core's blocks, so the blocks can be framed
  // for ffmpeg one by one.
  const AacBlocks blocks = CoreBlocks(config, pcm);
  ASSERT_EQ(run.blocks, Concat(blocks));
  size_t peak = 0;
  for (const auto& b : blocks) peak = std::max(peak, b.size());
  EXPECT_EQ(adif.bitRate, uint32_t(peak * 8 * uint64_t(c.rate) / 1024));

  const std::string adts = dir_.File("out.aac");
  WriteFile(adts, ToAdts(blocks, c.ltp ? 4 : 2, int(adif.samplingIndex), c.channels));
  const auto decoded = DecodeWithFfmpeg(adts, "aac");
  const size_t delay = 1024, decodedFrames = decoded.size() / size_t(c.channels);
  EXPECT_GE(decodedFrames, c.frames + delay) << "every input sample must come out";
  EXPECT_LT(decodedFrames, c.frames + delay + 1024) << "at most one block of padding";
  for (int ch = 0; ch < c.channels; ++ch) {
    EXPECT_GT(Correlation(pcm, decoded, c.channels, ch, delay), c.minCorrelation) << "channel " << ch;
  }
}

// Catches ADTS frames whose header disagrees with the stream (profile, rate, channels, a
// frame length off by the header), blocks lost or merged into one frame, or an ADIF
// header still handed out: the stream must be the core's blocks, each in its own frame,
// and decode with ffmpeg finding the format by itself.
TEST_P(FaacEncodeTest, AdtsOutputFramesEveryBlockAndDecodesAsIs) {
  const AacCase& c = GetParam();
  const auto pcm = Tone(uint32_t(c.rate), c.channels, c.frames);
  FaacEncodeConfig config = Config(c.channels, c.rate, c.ltp);
  config.outputFormat = FAAC_OUTPUT_ADTS;
  const FaacRun run = RunFaac(config, pcm);
  ASSERT_EQ(run.failure, FAAC_OK);
  EXPECT_EQ(run.headerBytes, 0);
  EXPECT_EQ(run.header.size(), 0u);
  ASSERT_EQ(run.blocks, ToAdts(CoreBlocks(config, pcm), c.ltp ? 4 : 2, AacSamplingIndex(uint32_t(c.rate)), c.channels));

  const std::string file = dir_.File("framed.aac");
  WriteFile(file, run.blocks);
  const auto decoded = DecodeWithFfmpeg(file);
  const size_t delay = 1024, decodedFrames = decoded.size() / size_t(c.channels);
  EXPECT_GE(decodedFrames, c.frames + delay);
  EXPECT_LT(decodedFrames, c.frames + delay + 1024);
  for (int ch = 0; ch < c.channels; ++ch) {
    EXPECT_GT(Correlation(pcm, decoded, c.channels, ch, delay), c.minCorrelation) << "channel " << ch;
  }
}

INSTANTIATE_TEST_SUITE_P(Streams, FaacEncodeTest,
                         ::testing::Values(AacCase{"Stereo44100", 2, 44100, false, 88200 + 333, 0.99},
                                           AacCase{"Stereo48000Ltp", 2, 48000, true, 48000 + 1000, 0.98},
                                           AacCase{"Mono32000", 1, 32000, false, 40000, 0.99}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches gathering bugs: chunks of any size (odd ones, a dangling half frame) must give
// the same stream as whole frames.
TEST(FaacApiTest, ChunkSizeDoesNotChangeTheStream) {
  const auto pcm = Tone(44100, 2, 20000);
  const auto config = Config(2, 44100);
  const FaacRun whole = RunFaac(config, pcm), odd = RunFaac(config, pcm, 999);
  ASSERT_EQ(odd.failure, FAAC_OK);
  EXPECT_EQ(whole.blocks, odd.blocks);
  EXPECT_EQ(whole.header, odd.header);

  auto dangling = pcm;
  dangling.push_back(1234);  // a left sample without its right partner
  const FaacRun withTail = RunFaac(config, dangling, 1001);
  EXPECT_EQ(withTail.failure, FAAC_OK);
  EXPECT_FALSE(withTail.blocks.empty());
}

// Catches configuration fields that never reach the encoder: switching each coding
// tool on a signal where it applies must change the stream.
TEST(FaacApiTest, EachCodingToolFieldChangesTheStream) {
  // Decaying noise bursts over a tone, the right channel half the left: mid/side,
  // intensity stereo, noise substitution and temporal noise shaping all have work.
  std::vector<int16_t> pcm;
  uint32_t seed = 12345;
  for (int i = 0; i < 44100; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const double noise = double(int32_t(seed >> 8) - (1 << 23)) / double(1 << 23);
    const double envelope = std::exp(-(i % 4410) / 200.0);
    const double left = 0.9 * envelope * noise + 0.1 * std::sin(2.0 * M_PI * 440.0 * i / 44100.0);
    pcm.push_back(int16_t(32000 * left));
    pcm.push_back(int16_t(16000 * left));
  }
  FaacEncodeConfig base = Config(2, 44100, false, 96000);
  base.jointStereo = 0;
  base.useTns = 0;
  const auto baseline = RunFaac(base, pcm).blocks;
  ASSERT_FALSE(baseline.empty());
  // One second of audio at 96 kbit/s, give or take the encoder's rate control.
  EXPECT_NEAR(double(baseline.size()), 96000.0 / 8, 96000.0 / 8 * 0.25) << "the bit rate is not kept";
  using F = FaacEncodeConfig;
  int field = 0;
  for (auto [member, value] : {std::pair{&F::jointStereo, 1}, {&F::usePns, 1}, {&F::useTns, 1},
                               {&F::useIntensityStereo, 1}, {&F::useLtp, 1}, {&F::cutoffHz, 4000}}) {
    FaacEncodeConfig changed = base;
    changed.*member = value;
    const FaacRun run = RunFaac(changed, pcm);
    EXPECT_EQ(run.failure, FAAC_OK) << "field " << field;
    EXPECT_NE(run.blocks, baseline) << "field " << field++ << " has no effect";
  }
  FaacEncodeConfig smaller = base;
  smaller.bitRate = 48000;
  EXPECT_LT(RunFaac(smaller, pcm).blocks.size(), baseline.size() * 7 / 10) << "bitRate has no effect";
}

// Catches an empty input giving garbage or a crash: the result is a header and at most
// the encoder's silent look-ahead.
TEST(FaacApiTest, EmptyInputGivesValidHeader) {
  const FaacRun run = RunFaac(Config(2, 44100), {});
  ASSERT_TRUE(run.started);
  EXPECT_EQ(run.failure, FAAC_OK);
  EXPECT_EQ(ParseAdif(run.header).bitRate, 128000u) << "without blocks the configured rate stands";
}

// Catches configurations the encoder cannot honour being accepted, or null pointers read.
TEST(FaacApiTest, InitRefusesWhatItCannotEncode) {
  int32_t spf = -7, obs = -7, hb = -7;
  std::vector<FaacEncodeConfig> bad{Config(0, 44100), Config(3, 44100), Config(2, 44000)};
  bad.push_back(Config(2, 44100));
  bad.back().outputRate = 22050;
  bad.push_back(Config(2, 44100));
  bad.back().useLfe = 1;
  bad.push_back(Config(2, 44100));
  bad.back().bitRate = -1;
  bad.push_back(Config(2, 44100));
  bad.back().outputFormat = 3;
  for (const auto& c : bad) {
    EXPECT_EQ(faacEncodeInit(&c, &spf, &obs, &hb), nullptr) << c.channels << " " << c.inputRate;
  }
  EXPECT_EQ(spf, -7) << "outputs untouched on failure";
  const auto good = Config(2, 44100);
  EXPECT_EQ(faacEncodeInit(nullptr, &spf, &obs, &hb), nullptr);
  EXPECT_EQ(faacEncodeInit(&good, nullptr, &obs, &hb), nullptr);
}

// Catches calls in the wrong order being accepted and a raw stream getting a header.
TEST(FaacApiTest, StateAndArgumentChecks) {
  auto c = Config(2, 44100);
  c.outputFormat = FAAC_OUTPUT_RAW;
  int32_t spf = 0, obs = 0, hb = -1;
  FaacEncodeHandle h = faacEncodeInit(&c, &spf, &obs, &hb);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(hb, 0);
  std::vector<uint8_t> out(size_t(obs), 0xAB);
  std::vector<int16_t> pcm(static_cast<size_t>(spf));
  int32_t bytes = 0;
  EXPECT_EQ(faacEncodeFrame(nullptr, pcm.data(), spf, out.data(), &bytes), FAAC_ERR_ARGUMENT);
  EXPECT_EQ(faacEncodeFrame(h, pcm.data(), -2, out.data(), &bytes), FAAC_ERR_ARGUMENT);
  EXPECT_EQ(faacEncodeFrame(h, nullptr, 4, out.data(), &bytes), FAAC_ERR_ARGUMENT);
  EXPECT_EQ(faacEncodeFrame(h, pcm.data(), spf, out.data(), &bytes), FAAC_OK);
  EXPECT_EQ(faacEncodeFinish(h, out.data(), &bytes), FAAC_OK);
  EXPECT_GT(bytes, 0);
  EXPECT_EQ(faacEncodeFinish(h, out.data(), &bytes), FAAC_ERR_STATE);
  EXPECT_EQ(faacEncodeFrame(h, pcm.data(), spf, out.data(), &bytes), FAAC_ERR_STATE);
  std::fill(out.begin(), out.end(), 0xAB);
  EXPECT_EQ(faacEncodeFree(h, out.data()), FAAC_OK);
  EXPECT_EQ(out[0], 0xAB) << "no header was asked for";
  EXPECT_EQ(faacEncodeFree(nullptr, out.data()), FAAC_ERR_ARGUMENT);
}

// Catches a missing or C++-mangled export: the maker finds all four entries by name.
TEST(FaacLibraryTest, AllFourEntriesResolveByName) {
  ExpectEntries(ZIMBAR_BIN_DIR "/libfaac.so", {"faacEncodeInit", "faacEncodeFrame", "faacEncodeFinish", "faacEncodeFree"});
}

}  // namespace

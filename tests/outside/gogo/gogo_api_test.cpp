// End-to-end tests of libgogo.so: synthesized WAV files in, MP3 files checked with ffprobe,
// ffmpeg and a frame header walk.
#include "outside/gogo/gogo_api.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csetjmp>
#include <csignal>

#include <algorithm>
#include <set>

#include "tests/outside/gogo/test_media.h"

using namespace test_media;

namespace {

struct Mp3Frame {
  int version, mode, kbps;  // version 1, 2 or 25 (MPEG-2.5); mode 0 stereo, 1 joint, 2 dual, 3 mono
  bool crc;
};

// Walks the Layer III frames of a file from its first byte (the encoder writes no tag).
std::vector<Mp3Frame> WalkFrames(const std::vector<unsigned char>& f) {
  static const int kRates1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static const int kRates2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  static const int kHz[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
  std::vector<Mp3Frame> frames;
  size_t pos = 0;
  while (pos + 4 <= f.size()) {
    if (f[pos] != 0xFF || (f[pos + 1] & 0xE0) != 0xE0) break;
    const int versionBits = (f[pos + 1] >> 3) & 3, layerBits = (f[pos + 1] >> 1) & 3;
    const int rateIndex = f[pos + 2] >> 4, hzIndex = (f[pos + 2] >> 2) & 3;
    if (versionBits == 1 || layerBits != 1 || rateIndex == 0 || rateIndex == 15 || hzIndex == 3) break;
    const int version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    const int kbps = version == 1 ? kRates1[rateIndex] : kRates2[rateIndex];
    frames.push_back({version, f[pos + 3] >> 6, kbps, (f[pos + 1] & 1) == 0});
    const int hz = kHz[version == 1 ? 0 : version == 2 ? 1 : 2][hzIndex];
    pos += size_t((version == 1 ? 144000 : 72000) * kbps / hz + ((f[pos + 2] >> 1) & 1));
  }
  return frames;
}

struct EncodeRun {
  int32_t detect = 0, item15 = -1, end = 0;
  int32_t zeroResults = 0;  // processFrame calls that returned 0
  int32_t lastResult = 0;   // the result that ended the loop
};

// Configures items (pairs of item, value), then runs the whole encode as the maker does.
// stopAfter >= 0 ends the loop early, as a cancel does.
EncodeRun Encode(const std::string& in, const std::string& out,
                 std::vector<std::pair<uint32_t, uint32_t>> items, int stopAfter = -1) {
  EncodeRun run;
  EXPECT_EQ(MPGE_initializeWork(), GOGO_OK);
  MPGE_setConfigure(GOGO_ITEM_INPUT_FILE, 0, in.c_str());
  MPGE_setConfigure(GOGO_ITEM_OUTPUT_FILE, 0, out.c_str());
  for (auto [item, value] : items) EXPECT_EQ(MPGE_setConfigure(item, value, nullptr), GOGO_OK) << item;
  run.detect = MPGE_detectConfigure();
  if (run.detect != GOGO_OK) {
    MPGE_closeCoder();
    return run;
  }
  EXPECT_EQ(MPGE_getConfigure(GOGO_ITEM_FRAME_COUNT, &run.item15), GOGO_OK);
  while (run.zeroResults != stopAfter && (run.lastResult = MPGE_processFrame()) == GOGO_OK) ++run.zeroResults;
  run.end = MPGE_endCoder();
  EXPECT_EQ(MPGE_closeCoder(), GOGO_OK);
  return run;
}

class GogoTest : public ::testing::Test {
 protected:
  std::string MakeWav(const std::string& name, uint32_t rate, int channels, double seconds) {
    const std::string path = dir_.File(name);
    WriteFile(path, WavBytes(rate, channels, Tone(rate, channels, uint32_t(rate * seconds))));
    return path;
  }
  ScratchDir dir_;
};

struct FormatCase {
  const char* name;
  uint32_t inRate;
  int inChannels;
  std::vector<std::pair<uint32_t, uint32_t>> items;
  int wantVersion, wantRate, wantChannels, wantMode;
  int wantKbps;  // 0 = variable
  // Decoded length minus input length allowed: 0 when the info frame's delay and padding
  // can trim exactly; a resampled stream keeps up to a frame more.
  double lengthSlack = 0;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class GogoFormatTest : public GogoTest, public ::testing::WithParamInterface<FormatCase> {};

// Catches items that are ignored: wrong rate, channel mode, MPEG version or bit rate in
// the stream, a frame count that disagrees with the processFrame loop, or lost samples.
TEST_P(GogoFormatTest, OutputHasRequestedFormatAndEveryInputSample) {
  const FormatCase& c = GetParam();
  const uint32_t frames = uint32_t(c.inRate * 1.5);
  const std::string in = dir_.File("in.wav"), out = dir_.File("out.mp3");
  WriteFile(in, WavBytes(c.inRate, c.inChannels, Tone(c.inRate, c.inChannels, frames)));

  const EncodeRun run = Encode(in, out, c.items);
  EXPECT_EQ(run.lastResult, GOGO_END_OF_INPUT);
  EXPECT_EQ(run.zeroResults, run.item15);
  EXPECT_EQ(run.end, GOGO_OK);

  auto probe = ProbeStream(out);
  EXPECT_EQ(probe["codec_name"], "mp3");
  EXPECT_EQ(probe["sample_rate"], std::to_string(c.wantRate));
  EXPECT_EQ(probe["channels"], std::to_string(c.wantChannels));

  const auto walked = WalkFrames(ReadFile(out));
  ASSERT_GT(walked.size(), 2u);
  // The audio frames follow the info frame; the loop count tracks them within the
  // encoder's delay of a frame or two.
  EXPECT_NEAR(double(walked.size() - 1), double(run.item15), 2.0);
  std::set<int> rates;
  for (size_t i = 1; i < walked.size(); ++i) {
    EXPECT_EQ(walked[i].version, c.wantVersion);
    EXPECT_EQ(walked[i].mode, c.wantMode);
    EXPECT_FALSE(walked[i].crc);
    rates.insert(walked[i].kbps);
  }
  if (c.wantKbps > 0) {
    EXPECT_EQ(rates, std::set<int>{c.wantKbps});
    EXPECT_EQ(probe["bit_rate"], std::to_string(c.wantKbps * 1000));
  } else {
    EXPECT_GT(rates.size(), 1u) << "a variable bit rate stream uses several rates";
  }

  // The info frame's delay and padding let a decoder return exactly the input's length.
  const auto decoded = DecodeWithFfmpeg(out);
  const double expectFrames = double(frames) * c.wantRate / c.inRate;
  EXPECT_NEAR(double(decoded.size()) / c.wantChannels, expectFrames, c.lengthSlack);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, GogoFormatTest,
    ::testing::Values(
        FormatCase{"Stereo128", 44100, 2, {{GOGO_ITEM_BIT_RATE, 128}, {GOGO_ITEM_CHANNEL_MODE, 1}},
                   1, 44100, 2, 0, 128},
        FormatCase{"StereoInputMixedToMono64", 44100, 2,
                   {{GOGO_ITEM_BIT_RATE, 64}, {GOGO_ITEM_CHANNEL_MODE, 0}}, 1, 44100, 1, 3, 64},
        FormatCase{"Input22050IsMpeg2", 22050, 2, {{GOGO_ITEM_BIT_RATE, 64}, {GOGO_ITEM_CHANNEL_MODE, 1}},
                   2, 22050, 2, 0, 64},
        FormatCase{"HalfRateOutputIsMpeg2", 44100, 2,
                   {{GOGO_ITEM_BIT_RATE, 96}, {GOGO_ITEM_CHANNEL_MODE, 2}, {GOGO_ITEM_OUTPUT_FREQUENCY, 22050}},
                   2, 22050, 2, 1, 96, 1152},
        FormatCase{"VbrQuality2", 44100, 2,
                   {{GOGO_ITEM_BIT_RATE, 32}, {GOGO_ITEM_VBR_QUALITY, 2}, {GOGO_ITEM_CHANNEL_MODE, 2}},
                   1, 44100, 2, 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches items 4 (as the VBR floor), 16 and 8 being ignored: every VBR frame keeps the
// floor and the file carries a seek header, CRCs come exactly when asked, fast mode differs.
TEST_F(GogoTest, FloorCrcAndQualityItemsShapeTheStream) {
  const std::string in = MakeWav("in.wav", 44100, 2, 1.0), vbr = dir_.File("vbr.mp3");
  ASSERT_EQ(Encode(in, vbr, {{GOGO_ITEM_BIT_RATE, 128}, {GOGO_ITEM_VBR_QUALITY, 9}}).end, GOGO_OK);
  const auto bytes = ReadFile(vbr);
  EXPECT_NE(std::search(bytes.begin(), bytes.begin() + 200, "Xing", "Xing" + 4), bytes.begin() + 200);
  const std::string crc = dir_.File("crc.mp3"), fast = dir_.File("fast.mp3"), best = dir_.File("best.mp3");
  ASSERT_EQ(Encode(in, crc, {{GOGO_ITEM_ERROR_PROTECTION, 1}}).end, GOGO_OK);
  const auto vbrFrames = WalkFrames(bytes), crcFrames = WalkFrames(ReadFile(crc));
  ASSERT_GT(vbrFrames.size(), 2u);
  ASSERT_GT(crcFrames.size(), 2u);
  for (size_t i = 1; i < vbrFrames.size(); ++i) EXPECT_GE(vbrFrames[i].kbps, 128);
  for (size_t i = 1; i < crcFrames.size(); ++i) EXPECT_TRUE(crcFrames[i].crc);
  ASSERT_EQ(Encode(in, fast, {{GOGO_ITEM_QUALITY_MODE, 0}}).end, GOGO_OK);
  ASSERT_EQ(Encode(in, best, {{GOGO_ITEM_QUALITY_MODE, 1}}).end, GOGO_OK);
  EXPECT_NE(ReadFile(fast), ReadFile(best));
  EXPECT_EQ(DecodeWithFfmpeg(fast).size(), DecodeWithFfmpeg(best).size());
}

// Catches a cancelled encode that leaves a broken file or reports failure: the output
// ends properly and holds the blocks encoded so far.
TEST_F(GogoTest, EndCoderAfterCancelGivesAValidShorterFile) {
  const std::string in = MakeWav("in.wav", 44100, 2, 2.0), out = dir_.File("out.mp3");
  const EncodeRun run = Encode(in, out, {}, /*stopAfter=*/20);
  EXPECT_EQ(run.zeroResults, 20);
  EXPECT_EQ(run.end, GOGO_OK);
  EXPECT_EQ(DecodeWithFfmpeg(out).size() / 2, 20u * 1152u);
}

// Catches a bogus frame count (or a divide by zero) when the data chunk is empty or claims
// more than the file holds: the loop must end normally with what is really there.
TEST_F(GogoTest, EmptyOrOversizedDataChunkEncodesWhatIsThere) {
  const std::string in = dir_.File("in.wav"), out = dir_.File("out.mp3");
  for (uint32_t frames : {0u, 30000u}) {
    const auto pcm = Tone(44100, 2, frames);
    WriteFile(in, WavBytes(44100, 2, pcm, 16, /*dataBytesField=*/int64_t(pcm.size()) * 2 * 10));
    const EncodeRun run = Encode(in, out, {});
    ASSERT_EQ(run.detect, GOGO_OK);
    EXPECT_EQ(run.zeroResults, run.item15);
    EXPECT_EQ(run.item15 == 0, frames == 0);
    EXPECT_EQ(run.lastResult, GOGO_END_OF_INPUT);
    EXPECT_EQ(run.end, GOGO_OK);
    if (frames) {
      EXPECT_EQ(DecodeWithFfmpeg(out).size(), pcm.size());
    }
  }
}

// Catches failures reported as success: unusable inputs and outputs fail before any
// frame, no output file is left for a refused input, and the output never truncates the input.
TEST_F(GogoTest, UnusableInputOrOutputFailsDetect) {
  const std::string good = MakeWav("good.wav", 44100, 2, 0.2), out = dir_.File("out.mp3");
  EXPECT_EQ(Encode(dir_.File("missing.wav"), out, {}).detect, GOGO_ERR_INPUT_OPEN);
  struct stat st {};
  EXPECT_NE(stat(out.c_str(), &st), 0) << "no output for a missing input";
  const std::string eightBit = dir_.File("8bit.wav");
  WriteFile(eightBit, WavBytes(44100, 2, std::vector<int16_t>(2000), /*bits=*/8));
  EXPECT_EQ(Encode(eightBit, out, {}).detect, GOGO_ERR_INPUT_FORMAT);
  EXPECT_EQ(Encode(good, dir_.File("no/such/dir/out.mp3"), {}).detect, GOGO_ERR_OUTPUT_OPEN);
  const auto before = ReadFile(good);
  EXPECT_EQ(Encode(good, good, {}).detect, GOGO_ERR_OUTPUT_OPEN);
  EXPECT_EQ(ReadFile(good), before);
}

// Catches a full disk passed off as a finished file.
TEST_F(GogoTest, FullDiskIsReportedAsFailure) {
  const EncodeRun run = Encode(MakeWav("in.wav", 44100, 2, 1.0), "/dev/full", {});
  ASSERT_EQ(run.detect, GOGO_OK);
  EXPECT_TRUE(run.lastResult == GOGO_ERR_OUTPUT_WRITE || run.end == GOGO_ERR_OUTPUT_WRITE);
}

// Catches calls out of order crashing or pretending to work.
TEST_F(GogoTest, CallsOutOfOrderAreRefused) {
  ASSERT_EQ(MPGE_initializeWork(), GOGO_OK);
  EXPECT_EQ(MPGE_processFrame(), GOGO_ERR_STATE);
  EXPECT_EQ(MPGE_endCoder(), GOGO_ERR_STATE);
  int32_t frames = 0;
  EXPECT_EQ(MPGE_getConfigure(GOGO_ITEM_FRAME_COUNT, &frames), GOGO_ERR_STATE);
  EXPECT_EQ(MPGE_setConfigure(99, 1, nullptr), GOGO_ERR_ITEM);
  EXPECT_EQ(MPGE_setConfigure(GOGO_ITEM_CHANNEL_MODE, 7, nullptr), GOGO_ERR_ITEM);
  EXPECT_EQ(MPGE_detectConfigure(), GOGO_ERR_INPUT_OPEN) << "no input item set";
  MPGE_setConfigure(GOGO_ITEM_INPUT_FILE, 0, MakeWav("in.wav", 44100, 2, 0.2).c_str());
  MPGE_setConfigure(GOGO_ITEM_OUTPUT_FILE, 0, dir_.File("o.mp3").c_str());
  ASSERT_EQ(MPGE_detectConfigure(), GOGO_OK);
  EXPECT_EQ(MPGE_setConfigure(GOGO_ITEM_BIT_RATE, 64, nullptr), GOGO_ERR_STATE);
  EXPECT_EQ(MPGE_detectConfigure(), GOGO_ERR_STATE);
  EXPECT_EQ(MPGE_closeCoder(), GOGO_OK);
  EXPECT_EQ(MPGE_closeCoder(), GOGO_OK);
  EXPECT_EQ(MPGE_processFrame(), GOGO_ERR_STATE);
}

sigjmp_buf gFaultJump;
void OnFault(int) { siglongjmp(gFaultJump, 1); }

// Catches a hang after the host's fault guard jumped out of a faulting call: the busy
// state left behind must refuse later calls, and a new encode must take over.
TEST_F(GogoTest, FaultInsideACallDoesNotBlockTheNextEncode) {
  ASSERT_EQ(MPGE_initializeWork(), GOGO_OK);
  struct sigaction action {}, previous {};
  action.sa_handler = OnFault;
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(sigaction(SIGSEGV, &action, &previous), 0);
  bool faulted = false;
  if (sigsetjmp(gFaultJump, 1) == 0) {
    // A text pointer that cannot be read, as a broken caller might pass.
    MPGE_setConfigure(GOGO_ITEM_INPUT_FILE, 0, reinterpret_cast<const char*>(16));
  } else {
    faulted = true;
  }
  sigaction(SIGSEGV, &previous, nullptr);
  ASSERT_TRUE(faulted);
  EXPECT_EQ(MPGE_processFrame(), GOGO_ERR_STATE);
  EXPECT_EQ(MPGE_closeCoder(), GOGO_OK);

  EXPECT_EQ(Encode(MakeWav("in.wav", 44100, 2, 0.2), dir_.File("out.mp3"), {}).end, GOGO_OK);
}

// Catches a missing or C++-mangled export: the maker finds all seven entries by name.
TEST(GogoLibraryTest, AllSevenEntriesResolveByName) {
  ExpectEntries(ZIMBAR_BIN_DIR "/libgogo.so",
                {"MPGE_initializeWork", "MPGE_setConfigure", "MPGE_getConfigure", "MPGE_detectConfigure",
                 "MPGE_processFrame", "MPGE_endCoder", "MPGE_closeCoder"});
}

}  // namespace

// Contract tests of EncodeAacFile against a fake AAC encoder library.
#include "maker/codec/aac_encoder.h"

#include <sys/stat.h>

#include <algorithm>
#include <gtest/gtest.h>

#include "common/fault_guard.h"
#include "tests/maker/codec/codec_test_support.h"

namespace {

class AacEncodeTest : public ::testing::Test {
 protected:
  AacEncodeTest()
      : libDir_("ZIMBAR_LIB_DIR", FakeSet("codec")), fakeLog_("FAKE_FAAC_LOG", dir_.File("faac.log")) {}

  void Encode(const std::string& input, const std::string& output, bool joint = false, bool tns = false,
              bool ltp = false, bool adts = false) {
    EncodeAacFile(input, output, {.bitRate = 128, .jointStereo = joint, .useTns = tns, .useLtp = ltp, .adts = adts},
                  &events_, CollectEvent);
  }
  std::string Wav(uint32_t frames, uint16_t channels = 2, uint32_t rate = 44100) {
    WriteTestWav(dir_.File("in.wav"), channels, rate, frames);
    return dir_.File("in.wav");
  }
  std::vector<std::string> Calls() const { return ReadLines(dir_.File("faac.log")); }
  bool Called(const std::string& line) const {
    const std::vector<std::string> calls = Calls();
    return std::find(calls.begin(), calls.end(), line) != calls.end();
  }

  ScratchDir dir_;
  ScopedEnv libDir_;
  ScopedEnv fakeLog_;
  EventLog events_;
};

}  // namespace

// Catches a missing header placeholder, a header not rewritten at the start, or lost blocks.
TEST_F(AacEncodeTest, ReservesAndRewritesTheHeaderAroundTheBlocks) {
  Encode(Wav(3000), dir_.File("out.aac"));
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{15}));
  const std::string expected = std::string("HEADER!") + std::string("FRM\0", 4) + std::string("FRM\0", 4) +
                               "FRM\x70" + "TAIL";
  EXPECT_EQ(ReadFile(dir_.File("out.aac")), expected);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"init 2 44100 44100 128000 22050 0 1 0 0 0 0 0", "frame 2048",
                                             "frame 2048", "frame 1904", "frame 0", "finish", "free"}));
}

// Catches an ADTS encode that asks the encoder for ADIF, or reserves and rewrites a file
// header over the first frame because the encoder offered one.
TEST_F(AacEncodeTest, AdtsAsksForFramesAndWritesNoFileHeader) {
  Encode(Wav(3000), dir_.File("out.aac"), false, false, false, /*adts=*/true);
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{15}));
  const std::string expected = std::string("FRM\0", 4) + std::string("FRM\0", 4) + "FRM\x70" + "TAIL";
  EXPECT_EQ(ReadFile(dir_.File("out.aac")), expected);
  EXPECT_EQ(Calls().at(0), "init 2 44100 44100 128000 22050 0 2 0 0 0 0 0");
  EXPECT_EQ(Calls().back(), "free");
}

// Catches chunks stored behind the audio (LIST, id3) encoded as noise at its end, or audio
// lost when the data size field is unset or claims more than the file holds.
TEST_F(AacEncodeTest, EncodesTheDataChunkAndNothingBehindIt) {
  const std::string wav = ReadFile(Wav(3000));
  const struct {
    uint32_t sizeField;
    std::string behind;
  } cases[] = {{12000, "LIST" + std::string("\x88\x13\0\0", 4) + std::string(5000, 'i')},
               {0, ""},
               {0xFFFFFFFF, ""},
               {500000, ""}};
  for (const auto& c : cases) {
    std::string bytes = wav + c.behind;
    for (int i = 0; i < 4; ++i) bytes[40 + i] = static_cast<char>(c.sizeField >> (8 * i));
    WriteFile(dir_.File("in.wav"), bytes);
    std::remove(dir_.File("faac.log").c_str());
    events_ = {};
    Encode(dir_.File("in.wav"), dir_.File("out.aac"));
    EXPECT_EQ(events_.Kinds(), (std::vector<int>{15})) << c.sizeField;
    const std::vector<std::string> calls = Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(std::vector<std::string>(calls.begin() + 1, calls.end()),
              (std::vector<std::string>{"frame 2048", "frame 2048", "frame 1904", "frame 0", "finish", "free"}))
        << c.sizeField;
  }
}

// Catches options landing in the wrong fields of the configuration record.
TEST_F(AacEncodeTest, ConfigurationRecordCarriesTheOptions) {
  Encode(Wav(10, 2, 48000), dir_.File("out.aac"), /*joint=*/true, /*tns=*/true, /*ltp=*/true);
  EXPECT_EQ(Calls().at(0), "init 2 48000 48000 128000 24000 0 1 1 0 1 1 0");
}

// Catches a mono input accepted (an empty output passing as a finished job).
TEST_F(AacEncodeTest, MonoInputIsRefusedWithoutCreatingOutput) {
  Encode(Wav(3000, 1), dir_.File("out.aac"));
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{7}));
  struct stat info {};
  EXPECT_NE(::stat(dir_.File("out.aac").c_str(), &info), 0);
  EXPECT_TRUE(Calls().empty());
}

// Catches a full disk reported as success, or an unwritable location as anything but kind 2.
TEST_F(AacEncodeTest, OutputFailuresAreReported) {
  Encode(Wav(3000), "/dev/full");
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{3}));
  EXPECT_TRUE(Called("free"));
  events_ = {};
  Encode(Wav(3000), dir_.File("no/such/dir/out.aac"));
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{2}));
}

// Catches wrong progress values, including a division by zero for short inputs.
TEST_F(AacEncodeTest, ProgressCountsTenThousandByteUnits) {
  Encode(Wav(50000), dir_.File("out.aac"));
  EXPECT_EQ(events_.ProgressValues(), (std::vector<int32_t>{3000, 6500, 9500}));
  EXPECT_EQ(AacEncodeProgress(5000, 8000), 6250);
  EXPECT_EQ(AacEncodeProgress(0, 0), 10000);
  EXPECT_EQ(AacEncodeProgress(400000, 200000), 10000);
}

// Catches a cancel that goes on encoding or is reported as an error.
TEST_F(AacEncodeTest, CancelEndsWithFinished) {
  events_.stopAtProgress = 1;
  Encode(Wav(50000), dir_.File("out.aac"));
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{14, 15}));
  EXPECT_FALSE(Called("finish"));
  EXPECT_EQ(ReadFile(dir_.File("out.aac")).substr(0, 7), "HEADER!");
}

// Catches a fault inside a frame call ending the process or losing its code, or an encoder
// that claims more bytes than its buffer holds blamed on the output file (or read past it).
TEST_F(AacEncodeTest, FaultInsideFrameReportsKindElevenWithCode) {
  {
    ScopedEnv crash("FAKE_FAAC_CRASH_AT", "2");
    Encode(Wav(3000), dir_.File("out.aac"));
  }
  ASSERT_EQ(events_.Kinds(), (std::vector<int>{11}));
  EXPECT_EQ(static_cast<uint32_t>(events_.events[0].value), kFaultAccessViolation);
  EXPECT_TRUE(Called("free"));
  events_ = {};
  ScopedEnv claim("FAKE_FAAC_CLAIM", "65");
  Encode(Wav(3000), dir_.File("out.aac"));
  ASSERT_EQ(events_.Kinds(), (std::vector<int>{11}));
  EXPECT_EQ(events_.events[0].value, 0);
}

// Catches a failed free still writing a header, a file left without its header passing as
// finished, or a refused start not reported.
TEST_F(AacEncodeTest, FailedFreeLeavesThePlaceholderAndFailedInitIsKindTen) {
  {
    ScopedEnv freeFails("FAKE_FAAC_FREE", "-1");
    Encode(Wav(100), dir_.File("out.aac"));
  }
  EXPECT_EQ(ReadFile(dir_.File("out.aac")).substr(0, 7), std::string(7, '\0'));
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{11}));
  events_ = {};
  ScopedEnv initFails("FAKE_FAAC_INIT_FAIL", "1");
  Encode(Wav(100), dir_.File("out.aac"));
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{10}));
}

// Catches bad input files reaching the encoder.
TEST_F(AacEncodeTest, InputChecksReportTheirKinds) {
  WriteTestWav(dir_.File("eight.wav"), 2, 44100, 10, 8);
  WriteTestWav(dir_.File("slow.wav"), 2, 11025, 10);
  WriteFile(dir_.File("bad.wav"), std::string(100, 'x'));
  for (const auto& [name, kind] : {std::pair{"missing.wav", 1}, {"bad.wav", 5}, {"eight.wav", 6}, {"slow.wav", 8}}) {
    events_ = {};
    Encode(dir_.File(name), dir_.File("out.aac"));
    EXPECT_EQ(events_.Kinds(), (std::vector<int>{kind})) << name;
  }
}

// Catches a missing entry crashing instead of reporting kind 0.
TEST_F(AacEncodeTest, MissingEntryReportsKindZero) {
  ScopedEnv incomplete("ZIMBAR_LIB_DIR", FakeSet("codec-incomplete"));
  Encode(Wav(100), dir_.File("out.aac"));
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{0}));
}

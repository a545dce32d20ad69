// Contract tests of DecodeAacFile against a fake AAC decoder library.
#include "maker/codec/aac_file_decoder.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/fault_guard.h"
#include "common/wav_header.h"
#include "tests/maker/codec/codec_test_support.h"

namespace {

struct WavFacts {
  int result = -99;
  WavFormatInfo info;
  uint32_t declaredBytes = 0;
  size_t fileBytes = 0;
};

WavFacts ReadWav(const std::string& path) {
  WavFacts facts;
  facts.result = ReadWavHeaderFromPath(path.c_str(), facts.info);
  const std::string bytes = ReadFile(path);
  facts.fileBytes = bytes.size();
  if (bytes.size() >= 44) {
    for (int i = 0; i < 4; ++i) facts.declaredBytes |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[40 + i])) << (8 * i);
  }
  return facts;
}

class AacDecodeTest : public ::testing::Test {
 protected:
  AacDecodeTest() : libDir_("ZIMBAR_LIB_DIR", FakeSet("codec")), fakeLog_("FAKE_AAC_LOG", dir_.File("aac.log")) {}

  void Decode(const std::string& output) { DecodeAacFile(dir_.File("in.aac"), output, &events_, CollectEvent); }
  std::string Out() const { return dir_.File("out.wav"); }

  ScratchDir dir_;
  ScopedEnv libDir_;
  ScopedEnv fakeLog_;
  EventLog events_;
};

}  // namespace

// Catches lost blocks, a placeholder header left behind, or wrong progress values.
TEST_F(AacDecodeTest, WritesWholeBlocksAndRewritesTheHeader) {
  Decode(Out());
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{14, 14, 15}));
  EXPECT_EQ(events_.ProgressValues(), (std::vector<int32_t>{65536, 131072}));
  const WavFacts wav = ReadWav(Out());
  ASSERT_EQ(wav.result, 0);
  EXPECT_EQ(wav.info.channels, 2);
  EXPECT_EQ(wav.info.sampleRate, 44100u);
  EXPECT_EQ(wav.declaredBytes, 40u * 4096u);
  EXPECT_EQ(wav.fileBytes, 44u + 40u * 4096u);
  const std::string bytes = ReadFile(Out());
  // Block 1, slot 1 holds 1 * 7 + 1.
  EXPECT_EQ(static_cast<uint8_t>(bytes[44 + 2]), 8);
  EXPECT_EQ(ReadLines(dir_.File("aac.log")), (std::vector<std::string>{"open " + dir_.File("in.aac"), "close 40"}));
}

// Catches a one-channel stream written with the two-slot stride or a stereo header.
TEST_F(AacDecodeTest, OneChannelStreamIsPackedFromTheEvenSlots) {
  ScopedEnv mode("FAKE_AAC_MODE", "3");
  ScopedEnv rate("FAKE_AAC_RATE", "22050");
  Decode(Out());
  const WavFacts wav = ReadWav(Out());
  EXPECT_EQ(wav.info.channels, 1);
  EXPECT_EQ(wav.info.sampleRate, 22050u);
  EXPECT_EQ(wav.declaredBytes, 40u * 2048u);
  const std::string bytes = ReadFile(Out());
  EXPECT_EQ(static_cast<uint8_t>(bytes[44 + 2]), 9);  // slot 2 of block 1: 1 * 7 + 2
}

// Catches a cancelled decode that leaves a header not matching the samples.
TEST_F(AacDecodeTest, CancelKeepsAValidWavOfWhatWasWritten) {
  events_.stopAtProgress = 1;
  Decode(Out());
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{14, 15}));
  const WavFacts wav = ReadWav(Out());
  EXPECT_EQ(wav.declaredBytes, 16u * 4096u);
  EXPECT_EQ(wav.fileBytes, 44u + 16u * 4096u);
}

// Catches a decode fault ending the process, losing its code or the samples before it.
TEST_F(AacDecodeTest, FaultInsideDecodeIsKindElevenAndKeepsEarlierBlocks) {
  ScopedEnv crash("FAKE_AAC_CRASH_AT", "5");
  Decode(Out());
  ASSERT_EQ(events_.Kinds(), (std::vector<int>{11}));
  EXPECT_EQ(static_cast<uint32_t>(events_.events[0].value), kFaultAccessViolation);
  EXPECT_EQ(ReadWav(Out()).declaredBytes, 4u * 4096u);
}

// Catches a fault inside Open not reported as an initialisation failure.
TEST_F(AacDecodeTest, FaultInsideOpenIsKindTen) {
  ScopedEnv crash("FAKE_AAC_CRASH_OPEN", "1");
  Decode(Out());
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{10}));
}

// Catches a full disk or an uncreatable output reported as success.
TEST_F(AacDecodeTest, OutputFailuresAreReported) {
  Decode("/dev/full");
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{3}));
  events_ = {};
  Decode(dir_.File("no/such/dir/out.wav"));
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{2}));
}

// Catches a disk that fills up part way giving a truncated WAV reported as success.
TEST_F(AacDecodeTest, WriteFailureMidwayIsKindThreeAndKeepsAValidHeader) {
  {
    ScopedFileSizeLimit limit(44 + 5 * 4096 + 100);
    Decode(Out());
  }
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{3}));
  EXPECT_EQ(ReadWav(Out()).declaredBytes, 5u * 4096u);
}

// Catches a missing library or entry not reported as kind 0.
TEST_F(AacDecodeTest, MissingLibraryOrEntryIsKindZero) {
  {
    ScopedEnv incomplete("ZIMBAR_LIB_DIR", FakeSet("codec-incomplete"));
    Decode(Out());
  }
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{0}));
  events_ = {};
  ScratchDir broken;
  WriteFile(broken.File("libzbaaclib.so"), "junk");
  ScopedEnv brokenDir("ZIMBAR_LIB_DIR", broken.Path());
  Decode(Out());
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{0}));
  EXPECT_EQ(ReadWav(Out()).result, 0);
}

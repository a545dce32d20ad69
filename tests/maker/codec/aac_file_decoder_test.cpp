// Contract tests of DecodeAacFile against a fake AAC decoder library.
#include "maker/codec/aac_file_decoder.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/fault_guard.h"
#include "common/wav_header.h"
#include "tests/maker/codec/codec_test_support.h"

namespace {

WavFormatInfo Header(const std::string& path) {
  WavFormatInfo info;
  EXPECT_EQ(ReadWavHeaderFromPath(path.c_str(), info), 0);
  return info;
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
  EXPECT_EQ(Header(Out()).channels, 2);
  EXPECT_EQ(Header(Out()).sampleRate, 44100u);
  EXPECT_EQ(WavDeclaredBytes(Out()), 40u * 4096u);
  const std::string bytes = ReadFile(Out());
  EXPECT_EQ(bytes.size(), kWavHeader64Bytes + 40u * 4096u);
  // Block 1, slot 1 holds 1 * 7 + 1.
  EXPECT_EQ(static_cast<uint8_t>(bytes[kWavHeader64Bytes + 2]), 8);
  EXPECT_EQ(ReadLines(dir_.File("aac.log")), (std::vector<std::string>{"open " + dir_.File("in.aac"), "close 40"}));
}

// Catches a one-channel stream written with the two-slot stride or a stereo header.
TEST_F(AacDecodeTest, OneChannelStreamIsPackedFromTheEvenSlots) {
  ScopedEnv mode("FAKE_AAC_MODE", "3");
  ScopedEnv rate("FAKE_AAC_RATE", "22050");
  Decode(Out());
  EXPECT_EQ(Header(Out()).channels, 1);
  EXPECT_EQ(Header(Out()).sampleRate, 22050u);
  EXPECT_EQ(WavDeclaredBytes(Out()), 40u * 2048u);
  EXPECT_EQ(static_cast<uint8_t>(ReadFile(Out())[kWavHeader64Bytes + 2]), 9);  // slot 2 of block 1: 1 * 7 + 2
}

// Catches a cancelled decode that leaves a header not matching the samples.
TEST_F(AacDecodeTest, CancelKeepsAValidWavOfWhatWasWritten) {
  events_.stopAtProgress = 1;
  Decode(Out());
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{14, 15}));
  EXPECT_EQ(WavDeclaredBytes(Out()), 16u * 4096u);
  EXPECT_EQ(ReadFile(Out()).size(), kWavHeader64Bytes + 16u * 4096u);
}

// Catches a decode fault ending the process, losing its code or the samples before it.
TEST_F(AacDecodeTest, FaultInsideDecodeIsKindElevenAndKeepsEarlierBlocks) {
  ScopedEnv crash("FAKE_AAC_CRASH_AT", "5");
  Decode(Out());
  ASSERT_EQ(events_.Kinds(), (std::vector<int>{11}));
  EXPECT_EQ(static_cast<uint32_t>(events_.events[0].value), kFaultAccessViolation);
  EXPECT_EQ(WavDeclaredBytes(Out()), 4u * 4096u);
}

// Catches a fault inside Open not reported as an initialisation failure.
TEST_F(AacDecodeTest, FaultInsideOpenIsKindTen) {
  ScopedEnv crash("FAKE_AAC_CRASH_OPEN", "1");
  Decode(Out());
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{10}));
}

// Catches a full disk (at once or part way) or an uncreatable output reported as success, or a
// truncated WAV left with a header not matching its samples.
TEST_F(AacDecodeTest, OutputFailuresAreReportedAndKeepAValidHeader) {
  Decode("/dev/full");
  Decode(dir_.File("no/such/dir/out.wav"));
  {
    ScopedFileSizeLimit limit(kWavHeader64Bytes + 5 * 4096 + 100);
    Decode(Out());
  }
  EXPECT_EQ(events_.Kinds(), (std::vector<int>{3, 2, 3}));
  EXPECT_EQ(WavDeclaredBytes(Out()), 5u * 4096u);
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
  Header(Out());
}

// Catches an input the library gives no block for (another format, text) or gives up on
// early (random bytes it takes for a few blocks) reported as decoded: each block takes 512
// bytes here (the fake's 4096 bits), so an input much longer than the blocks took is an
// error, one they took up to a last partial block is not, and a cancel never is.
TEST_F(AacDecodeTest, InputLeftLargelyUndecodedIsAnError) {
  const struct {
    const char* name;
    const char* blocks;
    size_t inputBytes;
    int stopAtProgress;
    std::vector<int> kinds;
    std::string text;
    uint32_t wavBlocks;  // what the WAV keeps either way
  } cases[] = {
      {"no block", "0", 30000, 0, {11}, "Encoder/decoder failed. No AAC audio found in the input file.", 0},
      {"stopped early", "3", 30000, 0, {11}, "Encoder/decoder failed. Decoding stopped before the end of the input file.",
       3},
      {"whole input", "40", 40 * 512 + 1500, 0, {14, 14, 15}, "", 40},
      {"cancelled", "40", 100000, 1, {14, 15}, "", 16},
  };
  for (const auto& c : cases) {
    WriteFile(dir_.File("in.aac"), std::string(c.inputBytes, '\x5A'));
    ScopedEnv blocks("FAKE_AAC_BLOCKS", c.blocks);
    events_ = EventLog{};
    events_.stopAtProgress = c.stopAtProgress;
    Decode(Out());
    EXPECT_EQ(events_.Kinds(), c.kinds) << c.name;
    if (!c.text.empty()) {
      EXPECT_EQ(events_.events.back().text, c.text) << c.name;
    }
    EXPECT_EQ(WavDeclaredBytes(Out()), c.wavBlocks * 4096u) << c.name;
  }
}

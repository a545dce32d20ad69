// Contract tests of DecodeAacFile against a fake AAC decoder library.
#include "maker/codec/aac_file_decoder.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "aaclib/zbaaclib.h"
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

// Catches an end of the blocks judged by the adapter instead of by the library (the
// adapter guessed from the bytes the blocks took, and zbaacdec judged otherwise): each
// verdict of the library's report becomes the event it stands for, with its text; a small
// loss is a success behind a warning that says what was lost; a cancel is no verdict.
TEST_F(AacDecodeTest, TheLibrarysVerdictDecides) {
  const struct {
    const char* name;
    int verdict;
    const char* skipped;
    const char* unread;
    const char* perMille;
    const char* errorNumber;
    int stopAtProgress;
    std::vector<int> kinds;
    std::string text;  // of the last event but the final one, or of the final one
  } cases[] = {
      {"ok", ZBAAC_VERDICT_OK, "0", "0", "0", "0", 0, {14, 14, 15}, ""},
      {"small loss", ZBAAC_VERDICT_OK_WITH_LOSSES, "2", "12", "3", "0", 0, {14, 14, 16, 15},
       "Skipped 2 damaged frames (740 bytes; silence in their place); ignored 12 bytes of trailing data."},
      {"no audio", ZBAAC_VERDICT_NO_AUDIO, "0", "0", "0", "0", 0, {14, 14, 11},
       "Encoder/decoder failed. No AAC audio found in the input file."},
      {"damaged", ZBAAC_VERDICT_DAMAGED, "1", "900", "123", "0", 0, {14, 14, 11},
       "Encoder/decoder failed. The input file is too damaged: 12.3% of it did not decode (skipped 1 damaged "
       "frame (370 bytes; silence in its place); ignored 900 bytes of trailing data)."},
      {"unreadable", ZBAAC_VERDICT_CANNOT_READ, "0", "0", "0", "21", 0, {14, 14, 11},
       "Encoder/decoder failed. Cannot read the input file: Is a directory."},
      {"cancelled", ZBAAC_VERDICT_NO_AUDIO, "0", "0", "0", "0", 1, {14, 15}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedEnv verdict("FAKE_AAC_VERDICT", std::to_string(c.verdict).c_str());
    ScopedEnv skipped("FAKE_AAC_SKIPPED", c.skipped);
    ScopedEnv unread("FAKE_AAC_UNREAD", c.unread);
    ScopedEnv perMille("FAKE_AAC_PERMILLE", c.perMille);
    ScopedEnv errorNumber("FAKE_AAC_ERRNO", c.errorNumber);
    events_ = EventLog{};
    events_.stopAtProgress = c.stopAtProgress;
    Decode(Out());
    ASSERT_EQ(events_.Kinds(), c.kinds);
    const size_t at = c.kinds.back() == 15 && c.kinds.size() > 3 ? c.kinds.size() - 2 : c.kinds.size() - 1;
    if (!c.text.empty()) {
      EXPECT_EQ(events_.events[at].text, c.text);
    }
    // The WAV keeps what was decoded either way; the job decides whether it is kept.
    EXPECT_EQ(WavDeclaredBytes(Out()), (c.stopAtProgress ? 16u : 40u) * 4096u);
  }
}

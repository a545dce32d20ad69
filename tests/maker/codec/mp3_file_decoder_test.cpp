// Contract tests of the MP3 path against a fake MPEG audio decoder library.
#include "maker/codec/mp3_file_decoder.h"

#include <gtest/gtest.h>

#include "common/wav_header.h"
#include "tests/maker/codec/codec_test_support.h"

namespace {

constexpr uint32_t kStereoFrameBytes = 1152 * 4;

class Mp3DecodeTest : public ::testing::Test {
 protected:
  Mp3DecodeTest() : libDir_("ZIMBAR_LIB_DIR", FakeSet("codec")), fakeLog_("FAKE_ZBD_LOG", dir_.File("zbd.log")) {
    job_.outputPath = Out();
    job_.lastStatusTime = 0;
  }

  int Decode(const std::string& output) { return Mp3DecoderErrorFlag(DecodeMp3File(dir_.File("in.mp3"), output, job_)); }
  std::string Out() const { return dir_.File("out.wav"); }
  WavFormatInfo Header() const {
    WavFormatInfo info;
    EXPECT_EQ(ReadWavHeaderFromPath(Out().c_str(), info), 0);
    return info;
  }

  ScratchDir dir_;
  ScopedEnv libDir_;
  ScopedEnv fakeLog_;
  FakeCodecRecord job_;
};

}  // namespace

// Catches frames lost after "no frame yet" answers, or a header without the data size.
TEST_F(Mp3DecodeTest, DecodesAllFramesAfterLeadingNoFrameAnswers) {
  ScopedEnv skip("FAKE_ZBD_SKIP_AT", "7");
  EXPECT_EQ(Decode(Out()), kMp3DecodeOk);
  EXPECT_FALSE(job_.error);
  EXPECT_TRUE(job_.log.empty());
  const std::string bytes = ReadFile(Out());
  EXPECT_EQ(WavDeclaredBytes(Out()), 30u * kStereoFrameBytes);
  EXPECT_EQ(bytes.size(), kWavHeader64Bytes + 30u * kStereoFrameBytes);
  EXPECT_EQ(Header().channels, 2);
  EXPECT_EQ(static_cast<uint8_t>(bytes[kWavHeader64Bytes]), 13);  // frame 1, sample 0
  EXPECT_EQ(ReadLines(dir_.File("zbd.log")),
            (std::vector<std::string>{"new", "file_module", "register file", "input_new " + dir_.File("in.mp3") + " -1",
                                      "input_open", "delete"}));
  EXPECT_EQ(job_.status, (std::vector<std::string>{" MP3 Decoder: 3%, " + Out()}));
}

// Catches the mono flag or rate of the first frame not reaching the header.
TEST_F(Mp3DecodeTest, MonoLowRateStreamGivesMatchingHeader) {
  ScopedEnv mono("FAKE_ZBD_MONO", "1");
  ScopedEnv rate("FAKE_ZBD_RATE", "22050");
  EXPECT_EQ(Decode(Out()), kMp3DecodeOk);
  EXPECT_EQ(Header().channels, 1);
  EXPECT_EQ(Header().sampleRate, 22050u);
  EXPECT_EQ(WavDeclaredBytes(Out()), 30u * 1152u * 2u);
}

// Catches a decode failure code treated as an error instead of the end of input.
TEST_F(Mp3DecodeTest, OtherResultsEndTheFileNormally) {
  ScopedEnv end("FAKE_ZBD_END", "-8");
  EXPECT_EQ(Decode(Out()), kMp3DecodeOk);
  EXPECT_FALSE(job_.error);
  EXPECT_EQ(WavDeclaredBytes(Out()), 30u * kStereoFrameBytes);
}

// Catches a cancelled decode that loses its samples or leaves a placeholder header.
TEST_F(Mp3DecodeTest, CancelKeepsAValidWavOfWhatWasWritten) {
  ScopedEnv firstCallGivesAFrame("FAKE_ZBD_LEADING", "0");
  job_.stop = true;
  EXPECT_EQ(Decode(Out()), kMp3DecodeOk);
  EXPECT_EQ(WavDeclaredBytes(Out()), kStereoFrameBytes);
  EXPECT_EQ(ReadFile(Out()).size(), kWavHeader64Bytes + kStereoFrameBytes);
}

// Catches a full disk, or one that fills up part way, giving a truncated WAV reported as success.
TEST_F(Mp3DecodeTest, WriteFailureIsAnErrorAndKeepsAValidHeader) {
  EXPECT_EQ(Decode("/dev/full"), kMp3DecodeWrite);
  {
    ScopedFileSizeLimit limit(kWavHeader64Bytes + 3 * kStereoFrameBytes + 100);
    EXPECT_EQ(Decode(Out()), kMp3DecodeWrite);
  }
  EXPECT_TRUE(job_.error);
  EXPECT_EQ(job_.log, std::vector<std::string>(2, "Error: cannot write to output file."));
  EXPECT_EQ(WavDeclaredBytes(Out()), 3u * kStereoFrameBytes);
}

// Catches each failure step logged with the wrong text or code.
TEST_F(Mp3DecodeTest, FailuresLogTheirLinesAndCodes) {
  {
    ScopedEnv fail("FAKE_ZBD_INPUT_NEW", "-4");
    EXPECT_EQ(Decode(Out()), kMp3DecodeInputProcessor);
  }
  {
    ScopedEnv fail("FAKE_ZBD_OPEN", "-5");
    EXPECT_EQ(Decode(Out()), kMp3DecodeInputOpen);
  }
  EXPECT_EQ(Decode(dir_.File("no/dir/out.wav")), kMp3DecodeOutput);
  {
    ScopedEnv incomplete("ZIMBAR_LIB_DIR", FakeSet("codec-incomplete"));
    EXPECT_EQ(Decode(Out()), kMp3DecodeLibrary);
  }
  ScratchDir broken;
  WriteFile(broken.File("libzbdecode.so"), "junk");
  ScopedEnv brokenDir("ZIMBAR_LIB_DIR", broken.Path());
  EXPECT_EQ(Decode(Out()), kMp3DecodeLibrary);
  EXPECT_EQ(job_.log, (std::vector<std::string>{"Error: cannot create an input processor for the MP3 decoder.",
                                                "Error: cannot open input file.",
                                                "Error: cannot create output file: No such file or directory",
                                                "Error: cannot load MP3 decoder functions.",
                                                "Error: cannot load MP3 decoder."}));
  EXPECT_TRUE(job_.error);
}

// Catches an input without MPEG audio reported as decoded (a WAV of nothing and no log
// line), and a decode cancelled before its first frame taken for such an input.
TEST_F(Mp3DecodeTest, InputWithoutFramesIsAnError) {
  ScopedEnv none("FAKE_ZBD_FRAMES", "0");
  EXPECT_EQ(Decode(Out()), kMp3DecodeNoAudio);
  EXPECT_TRUE(job_.error);
  EXPECT_EQ(job_.log, std::vector<std::string>{"Error: no MPEG audio found in input file."});
  EXPECT_EQ(WavDeclaredBytes(Out()), 0u);
  EXPECT_EQ(Header().dataOffset, static_cast<uint32_t>(kWavHeader64Bytes));

  job_ = FakeCodecRecord{};
  job_.stop = true;
  EXPECT_EQ(Decode(Out()), kMp3DecodeOk);
  EXPECT_FALSE(job_.error);
  EXPECT_TRUE(job_.log.empty());
}

// Tests of TDecodingThread: naming, log lines, choice of decoder, error flag.
#include "maker/codec/decoding_thread.h"

#include <chrono>
#include <gtest/gtest.h>

#include "common/wav_header.h"
#include "tests/maker/codec/codec_test_support.h"

namespace {

class DecodingThreadTest : public ::testing::Test {
 protected:
  DecodingThreadTest()
      : libDir_("ZIMBAR_LIB_DIR", FakeSet("codec")),
        aacLog_("FAKE_AAC_LOG", dir_.File("aac.log")),
        zbdLog_("FAKE_ZBD_LOG", dir_.File("zbd.log")) {}

  void Run() {
    thread_ = std::make_unique<Worker<TDecodingThread>>(loop_, host_, job_);
    bool finished = false;
    thread_->SetOnFinished([&] { finished = true; });
    thread_->Start();
    ASSERT_TRUE(loop_.RunUntil([&] { return finished; }, std::chrono::seconds(30)));
  }

  ScratchDir dir_;
  ScopedEnv libDir_;
  ScopedEnv aacLog_;
  ScopedEnv zbdLog_;
  QueueMainLoop loop_;
  RecordingHost host_;
  DecoderJob job_;
  std::unique_ptr<TDecodingThread> thread_;
};

}  // namespace

// Catches the line end kept in the path or the three log lines missing.
TEST_F(DecodingThreadTest, TrimsTheInputAndLogsThreeLines) {
  job_.inputPath = dir_.File("song.mp3") + "\r\n\\";
  Run();
  EXPECT_EQ(thread_->OutputPath(), dir_.File("song.wav"));
  EXPECT_EQ(host_.log, (std::vector<std::string>{"", "Decoding: " + dir_.File("song.mp3"), "To: " + dir_.File("song.wav")}));
  EXPECT_FALSE(thread_->Error());
  EXPECT_FALSE(ReadLines(dir_.File("zbd.log")).empty());
  EXPECT_FALSE(host_.status.empty());
}

// Catches an AAC file in capitals or mixed case sent to the MP3 decoder.
TEST_F(DecodingThreadTest, AacExtensionInAnyCaseUsesTheAacDecoder) {
  for (const char* name : {"a.AAC", "b.Aac"}) {
    job_.inputPath = dir_.File(name);
    Run();
    EXPECT_FALSE(thread_->Error());
  }
  EXPECT_EQ(ReadLines(dir_.File("aac.log")).size(), 4u);
  EXPECT_TRUE(ReadLines(dir_.File("zbd.log")).empty());
}

// Catches decoding status texts that call every input MP3: the AAC decoder's name AAC, and
// a file told by its content (a FLAC named ".mp3") carries its format's name.
TEST_F(DecodingThreadTest, StatusTextsNameTheDecodedFormat) {
  job_.inputPath = dir_.File("a.aac");
  Run();
  ASSERT_FALSE(host_.status.empty());
  for (const std::string& text : host_.status) EXPECT_EQ(text.rfind(" AAC Decoder: ", 0), 0u) << text;
  EXPECT_EQ(thread_->formatName, "AAC");
  WriteFile(dir_.File("b.mp3"), std::string("fLaC") + std::string(60, '\0'));
  job_.inputPath = dir_.File("b.mp3");
  Run();
  EXPECT_EQ(thread_->formatName, "FLAC");
  job_.inputPath = dir_.File("c.mp3");
  Run();
  EXPECT_EQ(thread_->formatName, "MP3");
}

// Catches an AAC or MP3 decode failure not reaching the log and the error flag, or the MP3
// path's code lost.
TEST_F(DecodingThreadTest, FailuresSetTheErrorFlag) {
  job_.inputPath = dir_.File("missing-dir/a.aac");
  Run();
  EXPECT_TRUE(thread_->Error());
  EXPECT_EQ(host_.log.back(), "    Error: Cannot create output file: No such file or directory");
  ScopedEnv fail("FAKE_ZBD_OPEN", "-5");
  job_.inputPath = dir_.File("a.mp3");
  Run();
  EXPECT_TRUE(thread_->Error());
  EXPECT_EQ(thread_->ErrorCode(), 3);
  EXPECT_EQ(host_.log.back(), "Error: cannot open input file.");
}

// Catches a decode that would truncate its own input (a WAV given as the input), or the
// user asked whether to overwrite the input before being refused anyway.
TEST_F(DecodingThreadTest, OutputEqualToInputIsRefused) {
  WriteFile(dir_.File("a.wav"), "precious");
  job_.inputPath = dir_.File("a.wav");
  job_.confirmOverwrite = true;
  Run();
  EXPECT_TRUE(thread_->Error());
  EXPECT_TRUE(host_.questions.empty());
  EXPECT_EQ(host_.log.back(), "    Error: The output file is the input file itself.");
  EXPECT_EQ(ReadFile(dir_.File("a.wav")), "precious");
  EXPECT_TRUE(ReadLines(dir_.File("zbd.log")).empty());
}

// Catches an existing WAV replaced after the user declined.
TEST_F(DecodingThreadTest, DeclinedOverwriteKeepsTheFile) {
  WriteFile(dir_.File("a.wav"), "keep");
  job_.inputPath = dir_.File("a.mp3");
  job_.confirmOverwrite = true;
  host_.answer = false;
  Run();
  EXPECT_EQ(ReadFile(dir_.File("a.wav")), "keep");
  EXPECT_EQ(host_.questions.size(), 1u);
  EXPECT_FALSE(thread_->Error());
}

// Catches a failed decode that destroys the WAV an earlier run made (the output was
// truncated before the first frame), and a kept unfinished WAV under the finished name:
// it is "a.part.wav" when the delete rule keeps it, gone when the rule deletes it.
TEST_F(DecodingThreadTest, FailedDecodeLeavesTheExistingWavAndKeepsThePartApart) {
  ScopedEnv readFails("FAKE_ZBD_END", "-7");  // a read error after the frames
  for (bool keep : {true, false}) {
    SCOPED_TRACE(keep);
    WriteFile(dir_.File("a.wav"), "earlier decode");
    job_.inputPath = dir_.File("a.mp3");
    job_.keepPartialOutput = keep;
    host_.log.clear();
    Run();
    EXPECT_TRUE(thread_->Error());
    EXPECT_EQ(ReadFile(dir_.File("a.wav")), "earlier decode");
    EXPECT_EQ(std::filesystem::exists(dir_.File("a.part.wav")), keep);
    if (keep) {
      EXPECT_EQ(host_.log.back(), "    Kept the unfinished file as " + dir_.File("a.part.wav") + " (failed).");
      EXPECT_GT(std::filesystem::file_size(dir_.File("a.part.wav")), static_cast<uintmax_t>(kWavHeader64Bytes));
      EXPECT_EQ(WavDeclaredBytes(dir_.File("a.part.wav")), std::filesystem::file_size(dir_.File("a.part.wav")) - kWavHeader64Bytes);
    }
    std::filesystem::remove(dir_.File("a.part.wav"));
  }
  size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
    entries += entry.path().filename().string().rfind(".a.wav", 0) == 0;
  EXPECT_EQ(entries, 0u) << "a temporary file was left behind";
}

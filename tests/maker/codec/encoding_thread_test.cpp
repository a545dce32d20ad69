// Tests of TEncodingThread: naming, log lines, overwrite question, adapters, external programs.
#include "maker/codec/encoding_thread.h"

#include <sys/stat.h>

#include <chrono>
#include <gtest/gtest.h>

#include "maker/settings/encoder_mode.h"
#include "tests/maker/codec/codec_test_support.h"

namespace {

constexpr std::time_t kStart = 5000;

class EncodingThreadTest : public ::testing::Test {
 protected:
  EncodingThreadTest()
      : libDir_("ZIMBAR_LIB_DIR", FakeSet("codec")),
        gogoLog_("FAKE_GOGO_LOG", dir_.File("gogo.log")),
        faacLog_("FAKE_FAAC_LOG", dir_.File("faac.log")) {
    job_.startTime = kStart;
  }

  // Runs the thread to its end on this test's main loop; `whileRunning` runs once after the
  // start (for a cancel).
  void Run(const std::function<void(TEncodingThread&)>& whileRunning = {}) {
    thread_ = std::make_unique<Worker<TEncodingThread>>(loop_, host_, job_);
    thread_->SetClock([] { return kStart + 7; });
    bool finished = false;
    thread_->SetOnFinished([&] { finished = true; });
    thread_->Start();
    if (whileRunning) whileRunning(*thread_);
    ASSERT_TRUE(loop_.RunUntil([&] { return finished; }, std::chrono::seconds(30)));
  }

  ScratchDir dir_;
  ScopedEnv libDir_;
  ScopedEnv gogoLog_;
  ScopedEnv faacLog_;
  QueueMainLoop loop_;
  RecordingHost host_;
  EncoderJob job_;
  std::unique_ptr<TEncodingThread> thread_;
};

}  // namespace

// Catches a line-end left in the path, the output in the wrong place, or missing log lines.
TEST_F(EncodingThreadTest, TrimsTheInputAndLogsTheFourLinesAndDone) {
  WriteTestWav(dir_.File("a.wav"), 2, 44100, 100);
  job_.inputPath = dir_.File("a.wav") + "\r\n";
  Run();
  EXPECT_EQ(thread_->OutputPath(), dir_.File("a.mp3"));
  EXPECT_EQ(host_.log, (std::vector<std::string>{"", "Stereo, 128 kbps", "Encoding: " + dir_.File("a.wav"),
                                                 "To: " + dir_.File("a.mp3"), "    Done (7 seconds)."}));
  EXPECT_FALSE(thread_->Error());
  EXPECT_EQ(ReadLines(dir_.File("gogo.log"))[1], "set 1 0 " + dir_.File("a.wav"));
}

// Catches description words in the wrong order or shown for the wrong encoder.
TEST(EncodingThreadDescription, NamesChannelsRateAndOptions) {
  EncoderJob job;
  job.mp3 = {.bitRate = 1004, .mono = true, .mpeg2 = true, .jointStereo = true, .fastMode = true};
  job.aac.useTns = true;
  EXPECT_EQ(TEncodingThread::Description(job), "Mono, Quality-4 VBR, MPEG2, Fast Mode");
  job = {};
  job.mpegMode = 3;
  job.aac = {.bitRate = 160, .jointStereo = true, .useTns = true, .useLtp = true};
  job.mp3 = {.bitRate = 160, .jointStereo = true, .fastMode = true};
  EXPECT_EQ(TEncodingThread::Description(job), "Joint-Stereo, 160 kbps, TNS, LTP");
  job.aac.adts = true;
  EXPECT_EQ(TEncodingThread::Description(job), "Joint-Stereo, 160 kbps, TNS, LTP, ADTS");
  job.mpegMode = 1;
  EXPECT_EQ(TEncodingThread::Description(job), "Joint-Stereo, 160 kbps, Fast Mode");
}

// Catches status texts that call every encoder MP3: the AAC encoder's progress names AAC,
// the MP3 encoder's MP3, and each new format's thread carries its name for the callbacks.
TEST_F(EncodingThreadTest, StatusTextsNameTheFormat) {
  WriteTestWav(dir_.File("a.wav"), 2, 44100, 44100);
  job_.inputPath = dir_.File("a.wav");
  for (const auto& [mode, name] : {std::pair{kModeAac, "AAC"}, {kModeMpeg1, "MP3"}}) {
    SCOPED_TRACE(name);
    host_.status.clear();
    job_.mpegMode = mode;
    job_.aac.bitRate = job_.mp3.bitRate = 128;
    Run();
    ASSERT_FALSE(thread_->Error()) << host_.log.back();
    ASSERT_FALSE(host_.status.empty());
    for (const std::string& text : host_.status) EXPECT_EQ(text.rfind(" " + std::string(name) + " Encoder: ", 0), 0u) << text;
  }
  for (const auto& [mode, name] : {std::pair{kModeFlac, "FLAC"}, {kModeVorbis, "Ogg Vorbis"}, {kModeOpus, "Opus"},
                                   {kModeM4a, "M4A"}, {kModeExternal, "MP3"}}) {
    job_.mpegMode = mode;
    const Worker<TEncodingThread> thread(loop_, host_, job_);
    EXPECT_EQ(thread.formatName, name);
  }
}

// Catches a mono AAC encode passing as finished with an empty output.
TEST_F(EncodingThreadTest, MonoAacInputFailsTheJob) {
  WriteTestWav(dir_.File("m.wav"), 1, 44100, 100);
  job_.inputPath = dir_.File("m.wav");
  job_.mpegMode = 3;
  Run();
  EXPECT_EQ(thread_->OutputPath(), dir_.File("m.aac"));
  EXPECT_TRUE(thread_->Error());
  EXPECT_EQ(host_.log.back(), "    Error: Input file is not stereo. (At 0.00%)");
}

// Catches an existing output replaced after the user declined, or the wrong question.
TEST_F(EncodingThreadTest, DeclinedOverwriteRunsNoEncoder) {
  WriteTestWav(dir_.File("a.wav"), 2, 44100, 100);
  WriteFile(dir_.File("a.mp3"), "keep me");
  job_.inputPath = dir_.File("a.wav");
  job_.confirmOverwrite = true;
  host_.answer = false;
  Run();
  EXPECT_EQ(host_.questions, (std::vector<std::string>{"Overwrite existing file " + dir_.File("a.mp3") + " ?"}));
  EXPECT_EQ(host_.captions, (std::vector<std::string>{"zbmaker Confirmation"}));
  EXPECT_EQ(ReadFile(dir_.File("a.mp3")), "keep me");
  EXPECT_TRUE(ReadLines(dir_.File("gogo.log")).empty());
  EXPECT_FALSE(thread_->Error());
  EXPECT_EQ(host_.log.size(), 4u);
}

// Catches an encode that would truncate its own input, or the user asked whether to
// overwrite the input before being refused anyway.
TEST_F(EncodingThreadTest, OutputEqualToInputIsRefused) {
  WriteFile(dir_.File("a.mp3"), "precious");
  job_.inputPath = dir_.File("a.mp3");
  job_.confirmOverwrite = true;
  Run();
  EXPECT_TRUE(thread_->Error());
  EXPECT_TRUE(host_.questions.empty());
  EXPECT_EQ(host_.log.back(), "    Error: The output file is the input file itself.");
  EXPECT_EQ(ReadFile(dir_.File("a.mp3")), "precious");
}

// Catches a failing external program, a missing program or an empty slot passing as success,
// or their log lines missing.
TEST_F(EncodingThreadTest, ExternalProgramFailuresAreErrors) {
  const std::pair<std::string, std::string> cases[] = {
      {"sh -c \"exit 3\" $full$", "    Error: External program failed (exit code 3)."},
      {"", "Error: The specified file was not found."}};
  for (const auto& [command, error] : cases) {
    host_.log.clear();
    job_.mpegMode = 4;
    job_.inputPath = "/music/a.wav";
    job_.externalCommand = command;
    Run();
    const std::string expanded = command.empty() ? "" : "sh -c \"exit 3\" /music/a.wav";
    EXPECT_EQ(host_.log, (std::vector<std::string>{"", "Executing external program:", expanded, error}));
    EXPECT_TRUE(thread_->Error());
  }
}

// Catches the thread ending before the program has finished its work.
TEST_F(EncodingThreadTest, ExternalProgramIsAwaitedAndLogsDone) {
  WriteTestWav(dir_.File("a.wav"), 2, 44100, 100);
  job_.mpegMode = 4;
  job_.inputPath = dir_.File("a.wav");
  job_.externalCommand = "sh -c \"sleep 0.3; cp $0 $1\" \"$full$\" \"$path$$name$.copy\"";
  Run();
  EXPECT_FALSE(thread_->Error());
  EXPECT_EQ(host_.log.back(), "    Done (7 seconds).");
  EXPECT_EQ(ReadFile(dir_.File("a.copy")), ReadFile(dir_.File("a.wav")));
}

// Catches a cancel that waits for the program to end by itself.
TEST_F(EncodingThreadTest, CancelEndsTheExternalProgram) {
  job_.mpegMode = 4;
  job_.inputPath = "/music/a.wav";
  job_.externalCommand = "sleep 30";
  const auto started = std::chrono::steady_clock::now();
  Run([](TEncodingThread& thread) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    thread.Terminate();
  });
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_EQ(host_.log.size(), 3u);
}

// Catches an encode that replaces the existing MP3 before it has finished: a cancelled
// encode leaves the old file whole and its own output as "a.part.mp3".
TEST_F(EncodingThreadTest, CancelledEncodeLeavesTheExistingMp3) {
  ScopedEnv realEncoder("ZIMBAR_LIB_DIR", ZIMBAR_BIN_DIR);
  WriteTestWav(dir_.File("a.wav"), 2, 44100, 44100 * 20);
  WriteFile(dir_.File("a.mp3"), "earlier encode");
  job_.inputPath = dir_.File("a.wav");
  Run([](TEncodingThread& thread) { thread.Terminate(); });
  EXPECT_EQ(ReadFile(dir_.File("a.mp3")), "earlier encode");
  EXPECT_EQ(host_.log.back(), "    Kept the unfinished file as " + dir_.File("a.part.mp3") + " (cancelled).");
  EXPECT_TRUE(std::filesystem::exists(dir_.File("a.part.mp3")));
}

// Tests of the encoder and decoder status callbacks.
#include "maker/codec/codec_callbacks.h"

#include <gtest/gtest.h>

#include "common/fault_guard.h"
#include "tests/maker/codec/codec_test_support.h"

namespace {

int32_t Encoder(FakeCodecRecord& job, CodecEvent kind, int32_t value = 0) {
  return ReportCodecEvent(&job, EncoderStatusCallback, kind, value);
}
int32_t Decoder(FakeCodecRecord& job, CodecEvent kind, int32_t value = 0) {
  return ReportCodecEvent(&job, DecoderStatusCallback, kind, value);
}

FakeCodecRecord StartedJob() {
  FakeCodecRecord job;
  job.outputPath = "/music/a.mp3";
  job.startTime = job.lastStatusTime = job.now = 1000;
  return job;
}

}  // namespace

// Catches a status refresh before two seconds have passed, more than one per window, or a
// long output path cut off in the status text.
TEST(EncoderCallback, StatusPanelChangesAtMostOnceEveryTwoSeconds) {
  FakeCodecRecord job = StartedJob();
  job.outputPath = "/" + std::string(5000, 'x') + ".mp3";
  job.now = 1001;
  EXPECT_EQ(Encoder(job, CodecEvent::Progress, 100), 0);
  EXPECT_TRUE(job.status.empty());
  job.now = 1002;
  Encoder(job, CodecEvent::Progress, 1234);
  Encoder(job, CodecEvent::Progress, 1300);
  job.now = 1003;
  Encoder(job, CodecEvent::Progress, 1400);
  job.now = 1004;
  Encoder(job, CodecEvent::Progress, 1500);
  EXPECT_EQ(job.status, (std::vector<std::string>{" MP3 Encoder: 12.34%, " + job.outputPath,
                                                  " MP3 Encoder: 15.00%, " + job.outputPath}));
  EXPECT_TRUE(job.log.empty());
}

// Catches status texts that call every format MP3: each callback names the format its
// thread set on the record.
TEST(EncoderCallback, StatusTextsNameTheJobsFormat) {
  for (const char* format : {"FLAC", "Ogg Vorbis", "Opus", "M4A", "AAC"}) {
    SCOPED_TRACE(format);
    FakeCodecRecord job = StartedJob();
    job.formatName = format;
    job.now = 1010;
    Encoder(job, CodecEvent::Progress, 4500);
    Decoder(job, CodecEvent::Progress, 1024);
    EXPECT_EQ(job.status, (std::vector<std::string>{" " + std::string(format) + " Encoder: 45.00%, /music/a.mp3"}));
    job.lastStatusTime = 0;
    Decoder(job, CodecEvent::Progress, 2048);
    ASSERT_EQ(job.status.size(), 2u);
    EXPECT_EQ(job.status[1], " " + std::string(format) + " Decoder: 2048 bytes, /music/a.mp3");
  }
}

// Catches a progress above 100% shown or remembered unclamped.
TEST(EncoderCallback, ProgressAboveTenThousandIsShownAsHundredPercent) {
  FakeCodecRecord job = StartedJob();
  job.now = 1010;
  Encoder(job, CodecEvent::Progress, 12345);
  EXPECT_EQ(job.lastProgress, 10000);
  EXPECT_EQ(job.status, (std::vector<std::string>{" MP3 Encoder: 100.00%, /music/a.mp3"}));
}

// Catches an error line without the last position (or a stale one before any progress), a
// missing flag, or a zero answer.
TEST(EncoderCallback, ErrorIsLoggedWithLastPositionAndFlagsTheJob) {
  FakeCodecRecord job = StartedJob();
  EXPECT_EQ(Encoder(job, CodecEvent::CodecFailed, static_cast<int32_t>(kFaultAccessViolation)), 1);
  EXPECT_TRUE(job.error);
  Encoder(job, CodecEvent::Progress, 3750);
  Encoder(job, CodecEvent::CannotWriteOutput);
  EXPECT_EQ(job.log, (std::vector<std::string>{
                         "    Error: Encoder/decoder failed. exception: access violation (At 0.00%)",
                         "    Error: Cannot write to output file. (At 37.50%)"}));
}

// Catches the error kinds of the encoder misclassified (kind 7 must fail a mono AAC job), or
// an error passing as success because its text came empty or missing.
TEST(EncoderCallback, ErrorKindsFlagAndOthersDoNot) {
  for (const char* text : {"x", "", static_cast<const char*>(nullptr)}) {
    for (int kind = 0; kind < 256; ++kind) {
      FakeCodecRecord job = StartedJob();
      const int32_t answer = EncoderStatusCallback(&job, static_cast<uint8_t>(kind), 0, text);
      const bool isError = kind <= 8 || kind == 10 || kind == 11 || kind == 12;
      EXPECT_EQ(job.error, isError) << "kind " << kind;
      EXPECT_EQ(answer, isError ? 1 : 0) << "kind " << kind;
    }
  }
  FakeCodecRecord job = StartedJob();
  EncoderStatusCallback(&job, static_cast<uint8_t>(CodecEvent::CannotReadInput), 0, "");
  EXPECT_EQ(job.log, (std::vector<std::string>{"    Error: Cannot read input file. (At 0.00%)"}));
}

// Catches a missing or wrongly timed Done line on kind 15.
TEST(EncoderCallback, FinishedLogsTheElapsedSeconds) {
  FakeCodecRecord job = StartedJob();
  job.now = 1042;
  EXPECT_EQ(Encoder(job, CodecEvent::Finished), 0);
  EXPECT_EQ(job.log, (std::vector<std::string>{"    Done (42 seconds)."}));
  EXPECT_FALSE(job.error);
}

// Catches a cancel request not passed back to the adapter.
TEST(EncoderCallback, AnswersStopWhenCancelled) {
  FakeCodecRecord job = StartedJob();
  job.stop = true;
  EXPECT_EQ(Encoder(job, CodecEvent::Progress, 10), 1);
  EXPECT_FALSE(job.error);
}

// Catches a decoder error logged with a position (or not at all when its text came empty),
// or decoder kinds misclassified.
TEST(DecoderCallback, ErrorIsLoggedWithoutPosition) {
  FakeCodecRecord job = StartedJob();
  EXPECT_EQ(Decoder(job, CodecEvent::CannotCreateOutput), 1);
  EXPECT_EQ(job.log, (std::vector<std::string>{"    Error: Cannot create output file."}));
  EXPECT_TRUE(job.error);
  FakeCodecRecord untold = StartedJob();
  EXPECT_EQ(DecoderStatusCallback(&untold, static_cast<uint8_t>(CodecEvent::OutOfMemory), 0, ""), 1);
  EXPECT_EQ(untold.log, (std::vector<std::string>{"    Error: Insufficient memory."}));
  for (CodecEvent kind : {CodecEvent::CannotOpenInput, CodecEvent::CannotReadInput, CodecEvent::InvalidWavHeader,
                          CodecEvent::NotStereo, CodecEvent::Finished, CodecEvent::CannotWriteOutput}) {
    FakeCodecRecord other = StartedJob();
    const bool isError = kind == CodecEvent::CannotWriteOutput;
    EXPECT_EQ(Decoder(other, kind), isError ? 1 : 0);
    EXPECT_EQ(other.error, isError);
    EXPECT_EQ(other.log.empty(), !isError);
  }
}

// Catches the decoder status text or its two-second rule going wrong.
TEST(DecoderCallback, StatusShowsBytesWritten) {
  FakeCodecRecord job = StartedJob();
  job.lastStatusTime = 0;
  Decoder(job, CodecEvent::Progress, 65536);
  Decoder(job, CodecEvent::Progress, 131072);
  EXPECT_EQ(job.status, (std::vector<std::string>{" MP3 Decoder: 65536 bytes, /music/a.mp3"}));
}

// Catches a loss the AAC decoder got over (damaged frames skipped, trailing data) that
// never reaches the log, or that fails the job: both callbacks log it as a warning line,
// the job stays without error and goes on.
TEST(DecoderCallback, WarningIsLoggedAndIsNoError) {
  for (const auto callback : {DecoderStatusCallback, EncoderStatusCallback}) {
    FakeCodecRecord job = StartedJob();
    EXPECT_EQ(ReportCodecEvent(&job, callback, CodecEvent::Warning, 0, "Skipped 1 damaged frame."), 0);
    EXPECT_EQ(job.log, (std::vector<std::string>{"    Warning: Skipped 1 damaged frame."}));
    EXPECT_FALSE(job.error);
  }
}

// Catches a codec line that a host can only classify by its words: errors, warnings and the
// end of an encode carry their severity and the job's subject, for both callbacks.
TEST(CodecCallbacks, LinesCarryTheirSeverityAndSubject) {
  FakeCodecRecord job = StartedJob();
  job.logSubject = "/music/a.wav";
  ReportCodecEvent(&job, EncoderStatusCallback, CodecEvent::Warning, 0, "Skipped 1 damaged frame.");
  Encoder(job, CodecEvent::Finished);
  Encoder(job, CodecEvent::CannotReadInput);
  FakeCodecRecord decode = StartedJob();
  Decoder(decode, CodecEvent::OutOfMemory);
  EXPECT_EQ(job.events, (std::vector<LogEvent>{
                            LogEvent::Warning("    Warning: Skipped 1 damaged frame.", "/music/a.wav"),
                            LogEvent::Done("    Done (0 seconds).", "/music/a.wav"),
                            LogEvent::Error("    Error: Cannot read input file. (At 0.00%)", "/music/a.wav"),
                        }));
  EXPECT_EQ(decode.events, (std::vector<LogEvent>{LogEvent::Error("    Error: Insufficient memory.")}));
}

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
  job.startTime = 1000;
  job.lastStatusTime = 1000;
  job.now = 1000;
  return job;
}

}  // namespace

// Catches a status refresh before two seconds have passed, or more than one per window.
TEST(EncoderCallback, StatusPanelChangesAtMostOnceEveryTwoSeconds) {
  FakeCodecRecord job = StartedJob();
  job.now = 1001;
  EXPECT_EQ(Encoder(job, CodecEvent::Progress, 100), 0);
  EXPECT_TRUE(job.status.empty());
  job.now = 1002;
  Encoder(job, CodecEvent::Progress, 1234);
  Encoder(job, CodecEvent::Progress, 1300);
  job.now = 1003;
  Encoder(job, CodecEvent::Progress, 1400);
  ASSERT_EQ(job.status.size(), 1u);
  EXPECT_EQ(job.status[0], " MP3 Encoder: 12.34%, /music/a.mp3");
  job.now = 1004;
  Encoder(job, CodecEvent::Progress, 1500);
  ASSERT_EQ(job.status.size(), 2u);
  EXPECT_EQ(job.status[1], " MP3 Encoder: 15.00%, /music/a.mp3");
  EXPECT_TRUE(job.log.empty());
}

// Catches a long output path cut off in the status text.
TEST(EncoderCallback, LongPathsAreShownWhole) {
  FakeCodecRecord job = StartedJob();
  job.outputPath = "/" + std::string(5000, 'x') + ".mp3";
  job.now = 1002;
  Encoder(job, CodecEvent::Progress, 50);
  ASSERT_EQ(job.status.size(), 1u);
  EXPECT_EQ(job.status[0], " MP3 Encoder: 0.50%, " + job.outputPath);
}

// Catches a progress above 100% shown or remembered unclamped.
TEST(EncoderCallback, ProgressAboveTenThousandIsShownAsHundredPercent) {
  FakeCodecRecord job = StartedJob();
  job.now = 1010;
  Encoder(job, CodecEvent::Progress, 12345);
  EXPECT_EQ(job.lastProgress, 10000);
  ASSERT_EQ(job.status.size(), 1u);
  EXPECT_EQ(job.status[0], " MP3 Encoder: 100.00%, /music/a.mp3");
}

// Catches an error line without the last position, a missing flag, or a zero answer.
TEST(EncoderCallback, ErrorIsLoggedWithLastPositionAndFlagsTheJob) {
  FakeCodecRecord job = StartedJob();
  Encoder(job, CodecEvent::Progress, 3750);
  EXPECT_EQ(Encoder(job, CodecEvent::CannotWriteOutput), 1);
  EXPECT_TRUE(job.error);
  ASSERT_EQ(job.log.size(), 1u);
  EXPECT_EQ(job.log[0], "    Error: Cannot write to output file. (At 37.50%)");
}

// Catches an error before any progress shown with a stale or garbage position.
TEST(EncoderCallback, ErrorBeforeProgressShowsZeroPosition) {
  FakeCodecRecord job = StartedJob();
  Encoder(job, CodecEvent::CodecFailed, static_cast<int32_t>(kFaultAccessViolation));
  ASSERT_EQ(job.log.size(), 1u);
  EXPECT_EQ(job.log[0], "    Error: Encoder/decoder failed. exception: access violation (At 0.00%)");
}

// Catches the error kinds of the encoder misclassified; kind 7 must fail a mono AAC job.
TEST(EncoderCallback, ErrorKindsFlagAndOthersDoNot) {
  for (int kind = 0; kind < 256; ++kind) {
    FakeCodecRecord job = StartedJob();
    const int32_t answer = EncoderStatusCallback(&job, static_cast<uint8_t>(kind), 0, "x");
    const bool isError = kind <= 8 || kind == 10 || kind == 11 || kind == 12;
    EXPECT_EQ(job.error, isError) << "kind " << kind;
    EXPECT_EQ(answer, isError ? 1 : 0) << "kind " << kind;
  }
}

// Catches a missing or wrongly timed Done line on kind 15.
TEST(EncoderCallback, FinishedLogsTheElapsedSeconds) {
  FakeCodecRecord job = StartedJob();
  job.now = 1042;
  EXPECT_EQ(Encoder(job, CodecEvent::Finished), 0);
  ASSERT_EQ(job.log.size(), 1u);
  EXPECT_EQ(job.log[0], "    Done (42 seconds).");
  EXPECT_FALSE(job.error);
}

// Catches a cancel request not passed back to the adapter.
TEST(EncoderCallback, AnswersStopWhenCancelled) {
  FakeCodecRecord job = StartedJob();
  job.stop = true;
  EXPECT_EQ(Encoder(job, CodecEvent::Progress, 10), 1);
  EXPECT_FALSE(job.error);
}

// Catches a decoder error logged with a position, or decoder kinds misclassified.
TEST(DecoderCallback, ErrorIsLoggedWithoutPosition) {
  FakeCodecRecord job = StartedJob();
  EXPECT_EQ(Decoder(job, CodecEvent::CannotCreateOutput), 1);
  ASSERT_EQ(job.log.size(), 1u);
  EXPECT_EQ(job.log[0], "    Error: Cannot create output file.");
  EXPECT_TRUE(job.error);

  for (CodecEvent ignored : {CodecEvent::CannotOpenInput, CodecEvent::CannotReadInput, CodecEvent::InvalidWavHeader,
                             CodecEvent::NotStereo, CodecEvent::Finished}) {
    FakeCodecRecord quiet = StartedJob();
    EXPECT_EQ(Decoder(quiet, ignored), 0);
    EXPECT_FALSE(quiet.error);
    EXPECT_TRUE(quiet.log.empty());
  }
  FakeCodecRecord full = StartedJob();
  EXPECT_EQ(Decoder(full, CodecEvent::CannotWriteOutput), 1);
  EXPECT_TRUE(full.error);
}

// Catches the decoder status text or its two-second rule going wrong.
TEST(DecoderCallback, StatusShowsBytesWritten) {
  FakeCodecRecord job = StartedJob();
  job.lastStatusTime = 0;
  Decoder(job, CodecEvent::Progress, 65536);
  Decoder(job, CodecEvent::Progress, 131072);
  ASSERT_EQ(job.status.size(), 1u);
  EXPECT_EQ(job.status[0], " MP3 Decoder: 65536 bytes, /music/a.mp3");
}

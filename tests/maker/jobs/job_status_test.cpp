// The typed job state: the status words rendered from it, outcomes and the job table.
#include "maker/jobs/job_status.h"

#include <gtest/gtest.h>

#include <string>

// Catches a status word that differs by one byte from what the rows showed before the
// state was typed (the colon of the file words, the "/W" of warned tracks).
TEST(JobStatus, RendersTheRowWordsOfEachList) {
  const struct {
    JobStatus status;
    const char* track;
    const char* file;
  } cases[] = {
      {JobStatus::Pending, "+", "+"},          {JobStatus::Read, "Read", "Read"},
      {JobStatus::ReadWarned, "Read/W", "Read/W"}, {JobStatus::Finished, "OK", "OK:"},
      {JobStatus::FinishedWarned, "OK/W", "OK:"}, {JobStatus::Failed, "Error", "Error:"},
      {JobStatus::Cancelled, "Cancelled", "Cancelled"}, {JobStatus::Kept, "Kept", "Kept:"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(std::string(StatusWord(JobList::Tracks, c.status)), c.track);
    EXPECT_EQ(std::string(StatusWord(JobList::Files, c.status)), c.file);
  }
}

// Catches a warned success not counted as converted, a kept job counted as one, or a job
// still running given an outcome.
TEST(JobStatus, OutcomesOfEndedJobsOnly) {
  EXPECT_EQ(OutcomeOf(JobStatus::Finished), JobOutcome::Finished);
  EXPECT_EQ(OutcomeOf(JobStatus::FinishedWarned), JobOutcome::Finished);
  EXPECT_EQ(OutcomeOf(JobStatus::Failed), JobOutcome::Failed);
  EXPECT_EQ(OutcomeOf(JobStatus::Cancelled), JobOutcome::Cancelled);
  EXPECT_EQ(OutcomeOf(JobStatus::Kept), JobOutcome::Kept);
  EXPECT_FALSE(OutcomeOf(JobStatus::Pending));
  EXPECT_FALSE(OutcomeOf(JobStatus::Read));
  EXPECT_FALSE(OutcomeOf(JobStatus::ReadWarned));
  EXPECT_TRUE(WaitsForEncoder(JobStatus::Read) && WaitsForEncoder(JobStatus::ReadWarned));
  EXPECT_FALSE(WaitsForEncoder(JobStatus::Pending) || WaitsForEncoder(JobStatus::FinishedWarned));
}

// Catches the encoder taking a track past the rows still shown, a later waiting track
// before an earlier one, a track another encoder has, or rows outside the table answered
// with another row's job.
TEST(JobStatus, TableFindsTheFirstTrackWaitingForTheEncoder) {
  JobTable table;
  table.Reset(4);
  ASSERT_EQ(table.Size(), 4);
  EXPECT_EQ(table.FirstWaitingForEncoder(4), -1);
  table.At(3)->status = JobStatus::Read;
  table.At(1)->status = JobStatus::ReadWarned;
  EXPECT_EQ(table.FirstWaitingForEncoder(4), 1);
  EXPECT_EQ(table.FirstWaitingForEncoder(1), -1);
  // A track an encoder already has is passed.
  const int taken[] = {1};
  EXPECT_EQ(table.FirstWaitingForEncoder(4, taken), 3);
  table.At(1)->status = JobStatus::FinishedWarned;
  EXPECT_EQ(table.FirstWaitingForEncoder(4), 3);
  EXPECT_EQ(table.FirstWaitingForEncoder(9), 3);
  EXPECT_EQ(table.At(2)->row, 2);
  EXPECT_EQ(table.At(4), nullptr);
  EXPECT_EQ(table.At(-1), nullptr);
  EXPECT_EQ(table.StatusOf(7), JobStatus::Pending);
  table.Reset(0);
  EXPECT_EQ(table.Size(), 0);
  EXPECT_EQ(table.FirstWaitingForEncoder(4), -1);
}

// Catches a worker's end read from its flags in the wrong order: an error fails the job even
// when it kept an output or warned before, and a kept output counts before warnings.
TEST(JobStatus, WorkEndOfTheFlagsAWorkerLeft) {
  EXPECT_EQ(WorkEndOf(false, false, false), WorkEnd::Finished);
  EXPECT_EQ(WorkEndOf(false, true, false), WorkEnd::Warned);
  EXPECT_EQ(WorkEndOf(false, true, true), WorkEnd::Kept);
  EXPECT_EQ(WorkEndOf(true, true, true), WorkEnd::Failed);
  EXPECT_EQ(WorkEndOf(true, false, false), WorkEnd::Failed);
}

// The typed state of the maker's jobs and the status words rendered from it.
#include "maker/jobs/job_status.h"

#include <algorithm>

#include "maker/jobs/job_rows.h"

const char* StatusWord(JobList list, JobStatus state) {
  const bool files = list == JobList::Files;
  switch (state) {
    case JobStatus::Pending: return status::kPending;
    case JobStatus::Read: return status::kRead;
    case JobStatus::ReadWarned: return status::kReadWarned;
    case JobStatus::Finished: return files ? status::kFileOk : status::kOk;
    case JobStatus::FinishedWarned: return files ? status::kFileOk : status::kOkWarned;
    case JobStatus::Failed: return files ? status::kFileError : status::kError;
    case JobStatus::Cancelled: return status::kCancelled;
    case JobStatus::Kept: return files ? status::kFileKept : status::kKept;
  }
  return status::kPending;
}

std::optional<JobOutcome> OutcomeOf(JobStatus status) {
  switch (status) {
    case JobStatus::Finished:
    case JobStatus::FinishedWarned: return JobOutcome::Finished;
    case JobStatus::Failed: return JobOutcome::Failed;
    case JobStatus::Cancelled: return JobOutcome::Cancelled;
    case JobStatus::Kept: return JobOutcome::Kept;
    case JobStatus::Pending:
    case JobStatus::Read:
    case JobStatus::ReadWarned: return std::nullopt;
  }
  return std::nullopt;
}

void JobTable::Reset(int rows) {
  jobs_.assign(static_cast<size_t>(std::max(rows, 0)), Job{});
  for (int row = 0; row < rows; ++row) jobs_[static_cast<size_t>(row)].row = row;
}

Job* JobTable::At(int row) {
  return row >= 0 && row < Size() ? &jobs_[static_cast<size_t>(row)] : nullptr;
}

const Job* JobTable::At(int row) const {
  return row >= 0 && row < Size() ? &jobs_[static_cast<size_t>(row)] : nullptr;
}

JobStatus JobTable::StatusOf(int row) const {
  const Job* job = At(row);
  return job ? job->status : JobStatus::Pending;
}

int JobTable::FirstWaitingForEncoder(int rows, std::span<const int> taken) const {
  for (int row = 0; row < std::min(rows, Size()); ++row) {
    const bool free = std::find(taken.begin(), taken.end(), row) == taken.end();
    if (free && WaitsForEncoder(jobs_[static_cast<size_t>(row)].status)) return row;
  }
  return -1;
}

WorkEnd WorkEndOf(bool error, bool warning, bool kept) {
  if (error) return WorkEnd::Failed;
  if (kept) return WorkEnd::Kept;
  return warning ? WorkEnd::Warned : WorkEnd::Finished;
}

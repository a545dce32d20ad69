// The typed state of the maker's jobs: what each job of a run is at, and how it ended.
// The status words the rows show are rendered from it here, in one place.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

// The two job lists: the CD track list (row n is track n + 1) and the file list.
enum class JobList { Tracks, Files };

// Where a job is. A CD to MP3 track is Read (or ReadWarned) between its read and its
// encode; every other job goes from Pending straight to one of the ends.
enum class JobStatus { Pending, Read, ReadWarned, Finished, FinishedWarned, Failed, Cancelled, Kept };

// How a job ended. Kept: it left an existing output as it was (the overwrite question was
// answered No), so it converted nothing and no delete rule ran for it.
enum class JobOutcome { Finished, Failed, Cancelled, Kept };

// How the worker of a job (a read, an encode or a decode) ended, from the flags it left;
// a Cancel is the run's own state and comes on top.
enum class WorkEnd {
  Finished,  // it did its work
  Warned,    // it did its work, with warnings (a read that had to retry)
  Failed,    // it failed
  Kept,      // it left an existing output as it was: its overwrite question was answered No
  NotRun,    // it never ran: the track's encoded output is kept, so it is not read
};

// An error fails the job whatever else it did; a job that kept the old output did not work.
WorkEnd WorkEndOf(bool error, bool warning, bool kept);

// The status word a row of `list` shows: "+", "Read", "Read/W", "OK", "OK/W", "Error",
// "Cancelled", "Kept" for tracks; "+", "OK:", "Error:", "Cancelled", "Kept:" for files.
const char* StatusWord(JobList list, JobStatus status);

// The outcome of an ended job; nullopt while it is pending or waits for its encode.
std::optional<JobOutcome> OutcomeOf(JobStatus status);

// Whether a track waits for the encoder (it was read in CD to MP3 and not yet encoded).
inline bool WaitsForEncoder(JobStatus status) { return status == JobStatus::Read || status == JobStatus::ReadWarned; }

// One job of a run: its row, its paths (empty until the job starts) and its status.
struct Job {
  int row = 0;              // 0-based row of its list
  std::string inputPath;    // the file the job reads (a track's read output for its encode)
  std::string outputPath;   // the file the job writes
  JobStatus status = JobStatus::Pending;
};

// The jobs of a run, one per row of the list it was started from (selected or not: a
// track row that was not selected stays Pending and never starts).
class JobTable {
 public:
  // A table of `rows` pending jobs, rows 0 .. rows - 1.
  void Reset(int rows);
  int Size() const { return static_cast<int>(jobs_.size()); }
  // The job of `row`; nullptr when the row is not in the table.
  Job* At(int row);
  const Job* At(int row) const;
  // The status of `row`; Pending when the row is not in the table.
  JobStatus StatusOf(int row) const;
  // The first of the first `rows` rows whose track waits for the encoder, passing the
  // rows in `taken` (those an encoder already has), or -1.
  int FirstWaitingForEncoder(int rows, std::span<const int> taken = {}) const;

 private:
  std::vector<Job> jobs_;
};

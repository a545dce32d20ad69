// The files a maker job leaves behind: what is deleted after a job, under which rules, and
// what is kept under another name. Every failure to delete or rename is logged as a
// warning, never lost.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "maker/worker/worker_host.h"

// What tells two states of a file apart: identity, size, modification and change times.
struct FileState {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t bytes = 0;
  int64_t modifiedNs = 0;
  int64_t changedNs = 0;
  bool operator==(const FileState&) const = default;

  // The state of `path` (links followed); nullopt when it cannot be looked at.
  static std::optional<FileState> Of(const std::string& path);
};

// The paths of the encode or decode that runs, and its output as it was when it started.
struct CodecJobFiles {
  std::string input;
  std::string output;
  std::optional<FileState> outputBefore;
};

// The ending of a track's read that a CD to MP3 run kept without encoding it.
inline constexpr const char* kUnencodedReadExtension = ".unencoded.wav";

// Deletes and renames job files on behalf of the pipeline; log lines go to `host`.
class JobFiles {
 public:
  explicit JobFiles(WorkerHost& host) : host_(host) {}

  // Deletes a file of the job (a regular file or a link, never a device or FIFO); a
  // failure other than "does not exist" is logged to `log`.
  void Delete(const std::string& path, MakerLog log);
  // Deletes the output file of a failed job unless it is still as it was (`before`) when
  // the job started.
  void DeleteWritten(const std::string& path, const std::optional<FileState>& before, MakerLog log);
  // The encode or decode output: never when it is the input (by name or by identity), nor
  // a file the job left as it was when it started.
  void DeleteOutput(const CodecJobFiles& job);
  // The ".tmp" file of a track that was read but is not encoded: deleted with `deleteIt`,
  // else kept as "NAME.unencoded.wav" beside it (a free variant, never over a file), so
  // that its name says it is a read that the run did not encode. A log line says which of
  // the two happened and why (`why`: "cancelled", "the encode failed").
  void EndTemporaryInput(int track, const std::string& path, const char* why, bool deleteIt);

 private:
  WorkerHost& host_;
};

// OutputFile: writes a file so that nothing that exists is lost on the way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "common/result.h"
#include "common/unique_fd.h"

// The cases of an output file's errors. Each error names the file concerned (its subject),
// its text is "Cannot create /x/a.wav: Permission denied", "/x/a.wav is the input file
// itself", ... and its reason the system's text, or "it is the input file itself".
enum class OutputFileFault {
  SameAsInput,  // the output is the input file itself (same device and inode): Usage
  Create,       // the output (or its temporary file) cannot be created or opened: Io
  Write,        // the written bytes did not reach the disk (a failed flush or close): Io
  Replace,      // the finished temporary file cannot be renamed over the output: Io
  Keep,         // the unfinished output cannot be given its kept name: Io
};

// The error of a case for `path`, with errno of the failed call (0 for SameAsInput).
Error OutputFileFailure(OutputFileFault fault, const std::string& path, int errnum);

struct OutputFileOptions {
  // When not empty: the output is refused, before anything is touched, when it is this
  // file (symbolic and hard links included).
  std::string input{};
  // Opened for reading too (normalization reads the samples back).
  bool readable = false;
};

// A regular output (or one that does not exist yet) is written into a new temporary file
// in the output's folder and renamed over the output by Commit(), so a job that fails or
// is cancelled leaves an existing output exactly as it was. A symbolic link is followed:
// its target is replaced and the link stays. An existing output that is not a regular
// file (a device, a FIFO) is written in place: it is opened without truncation, and
// nothing ever renames or removes it. The only file this class ever removes or renames
// is the temporary file it created itself.
//
// Without Commit() or KeepAs() the temporary file is removed when the object goes away.
//
// The temporary file is named ".NAME.XXXXXX" (NAME the output's file name, XXXXXX six
// random letters or digits) and carries an exclusive flock() from the moment its name
// appears until the name is gone again (renamed or removed). A process killed while it
// writes leaves the file unlocked: RemoveStaleTemporaries() tells such a leftover from a
// file that is still being written by that lock.
class OutputFile {
 public:
  static Expected<OutputFile> Create(const std::string& path, const OutputFileOptions& options = {});

  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() { Abandon(); }

  // The open descriptor of WritePath(), -1 once the file has been ended.
  int Fd() const { return fd_.Get(); }
  // The file the output becomes: the given path with its links followed.
  const std::string& Path() const { return path_; }
  // Where the bytes go until the end: the temporary file, or Path() when in place. Code
  // that opens the output by name (an outside encoder) is given this path.
  const std::string& WritePath() const { return inPlace_ ? path_ : temp_; }
  // The output is a device or FIFO written in place.
  bool InPlace() const { return inPlace_; }
  // Bytes in the file so far (-1 when unknown, as for a FIFO).
  int64_t Size() const;

  // The output is finished: flushes (to the disk first when an existing file is replaced),
  // closes and renames the temporary file over Path(). On failure the temporary file is
  // still there for KeepAs() or Abandon().
  Outcome Commit();
  // The output is not finished but is kept apart from Path(): the temporary file is
  // renamed to `name`, or to the first of "stem-2.ext" ... "stem-99.ext" that does not
  // exist (nothing is replaced). Returns the name it got; when it cannot be moved the
  // file stays under its temporary name, which the error names. In place there is
  // nothing to move: Path() is returned.
  Expected<std::string> KeepAs(const std::string& name);
  // The output is given up: closes and removes the temporary file. Path() stays as it was.
  void Abandon();

 private:
  OutputFile() = default;

  UniqueFd fd_;
  // Holds the flock() of the temporary file while fd_ is closed for Commit() or KeepAs()
  // (a second descriptor of the same open file, so closing fd_ keeps the lock).
  UniqueFd lock_;
  std::string path_;
  std::string temp_;  // empty when in place, and once the temporary file is gone or moved
  bool inPlace_ = false;
  bool replacing_ = false;  // Path() existed as a regular file at the start
};

// The kept name of an unfinished output: "name.part" + ext in the output's folder
// ("/m/Track02.tmp", ".wav" -> "/m/Track02.part.wav"), fitted to the name length limit.
std::string PartialFilePath(std::string_view path, std::string_view ext);

// Renames `from` to `to`, or to the first of "stem-2.ext" ... "stem-99.ext" that does not
// exist; never replaces a file. The name used, or an Io error whose errnum is the failing
// call's (EEXIST when every name is taken) and whose text is "Cannot rename FROM: reason".
Expected<std::string> RenameToFreeName(const std::string& from, const std::string& to);

// Both paths name the same existing file (same device and inode, links followed).
bool IsSameFile(const std::string& a, const std::string& b);

// The hidden temporary name OutputFile gives the output named `name` (a file name, no
// folder) while it is written, without its six random characters: ".NAME." with NAME cut
// (as FitFileName does) so that the whole name fits the name length limit.
std::string TemporaryNamePrefix(std::string_view name);

// Removes the temporary files that OutputFile left beside each of `files` (paths; a
// symbolic link is followed to the file that is really written) when the process that
// wrote them ended before it finished, killed or crashed. Only names of exactly the
// pattern ".NAME.XXXXXX" of those files are looked at, only regular files are removed,
// and only when their lock can be taken: a file that another running process (or this
// one) is still writing keeps its lock and stays. Returns the removed paths.
std::vector<std::string> RemoveStaleTemporaries(const std::vector<std::string>& files);

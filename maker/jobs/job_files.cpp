// The files a maker job leaves behind.
#include "maker/jobs/job_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/output_file.h"
#include "common/paths.h"

namespace {

int64_t Nanoseconds(const timespec& t) { return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec; }

}  // namespace

std::optional<FileState> FileState::Of(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileState{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), static_cast<int64_t>(st.st_size),
                   Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim)};
}

void JobFiles::Delete(const std::string& path, MakerLog log) {
  struct stat info {};
  if (path.empty() || (::lstat(path.c_str(), &info) != 0 && errno == ENOENT)) return;
  // Only files (or a link, which loses nothing) are deleted: a device or FIFO in a job's
  // place is no file the job made.
  if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
    host_.AppendLog(log, LogEvent::Warning("    Warning: Cannot delete " + path + ": not a regular file"));
    return;
  }
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return;
  host_.AppendLog(log, LogEvent::Warning("    Warning: Cannot delete " + path + ": " + std::strerror(errno)));
}

void JobFiles::DeleteWritten(const std::string& path, const std::optional<FileState>& before, MakerLog log) {
  // A job that failed before it wrote anything (its input was missing, say) leaves an
  // existing file exactly as it was: that file is not its output, perhaps the MP3 an
  // earlier row of this run made from the same WAV.
  if (before && before == FileState::Of(path)) return;
  Delete(path, log);
}

void JobFiles::DeleteOutput(const CodecJobFiles& job) {
  // A job whose output would be its own input (decoding "x.wav") is refused by the
  // codec thread; deleting its "output" on error would delete the input.
  if (job.output == job.input || IsSameFile(job.input, job.output)) return;
  DeleteWritten(job.output, job.outputBefore, MakerLog::Encoder);
}

void JobFiles::EndTemporaryInput(int track, const std::string& path, const char* why, bool deleteIt) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return;
  char line[64];
  if (deleteIt) {
    if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
      Delete(path, MakerLog::Encoder);  // refused, with its warning
      return;
    }
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
      host_.AppendLog(MakerLog::Encoder,
                      LogEvent::Warning("    Warning: Cannot delete " + path + ": " + std::strerror(errno)));
      return;
    }
    std::snprintf(line, sizeof line, "    Removed the read of track %02i, ", track);
    host_.AppendLog(MakerLog::Encoder, LogEvent::Info(line + path + " (not encoded: " + why + ")."));
    return;
  }
  if (!S_ISREG(info.st_mode)) return;
  // The read is complete: kept under a WAV name that says it was not encoded (never over
  // an existing file), so that the run leaves no ".tmp" file behind and no WAV that looks
  // like a result of the run.
  auto kept = RenameToFreeName(path, ChangeFileExt(path, kUnencodedReadExtension));
  if (kept) {
    std::snprintf(line, sizeof line, "    Kept track %02i as ", track);
    host_.AppendLog(MakerLog::Encoder, LogEvent::Info(line + kept.Value() + " (not encoded: " + why + ")."));
  } else {
    host_.AppendLog(MakerLog::Encoder,
                    LogEvent::Warning("    Warning: " + kept.Error().Message()));
  }
}

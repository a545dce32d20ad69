// OutputFile: a temporary file beside the output, renamed over it only once it is finished.
#include "common/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <utility>

#include "common/paths.h"

namespace {

constexpr int kNameAttempts = 100;
constexpr int kFreeNameVariants = 99;
constexpr size_t kRandomChars = 6;

bool IsLetterOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Six letters or digits for a temporary name; unpredictable, so that names made by two
// programs at once do not keep colliding.
std::string RandomSuffix() {
  static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char bytes[kRandomChars] = {};
  if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    // Without the kernel's random source the clock and a counter still vary the names.
    static unsigned counter = 0;
    unsigned seed = static_cast<unsigned>(::time(nullptr)) ^ (static_cast<unsigned>(::getpid()) << 8) ^ ++counter;
    for (auto& b : bytes) b = static_cast<unsigned char>(seed = seed * 1103515245u + 12345u);
  }
  std::string suffix;
  for (unsigned char b : bytes) suffix += kAlphabet[b % (sizeof kAlphabet - 1)];
  return suffix;
}

// Renames without replacing: EEXIST when `to` exists. Falls back to a hard link where the
// file system has no such rename, and to a checked rename where it has no links either.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return 0;
  }
  if (errno != EPERM && errno != EOPNOTSUPP) return errno;
  struct stat info{};
  if (::lstat(to.c_str(), &info) == 0) return EEXIST;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::string Variant(const SplitPath& parts, int number) {
  return parts.dir + FitFileName(parts.name + "-" + std::to_string(number) + parts.ext);
}

bool SameInode(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Locks a temporary file just created as `name`. False when the name no longer leads to
// it: a cleaner of another process took the lock in the moment between the create and
// the lock, saw no writer and removed the name (the caller then makes another one).
bool LockNewTemporary(int fd, const std::string& name) {
  // Blocking: a cleaner holds the lock only while it looks at the file and removes it.
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    // A file system without locks: no cleaner can take a lock there either, so it
    // removes nothing and the file is safe unlocked.
    return true;
  }
  struct stat opened{};
  struct stat named{};
  return ::fstat(fd, &opened) == 0 && ::lstat(name.c_str(), &named) == 0 && SameInode(opened, named);
}

// `entry` is a temporary name of the pattern that `prefix` starts.
bool HasTemporaryPattern(std::string_view entry, std::string_view prefix) {
  if (entry.size() != prefix.size() + kRandomChars || !entry.starts_with(prefix)) return false;
  for (char c : entry.substr(prefix.size()))
    if (!IsLetterOrDigit(c)) return false;
  return true;
}

// Removes the temporary file `name` of the open folder when no process writes it any
// more: it is a regular file of this user whose lock can be taken.
bool RemoveIfStale(int folder, const char* name) {
  struct stat named{};
  // Looked at before it is opened: opening a device can have effects of its own.
  if (::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(named.st_mode) ||
      named.st_uid != ::geteuid())
    return false;
  UniqueFd fd(::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd) return false;
  struct stat opened{};
  if (::fstat(fd.Get(), &opened) != 0 || !SameInode(opened, named)) return false;
  // A writer holds the lock for as long as the name exists.
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return false;
  // Still the same file under that name (not finished and replaced in the meantime).
  if (::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) != 0 || !SameInode(opened, named)) return false;
  return ::unlinkat(folder, name, 0) == 0;
}

}  // namespace

Error OutputFileFailure(OutputFileFault fault, const std::string& path, int errnum) {
  if (fault == OutputFileFault::SameAsInput) {
    Error error(ErrorCategory::Usage, {}, path + " is the input file itself", "it is the input file itself", path);
    error.WithCase(fault);
    return error;
  }
  const char* what = "Cannot create ";
  switch (fault) {
    case OutputFileFault::SameAsInput:
    case OutputFileFault::Create: break;
    case OutputFileFault::Write: what = "Cannot write to "; break;
    case OutputFileFault::Replace: what = "Cannot replace "; break;
    case OutputFileFault::Keep: what = "Cannot keep the unfinished file "; break;
  }
  Error error = IoError(errnum, path, what + path);
  error.WithCase(fault);
  return error;
}

Expected<OutputFile> OutputFile::Create(const std::string& path, const OutputFileOptions& options) {
  using Kind = OutputFileFault;
  if (!options.input.empty() && (options.input == path || IsSameFile(options.input, path)))
    return Fail(OutputFileFailure(Kind::SameAsInput, path, 0));

  OutputFile file;
  file.path_ = FollowLinks(path);
  const int access = (options.readable ? O_RDWR : O_WRONLY) | O_CLOEXEC;
  struct stat info{};
  if (::stat(file.path_.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return Fail(OutputFileFailure(Kind::Create, file.path_, EISDIR));
    if (!S_ISREG(info.st_mode)) {
      // A device or FIFO: written where it is, never truncated.
      file.inPlace_ = true;
      file.fd_.Reset(::open(file.path_.c_str(), access));
      if (!file.fd_) return Fail(OutputFileFailure(Kind::Create, file.path_, errno));
      return file;
    }
    file.replacing_ = true;
  } else if (errno != ENOENT) {
    return Fail(OutputFileFailure(Kind::Create, file.path_, errno));
  }

  const SplitPath parts = SplitFilePath(file.path_);
  const std::string name = parts.name + parts.ext;
  // The rename at the end would fail on such a name; say so before anything is written.
  if (name.size() > kMaxFileNameBytes) return Fail(OutputFileFailure(Kind::Create, file.path_, ENAMETOOLONG));
  const std::string prefix = parts.dir + TemporaryNamePrefix(name);
  for (int attempt = 0; attempt < kNameAttempts && !file.fd_; ++attempt) {
    const std::string temp = prefix + RandomSuffix();
    UniqueFd fd(::open(temp.c_str(), access | O_CREAT | O_EXCL, 0666));
    if (!fd) {
      if (errno != EEXIST) return Fail(OutputFileFailure(Kind::Create, file.path_, errno));
      continue;
    }
    if (!LockNewTemporary(fd.Get(), temp)) continue;
    file.temp_ = temp;
    file.fd_ = std::move(fd);
  }
  if (!file.fd_) return Fail(OutputFileFailure(Kind::Create, file.path_, EEXIST));
  // The lock outlives fd_, which Commit() closes before the rename.
  file.lock_.Reset(::fcntl(file.fd_.Get(), F_DUPFD_CLOEXEC, 0));
  if (!file.lock_) {
    const int error = errno;
    file.Abandon();
    return Fail(OutputFileFailure(Kind::Create, file.path_, error));
  }
  // The replacement keeps the permissions of the file it replaces.
  if (file.replacing_) (void)::fchmod(file.fd_.Get(), info.st_mode & 07777);
  return file;
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::move(other.fd_)),
      lock_(std::move(other.lock_)),
      path_(std::move(other.path_)),
      temp_(std::exchange(other.temp_, {})),
      inPlace_(other.inPlace_),
      replacing_(other.replacing_) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    Abandon();
    fd_ = std::move(other.fd_);
    lock_ = std::move(other.lock_);
    path_ = std::move(other.path_);
    temp_ = std::exchange(other.temp_, {});
    inPlace_ = other.inPlace_;
    replacing_ = other.replacing_;
  }
  return *this;
}

int64_t OutputFile::Size() const {
  struct stat info{};
  if (fd_) {
    if (::fstat(fd_.Get(), &info) != 0) return -1;
  } else if (temp_.empty() || ::stat(temp_.c_str(), &info) != 0) {
    return -1;
  }
  return S_ISREG(info.st_mode) ? static_cast<int64_t>(info.st_size) : -1;
}

Outcome OutputFile::Commit() {
  using Kind = OutputFileFault;
  if (fd_) {
    // Renaming over an existing file before its replacement is on the disk could leave an
    // empty file in its place after a crash.
    if (replacing_ && ::fsync(fd_.Get()) != 0) return Fail(OutputFileFailure(Kind::Write, path_, errno));
    if (!fd_.Close()) return Fail(OutputFileFailure(Kind::Write, path_, errno));
  }
  if (inPlace_) return Done{};
  if (temp_.empty()) return Fail(OutputFileFailure(Kind::Replace, path_, ENOENT));
  if (::rename(temp_.c_str(), path_.c_str()) != 0) return Fail(OutputFileFailure(Kind::Replace, path_, errno));
  temp_.clear();
  lock_.Close();
  return Done{};
}

Expected<std::string> OutputFile::KeepAs(const std::string& name) {
  fd_.Close();
  if (inPlace_) return path_;
  if (temp_.empty()) return Fail(OutputFileFailure(OutputFileFault::Keep, name, ENOENT));
  auto kept = RenameToFreeName(temp_, name);
  // Kept either way: under the new name, or under its temporary name when it cannot move.
  const std::string temp = std::exchange(temp_, {});
  lock_.Close();
  if (!kept) return Fail(OutputFileFailure(OutputFileFault::Keep, temp, kept.Error().errnum));
  return std::move(kept).Value();
}

void OutputFile::Abandon() {
  fd_.Close();
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  lock_.Close();
}

std::string PartialFilePath(std::string_view path, std::string_view ext) {
  const SplitPath parts = SplitFilePath(path);
  return parts.dir + FitFileName(parts.name + ".part" + std::string(ext));
}

Expected<std::string> RenameToFreeName(const std::string& from, const std::string& to) {
  const SplitPath parts = SplitFilePath(to);
  int error = EEXIST;
  for (int number = 1; number <= kFreeNameVariants; ++number) {
    const std::string name = number == 1 ? to : Variant(parts, number);
    error = RenameNoReplace(from, name);
    if (error == 0) return name;
    if (error != EEXIST) break;
  }
  return Fail(IoError(error, from, "Cannot rename " + from));
}

bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat first{};
  struct stat second{};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

std::string TemporaryNamePrefix(std::string_view name) {
  // Appended, not "." + FitFileName(...): GCC 12 warns falsely (-Wrestrict) on that form.
  std::string prefix(1, '.');
  prefix += FitFileName(name, kMaxFileNameBytes - 2 - kRandomChars);
  prefix += '.';
  return prefix;
}

std::vector<std::string> RemoveStaleTemporaries(const std::vector<std::string>& files) {
  // The name patterns of each folder, so that each folder is listed once.
  std::map<std::string, std::vector<std::string>> prefixes;
  for (const std::string& file : files) {
    // A link is written at its target, and so are the temporary files.
    const SplitPath parts = SplitFilePath(FollowLinks(file));
    if (parts.name.empty() && parts.ext.empty()) continue;
    prefixes[parts.dir.empty() ? "./" : parts.dir].push_back(TemporaryNamePrefix(parts.name + parts.ext));
  }
  std::vector<std::string> removed;
  for (const auto& [folder, patterns] : prefixes) {
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) continue;
    DIR* listing = ::fdopendir(fd.Get());
    if (listing == nullptr) continue;
    const int folderFd = fd.Release();  // owned by the listing from here on
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(listing)) {
      const std::string_view name = entry->d_name;
      for (const std::string& prefix : patterns) {
        if (!HasTemporaryPattern(name, prefix)) continue;
        stale.emplace_back(name);
        break;
      }
    }
    for (const std::string& name : stale)
      if (RemoveIfStale(folderFd, name.c_str())) removed.push_back(folder + name);
    ::closedir(listing);
  }
  return removed;
}

// Regular files opened for reading; everything else refused without blocking.
#include "common/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace {

RegularFileFault FaultOfType(mode_t mode) {
  if (S_ISDIR(mode)) return RegularFileFault::Folder;
  if (S_ISFIFO(mode)) return RegularFileFault::NamedPipe;
  if (S_ISCHR(mode)) return RegularFileFault::CharacterDevice;
  if (S_ISBLK(mode)) return RegularFileFault::BlockDevice;
  if (S_ISSOCK(mode)) return RegularFileFault::Socket;
  return RegularFileFault::OtherType;
}

Error NotRegular(const std::string& path, mode_t mode) {
  std::string reason = "it is " + FileTypeText(mode) + ", not a regular file";
  std::string text = "Cannot open " + path + ": " + reason;
  return Error(ErrorCategory::Unsupported, {}, std::move(text), std::move(reason), path).WithCase(FaultOfType(mode));
}

Error SystemError(const std::string& path, int error) { return IoError(error, path, "Cannot open " + path); }

}  // namespace

std::string FileTypeText(mode_t mode) {
  if (S_ISFIFO(mode)) return "a named pipe (FIFO)";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISREG(mode)) return "a regular file";
  return "a special file";
}

Expected<UniqueFd> OpenRegularFile(const std::string& path) {
  struct stat before {};
  const bool looked = ::stat(path.c_str(), &before) == 0;
  if (looked && !S_ISREG(before.st_mode)) return Fail(NotRegular(path, before.st_mode));
  // O_NONBLOCK: a FIFO put in the file's place after the look above does not hold the open.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) return Fail(SystemError(path, errno));
  struct stat opened {};
  if (::fstat(fd.Get(), &opened) != 0) return Fail(SystemError(path, errno));
  if (!S_ISREG(opened.st_mode)) return Fail(NotRegular(path, opened.st_mode));
  // Another file took the name between the look and the open: it was not looked at.
  if (looked && (opened.st_dev != before.st_dev || opened.st_ino != before.st_ino)) return Fail(SystemError(path, ESTALE));
  // Reads of a regular file never wait for a writer; the flag goes for the readers that
  // expect blocking semantics anyway.
  const int flags = ::fcntl(fd.Get(), F_GETFL);
  if (flags >= 0) ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

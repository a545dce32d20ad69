// Regular files opened for reading; everything else refused without blocking.
#include "common/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace {

RegularFileError NotRegular(mode_t mode) {
  return {0, "it is " + FileTypeText(mode) + ", not a regular file", static_cast<mode_t>(mode & S_IFMT)};
}

RegularFileError SystemError(int error) { return {error, std::strerror(error)}; }

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

Result<UniqueFd, RegularFileError> OpenRegularFile(const std::string& path) {
  struct stat before {};
  const bool looked = ::stat(path.c_str(), &before) == 0;
  if (looked && !S_ISREG(before.st_mode)) return Fail(NotRegular(before.st_mode));
  // O_NONBLOCK: a FIFO put in the file's place after the look above does not hold the open.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) return Fail(SystemError(errno));
  struct stat opened {};
  if (::fstat(fd.Get(), &opened) != 0) return Fail(SystemError(errno));
  if (!S_ISREG(opened.st_mode)) return Fail(NotRegular(opened.st_mode));
  // Another file took the name between the look and the open: it was not looked at.
  if (looked && (opened.st_dev != before.st_dev || opened.st_ino != before.st_ino)) return Fail(SystemError(ESTALE));
  // Reads of a regular file never wait for a writer; the flag goes for the readers that
  // expect blocking semantics anyway.
  const int flags = ::fcntl(fd.Get(), F_GETFL);
  if (flags >= 0) ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

// Regular files opened for reading; everything else refused without blocking.
#include "common/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace {

RegularFileError NotRegular(mode_t mode) { return {0, "it is " + FileTypeText(mode) + ", not a regular file"}; }

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
  if (::stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) return Fail(NotRegular(before.st_mode));
  // O_NONBLOCK: a FIFO put in the file's place after the look above does not hold the open.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) {
    const int error = errno;
    return Fail(RegularFileError{error, std::strerror(error)});
  }
  struct stat opened {};
  if (::fstat(fd.Get(), &opened) != 0) {
    const int error = errno;
    return Fail(RegularFileError{error, std::strerror(error)});
  }
  if (!S_ISREG(opened.st_mode)) return Fail(NotRegular(opened.st_mode));
  // Reads of a regular file never wait for a writer; the flag goes for the readers that
  // expect blocking semantics anyway.
  const int flags = ::fcntl(fd.Get(), F_GETFL);
  if (flags >= 0) ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

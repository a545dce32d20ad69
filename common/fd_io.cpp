// Whole reads and writes on POSIX file descriptors.
#include "common/fd_io.h"

#include <unistd.h>

#include <cerrno>

bool WriteAll(int fd, const void* data, size_t bytes) {
  const char* at = static_cast<const char*>(data);
  while (bytes > 0) {
    const ssize_t n = ::write(fd, at, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += n;
    bytes -= static_cast<size_t>(n);
  }
  return true;
}

bool ReadAll(int fd, void* data, size_t bytes) {
  const ssize_t got = ReadUpTo(fd, data, bytes);
  return got >= 0 && static_cast<size_t>(got) == bytes;
}

ssize_t ReadUpTo(int fd, void* data, size_t bytes) {
  char* at = static_cast<char*>(data);
  size_t got = 0;
  while (got < bytes) {
    const ssize_t n = ::read(fd, at + got, bytes - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

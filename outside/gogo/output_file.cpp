// Checked writes to the encoder's output file.
#include "outside/gogo/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

OutputFile OutputFile::Create(const std::string& path) {
  OutputFile file;
  file.fd_.Reset(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  return file;
}

bool OutputFile::Write(const void* data, size_t n) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (n > 0) {
    ssize_t put = write(fd_.Get(), bytes, n);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes += put;
    n -= size_t(put);
  }
  return true;
}

bool OutputFile::WriteAt(uint64_t offset, const void* data, size_t n, bool* unseekable) {
  *unseekable = false;
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (n > 0) {
    ssize_t put = pwrite(fd_.Get(), bytes, n, off_t(offset));
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && errno == ESPIPE) {
      *unseekable = true;
      return false;
    }
    if (put <= 0) return false;
    bytes += put;
    n -= size_t(put);
    offset += uint64_t(put);
  }
  return true;
}

bool OutputFile::Close() {
  if (!fd_) return true;
  const int result = close(fd_.Release());
  return result == 0 || errno == EINTR;
}

// Checked writes to the encoder's output file.
#include "outside/gogo/mp3_output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

// A write that failed with `errnum`, or wrote nothing without a reason (EIO then).
Error WriteFailure(int errnum, const std::string& path) {
  return IoError(errnum != 0 ? errnum : EIO, path, "cannot write " + path);
}

}  // namespace

Expected<Mp3OutputFile> Mp3OutputFile::Create(const std::string& path) {
  Mp3OutputFile file;
  file.fd_.Reset(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!file.fd_) return Fail(IoError(errno, path, "cannot create " + path));
  file.path_ = path;
  return file;
}

Outcome Mp3OutputFile::Write(const void* data, size_t n) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (n > 0) {
    ssize_t put = write(fd_.Get(), bytes, n);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return Fail(WriteFailure(put < 0 ? errno : 0, path_));
    bytes += put;
    n -= size_t(put);
  }
  return Done{};
}

Outcome Mp3OutputFile::WriteAt(uint64_t offset, const void* data, size_t n) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (n > 0) {
    ssize_t put = pwrite(fd_.Get(), bytes, n, off_t(offset));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return Fail(WriteFailure(put < 0 ? errno : 0, path_));
    bytes += put;
    n -= size_t(put);
    offset += uint64_t(put);
  }
  return Done{};
}

Outcome Mp3OutputFile::Close() {
  if (!fd_) return Done{};
  const int result = close(fd_.Release());
  if (result == 0 || errno == EINTR) return Done{};
  return Fail(WriteFailure(errno, path_));
}

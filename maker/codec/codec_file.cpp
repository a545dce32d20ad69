// CodecFile: the adapters' file access over open/read/write/lseek and common/fd_io.
#include "maker/codec/codec_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/fd_io.h"

CodecFile CodecFile::OpenForReading(const std::string& path) {
  return CodecFile(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
}

CodecFile CodecFile::CreateForWriting(const std::string& path) {
  return CodecFile(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
}

bool CodecFile::WriteAll(const void* data, size_t bytes) { return Valid() && ::WriteAll(Fd(), data, bytes); }

ssize_t CodecFile::ReadUpTo(void* data, size_t bytes) { return Valid() ? ::ReadUpTo(Fd(), data, bytes) : -1; }

bool CodecFile::ReadAt(off_t offset, void* data, size_t bytes) const {
  if (!Valid() || offset < 0) return false;
  auto* at = static_cast<unsigned char*>(data);
  while (bytes > 0) {
    const ssize_t got = ::pread(Fd(), at, bytes, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    at += got;
    offset += got;
    bytes -= static_cast<size_t>(got);
  }
  return true;
}

bool CodecFile::SeekTo(off_t offset) { return Valid() && ::lseek(Fd(), offset, SEEK_SET) == offset; }

off_t CodecFile::Size() const {
  struct stat info {};
  if (!Valid() || ::fstat(Fd(), &info) != 0) return -1;
  return info.st_size;
}

// CodecFile: the adapters' file access over open/read/write/lseek and common/fd_io.
#include "maker/codec/codec_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "common/fd_io.h"

CodecFile CodecFile::OpenForReading(const std::string& path) {
  return CodecFile(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
}

CodecFile CodecFile::CreateForWriting(const std::string& path) {
  return CodecFile(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
}

CodecFile::CodecFile(CodecFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

CodecFile& CodecFile::operator=(CodecFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

CodecFile::~CodecFile() { Close(); }

bool CodecFile::WriteAll(const void* data, size_t bytes) { return fd_ >= 0 && ::WriteAll(fd_, data, bytes); }

ssize_t CodecFile::ReadUpTo(void* data, size_t bytes) { return fd_ >= 0 ? ::ReadUpTo(fd_, data, bytes) : -1; }

bool CodecFile::ReadAt(off_t offset, void* data, size_t bytes) const {
  if (fd_ < 0 || offset < 0) return false;
  auto* at = static_cast<unsigned char*>(data);
  while (bytes > 0) {
    const ssize_t got = ::pread(fd_, at, bytes, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    at += got;
    offset += got;
    bytes -= static_cast<size_t>(got);
  }
  return true;
}

bool CodecFile::SeekTo(off_t offset) { return fd_ >= 0 && ::lseek(fd_, offset, SEEK_SET) == offset; }

off_t CodecFile::Position() const { return fd_ >= 0 ? ::lseek(fd_, 0, SEEK_CUR) : -1; }

off_t CodecFile::Size() const {
  struct stat info {};
  if (fd_ < 0 || ::fstat(fd_, &info) != 0) return -1;
  return info.st_size;
}

bool CodecFile::Close() {
  if (fd_ < 0) return true;
  const int result = ::close(std::exchange(fd_, -1));
  return result == 0;
}

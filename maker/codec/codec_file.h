// A move-only POSIX file descriptor (over UniqueFd) for the adapters' input and output files.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "common/unique_fd.h"

class CodecFile {
 public:
  CodecFile() = default;
  // Opens for reading; Valid() is false when that fails.
  static CodecFile OpenForReading(const std::string& path);
  // Creates or truncates for writing (mode 0666 before the umask).
  static CodecFile CreateForWriting(const std::string& path);

  bool Valid() const { return static_cast<bool>(fd_); }
  int Fd() const { return fd_.Get(); }

  // Writes all bytes, retrying short writes and interrupted calls; false when the file
  // cannot take them all (full disk, I/O error).
  bool WriteAll(const void* data, size_t bytes);
  // Reads `bytes`, fewer only at the end of the file; -1 on a read error. A short read in
  // the middle of a file never splits a sample or a channel pair.
  ssize_t ReadUpTo(void* data, size_t bytes);
  // Reads exactly `bytes` at `offset` without moving the file position; false otherwise.
  bool ReadAt(off_t offset, void* data, size_t bytes) const;
  bool SeekTo(off_t offset);
  // Size of the file, or -1.
  off_t Size() const;
  // Closes now; false when the close reported an error (for example delayed write errors).
  bool Close() { return fd_.Close(); }

 private:
  explicit CodecFile(int fd) : fd_(fd) {}
  UniqueFd fd_;
};

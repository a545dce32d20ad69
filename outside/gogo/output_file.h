// A file written by the encoder, with every write and the close checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/unique_fd.h"

// Move-only owner of a file descriptor opened for writing.
class OutputFile {
 public:
  OutputFile() = default;

  // Creates or truncates path. Not open (IsOpen() false) when that fails.
  static OutputFile Create(const std::string& path);

  bool IsOpen() const { return static_cast<bool>(fd_); }
  // Appends all n bytes; false when any write fails (full disk, I/O error).
  bool Write(const void* data, size_t n);
  // Overwrites n bytes at offset without moving the append position. Returns false when
  // the write fails; a file that cannot seek (a pipe) is reported through *unseekable.
  bool WriteAt(uint64_t offset, const void* data, size_t n, bool* unseekable);
  // Closes the file; false when the close reports a delayed write error.
  bool Close();

 private:
  UniqueFd fd_;
};

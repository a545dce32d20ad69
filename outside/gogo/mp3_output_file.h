// A file written by the MP3 encoder, with every write and the close checked. (Named apart
// from the programs' OutputFile of common/, which replaces a file only once it is whole.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/error.h"
#include "common/unique_fd.h"

// Move-only owner of a file descriptor opened for writing. Every failure is an Io error
// with the path as subject: "cannot create PATH: REASON", "cannot write PATH: REASON".
class Mp3OutputFile {
 public:
  Mp3OutputFile() = default;

  // Creates or truncates path.
  static Expected<Mp3OutputFile> Create(const std::string& path);

  bool IsOpen() const { return static_cast<bool>(fd_); }
  // Appends all n bytes; fails when any write fails (full disk, I/O error).
  Outcome Write(const void* data, size_t n);
  // Overwrites n bytes at offset without moving the append position. A file that cannot
  // seek (a pipe) fails with errnum ESPIPE.
  Outcome WriteAt(uint64_t offset, const void* data, size_t n);
  // Closes the file; fails when the close reports a delayed write error.
  Outcome Close();

 private:
  UniqueFd fd_;
  std::string path_;
};

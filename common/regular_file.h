// Opening a path for reading only when it names a regular file, without ever blocking on
// what does not: a FIFO without a writer, a device, a socket.
#pragma once

#include <sys/types.h>

#include <string>

#include "common/result.h"
#include "common/unique_fd.h"

struct RegularFileError {
  // The system's error number when the path cannot be looked at or opened (ENOENT,
  // EACCES, ...); 0 when it names something other than a regular file.
  int errorNumber = 0;
  // Why, in words for the user: the system's text ("No such file or directory") or
  // "it is a named pipe (FIFO), not a regular file" and the like.
  std::string reason;
  // The type bits (S_IFMT) of what the path names when it is not a regular file; 0 when
  // errorNumber says why.
  mode_t type = 0;
};

// What a file type that is not a regular file is, for messages: "a named pipe (FIFO)", "a
// character device", "a block device", "a socket", "a folder".
std::string FileTypeText(mode_t mode);

// The file opened for reading (close-on-exec, blocking reads), or why not. The path is
// looked at (stat, following links) before it is opened, so that a device is never opened
// (opening one may have effects of its own); the open itself does not wait for a FIFO's
// writer, and what was opened must be the file looked at (the path may change in between).
// A file that cannot be looked at but can be opened is opened (stat refused, open allowed).
Result<UniqueFd, RegularFileError> OpenRegularFile(const std::string& path);

// Opening a path for reading only when it names a regular file, without ever blocking on
// what does not: a FIFO without a writer, a device, a socket.
#pragma once

#include <sys/types.h>

#include <string>

#include "common/error.h"
#include "common/unique_fd.h"

// What a path named instead of a regular file: the case of an Unsupported error of
// OpenRegularFile (whose errnum is 0 then).
enum class RegularFileFault { Folder, NamedPipe, CharacterDevice, BlockDevice, Socket, OtherType };

// What a file type that is not a regular file is, for messages: "a named pipe (FIFO)", "a
// character device", "a block device", "a socket", "a folder".
std::string FileTypeText(mode_t mode);

// The file opened for reading (close-on-exec, blocking reads), or why not. The path is
// looked at (stat, following links) before it is opened, so that a device is never opened
// (opening one may have effects of its own); the open itself does not wait for a FIFO's
// writer, and what was opened must be the file looked at (the path may change in between).
// A file that cannot be looked at but can be opened is opened (stat refused, open allowed).
// The error's subject is the path and its reason says why, in words for the user: the
// system's text ("No such file or directory", an Io error with its errnum) or "it is a
// named pipe (FIFO), not a regular file" and the like (Unsupported, errnum 0, with the
// RegularFileFault); its text is "Cannot open PATH: " and the reason.
Expected<UniqueFd> OpenRegularFile(const std::string& path);

// Whole reads and writes on POSIX file descriptors, retrying short transfers and EINTR.
#pragma once

#include <sys/types.h>

#include <cstddef>

// Writes all bytes. False when the system refuses the rest (full disk, I/O error); errno
// tells why.
bool WriteAll(int fd, const void* data, size_t bytes);

// Reads exactly bytes. False at end of file before that many bytes, or when a read fails.
bool ReadAll(int fd, void* data, size_t bytes);

// Reads up to bytes, stopping only at end of file. The count read, or -1 when a read
// call fails.
ssize_t ReadUpTo(int fd, void* data, size_t bytes);

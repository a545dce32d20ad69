// Files that are not regular files, made inside a test's scratch folder: a private device
// node that refuses every write (the numbers of /dev/full) and a FIFO with a reader.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

// Makes a character device node at `path` with the numbers of /dev/full: every write to it
// fails with ENOSPC. Needs root; on failure `why` says what stood in the way (for a
// GTEST_SKIP message).
inline bool MakeFullDeviceNode(const std::string& path, std::string& why) {
  if (::geteuid() != 0) {
    why = "making a device node needs root";
    return false;
  }
  struct stat full{};
  if (::stat("/dev/full", &full) != 0 || !S_ISCHR(full.st_mode)) {
    why = "this system has no /dev/full";
    return false;
  }
  if (::mknod(path.c_str(), S_IFCHR | 0666, full.st_rdev) != 0) {
    why = std::string("mknod failed: ") + std::strerror(errno);
    return false;
  }
  return true;
}

// The node at `path` is still the device MakeFullDeviceNode made.
inline bool IsFullDeviceNode(const std::string& path) {
  struct stat node{};
  struct stat full{};
  return ::lstat(path.c_str(), &node) == 0 && ::stat("/dev/full", &full) == 0 && S_ISCHR(node.st_mode) &&
         node.st_rdev == full.st_rdev;
}

inline bool IsFifo(const std::string& path) {
  struct stat info{};
  return ::lstat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

// A FIFO at `path` and a thread that reads everything written to it until the last writer
// closes it. Join() waits for that end and gives what was read.
class FifoReader {
 public:
  explicit FifoReader(const std::string& path) : path_(path) {
    ok_ = ::mkfifo(path.c_str(), 0600) == 0;
    if (ok_) thread_ = std::thread([this] { ReadAll(); });
  }
  ~FifoReader() {
    if (thread_.joinable()) {
      // Unblocks a reader still waiting for its first writer.
      const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
      thread_.join();
    }
  }
  bool Ok() const { return ok_; }
  std::string Join() {
    if (thread_.joinable()) thread_.join();
    return data_;
  }

 private:
  void ReadAll() {
    const int fd = ::open(path_.c_str(), O_RDONLY);
    if (fd < 0) return;
    char buffer[65536];
    for (;;) {
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      data_.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
  }

  std::string path_;
  bool ok_ = false;
  std::string data_;
  std::thread thread_;
};

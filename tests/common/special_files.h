// Files that are not regular files, made inside a test's scratch folder: a private device
// node that refuses every write (the numbers of /dev/full), a FIFO with a reader, and a
// rescue for code stuck in a FIFO's open.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
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

// Frees whoever waits in the open of a FIFO for a writer or a reader, after a while: a
// test of code that must never wait there then fails by its time instead of hanging.
class FifoRescue {
 public:
  explicit FifoRescue(std::string path) : path_(std::move(path)) {
    thread_ = std::thread([this] {
      std::unique_lock lock(mutex_);
      if (done_.wait_for(lock, std::chrono::seconds(2), [this] { return finished_; })) return;
      // A reader lets a waiting writer go; with it open, the writer's end opens at once
      // and lets a waiting reader go.
      const int reader = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
      const int writer = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0) ::close(writer);
      if (reader >= 0) ::close(reader);
    });
  }
  ~FifoRescue() {
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    done_.notify_all();
    thread_.join();
  }

 private:
  std::string path_;
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::thread thread_;
};

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

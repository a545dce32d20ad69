// Tests of opening regular files only, without waiting on anything else.
#include "common/regular_file.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "tests/common/temp_dir.h"

// Catches a FIFO opened for reading (the open waits for a writer that never comes), a
// device opened or read, and a refusal that does not say what the path names.
TEST(RegularFile, OnlyRegularFilesOpenAndNothingElseIsWaitedFor) {
  TempDir dir;
  WriteText(dir.File("file"), "data");
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("/dev/zero", dir.File("zero").c_str()), 0);
  ASSERT_EQ(::symlink(dir.File("file").c_str(), dir.File("link").c_str()), 0);
  // Unless the open is back in time, a writer lets it go, so that a fault fails the test
  // instead of hanging it.
  std::mutex mutex;
  std::condition_variable changed;
  bool back = false;
  std::thread watchdog([&] {
    std::unique_lock lock(mutex);
    if (changed.wait_for(lock, std::chrono::seconds(3), [&] { return back; })) return;
    const int fd = ::open(dir.File("fifo").c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
  });
  const auto start = std::chrono::steady_clock::now();
  auto fifo = OpenRegularFile(dir.File("fifo"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  {
    std::lock_guard lock(mutex);
    back = true;
  }
  changed.notify_all();
  watchdog.join();
  ASSERT_FALSE(fifo.Ok());
  EXPECT_EQ(fifo.Error().errnum, 0);
  EXPECT_EQ(fifo.Error().reason, "it is a named pipe (FIFO), not a regular file");
  EXPECT_TRUE(fifo.Error().Is(RegularFileFault::NamedPipe));

  auto zero = OpenRegularFile(dir.File("zero"));
  ASSERT_FALSE(zero.Ok());
  EXPECT_EQ(zero.Error().reason, "it is a character device, not a regular file");
  auto folder = OpenRegularFile(dir.Path());
  ASSERT_FALSE(folder.Ok());
  EXPECT_EQ(folder.Error().reason, "it is a folder, not a regular file");
  EXPECT_TRUE(folder.Error().Is(RegularFileFault::Folder));
  auto missing = OpenRegularFile(dir.File("missing"));
  ASSERT_FALSE(missing.Ok());
  EXPECT_EQ(missing.Error().errnum, ENOENT);

  for (const char* name : {"file", "link"}) {
    auto opened = OpenRegularFile(dir.File(name));
    ASSERT_TRUE(opened.Ok()) << name;
    char buffer[8] = {};
    EXPECT_EQ(::read(opened.Value().Get(), buffer, sizeof buffer), 4) << name;
    EXPECT_EQ(::fcntl(opened.Value().Get(), F_GETFL) & O_NONBLOCK, 0) << name;
  }
}

// Catches a refusal without the path, the wrong category, or a text that differs from
// "Cannot open PATH: " and the reason the windows show.
TEST(RegularFile, RefusalsNameThePathAndTheirCategory) {
  TempDir dir;
  auto folder = OpenRegularFile(dir.Path());
  ASSERT_FALSE(folder);
  EXPECT_EQ(folder.Error().category, ErrorCategory::Unsupported);
  EXPECT_EQ(folder.Error().subject, dir.Path());
  EXPECT_EQ(folder.Error().text, "Cannot open " + dir.Path() + ": it is a folder, not a regular file");
  auto missing = OpenRegularFile(dir.File("missing"));
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.Error().category, ErrorCategory::Io);
  EXPECT_EQ(missing.Error().reason, std::strerror(ENOENT));
  EXPECT_EQ(missing.Error().text, "Cannot open " + dir.File("missing") + ": " + std::strerror(ENOENT));
  EXPECT_FALSE(missing.Error().Is(RegularFileFault::Folder));
}

// Tests of opening regular files only, without waiting on anything else.
#include "common/regular_file.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
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
  EXPECT_EQ(fifo.Error().errorNumber, 0);
  EXPECT_EQ(fifo.Error().reason, "it is a named pipe (FIFO), not a regular file");
  EXPECT_EQ(fifo.Error().type, static_cast<mode_t>(S_IFIFO));

  auto zero = OpenRegularFile(dir.File("zero"));
  ASSERT_FALSE(zero.Ok());
  EXPECT_EQ(zero.Error().reason, "it is a character device, not a regular file");
  auto folder = OpenRegularFile(dir.Path());
  ASSERT_FALSE(folder.Ok());
  EXPECT_EQ(folder.Error().reason, "it is a folder, not a regular file");
  EXPECT_EQ(folder.Error().type, static_cast<mode_t>(S_IFDIR));
  auto missing = OpenRegularFile(dir.File("missing"));
  ASSERT_FALSE(missing.Ok());
  EXPECT_EQ(missing.Error().errorNumber, ENOENT);

  for (const char* name : {"file", "link"}) {
    auto opened = OpenRegularFile(dir.File(name));
    ASSERT_TRUE(opened.Ok()) << name;
    char buffer[8] = {};
    EXPECT_EQ(::read(opened.Value().Get(), buffer, sizeof buffer), 4) << name;
    EXPECT_EQ(::fcntl(opened.Value().Get(), F_GETFL) & O_NONBLOCK, 0) << name;
  }
}

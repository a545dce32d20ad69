// The encoder's output file: its failures as errors.
#include "outside/gogo/mp3_output_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "tests/outside/gogo/test_media.h"

namespace {

// Catches a file that cannot be created, a full disk, or a pipe that cannot seek reported
// without the system's reason or the path, or as something else than a failed call.
TEST(GogoOutputFile, FailuresCarryTheSystemReasonAndThePath) {
  test_media::ScratchDir dir;
  const std::string nowhere = dir.File("no/such/folder/out.mp3");
  auto missing = Mp3OutputFile::Create(nowhere);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.Error().category, ErrorCategory::Io);
  EXPECT_EQ(missing.Error().errnum, ENOENT);
  EXPECT_EQ(missing.Error().subject, nowhere);
  EXPECT_EQ(missing.Error().text, "cannot create " + nowhere + ": No such file or directory");

  auto full = Mp3OutputFile::Create("/dev/full");
  ASSERT_TRUE(full);
  auto written = full.Value().Write("abc", 3);
  ASSERT_FALSE(written);
  EXPECT_EQ(written.Error().errnum, ENOSPC);
  EXPECT_EQ(written.Error().text, "cannot write /dev/full: No space left on device");

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const std::string pipePath = "/proc/self/fd/" + std::to_string(fds[1]);
  auto piped = Mp3OutputFile::Create(pipePath);
  ASSERT_TRUE(piped);
  auto at = piped.Value().WriteAt(0, "abc", 3);
  ASSERT_FALSE(at);
  EXPECT_EQ(at.Error().errnum, ESPIPE);
  close(fds[0]);
  close(fds[1]);
}

}  // namespace

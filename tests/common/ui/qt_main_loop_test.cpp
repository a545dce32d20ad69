// Tests of the main-loop seam over Qt's event loop: the windows' engines and workers rely
// on it exactly as the terminal front end relies on QueueMainLoop.
#include "common/ui/qt_main_loop.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;

// Catches a worker's hand-over that returns before the GUI thread ran it, or a nested
// wait that stops turning the loop (the worker would then block forever).
TEST(QtMainLoop, RunUntilServesBlockingCallsOfAWorker) {
  QtMainLoop loop;
  std::atomic<bool> workerDone{false};
  int value = 0, seen = 0;
  std::thread worker([&] {
    loop.InvokeBlocking([&] { value = 7; });
    seen = value;
    workerDone = true;
  });
  EXPECT_TRUE(loop.RunUntil([&] { return workerDone.load(); }, 10s));
  worker.join();
  EXPECT_EQ(seen, 7);
  EXPECT_FALSE(loop.RunUntil([] { return false; }, 20ms));
}

// Catches a watch that does not fire for a readable pipe, fires after Unwatch, or a
// handler that cannot remove its own watch.
TEST(QtMainLoop, WatchReadableFollowsThePipe) {
  QtMainLoop loop;
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  int calls = 0;
  MainLoop::HandlerId id = 0;
  id = loop.WatchReadable(fds[0], [&] {
    char byte;
    ASSERT_EQ(::read(fds[0], &byte, 1), 1);
    if (++calls == 2) loop.Unwatch(id);
  });
  ASSERT_EQ(::write(fds[1], "ab", 2), 2);
  EXPECT_TRUE(loop.RunUntil([&] { return calls == 2; }, 5s));
  ASSERT_EQ(::write(fds[1], "c", 1), 1);
  loop.RunUntil([] { return false; }, 50ms);
  EXPECT_EQ(calls, 2);
  ::close(fds[0]);
  ::close(fds[1]);
}

// Catches a one-shot timer firing twice, a repeating one firing once, and StopTimer from
// inside its own handler leaving it running.
TEST(QtMainLoop, TimersFireOnceOrUntilStopped) {
  QtMainLoop loop;
  int once = 0, repeated = 0;
  loop.StartTimer(5ms, /*repeat=*/false, [&] { ++once; });
  MainLoop::HandlerId id = 0;
  id = loop.StartTimer(5ms, /*repeat=*/true, [&] {
    if (++repeated == 3) loop.StopTimer(id);
  });
  EXPECT_TRUE(loop.RunUntil([&] { return repeated == 3 && once == 1; }, 5s));
  loop.RunUntil([] { return false; }, 60ms);
  EXPECT_EQ(once, 1);
  EXPECT_EQ(repeated, 3);
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}

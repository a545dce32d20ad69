// Tests of the queue main loop used by the terminal front end and the tests.
#include "common/main_loop.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

// Catches functions run out of order or on the posting thread instead of the main one.
TEST(QueueMainLoop, PostRunsInOrderOnTheMainThread) {
  QueueMainLoop loop;
  const auto mainId = std::this_thread::get_id();
  std::vector<int> order, expected;
  bool allOnMain = true;
  std::thread poster([&] {
    EXPECT_FALSE(loop.IsMainThread());
    for (int i = 0; i < 100; ++i)
      loop.Post([&, i] {
        order.push_back(i);
        allOnMain = allOnMain && std::this_thread::get_id() == mainId;
      });
  });
  poster.join();
  EXPECT_TRUE(loop.IsMainThread());
  EXPECT_TRUE(loop.RunUntil([&] { return order.size() == 100; }, std::chrono::seconds(10)));
  for (int i = 0; i < 100; ++i) expected.push_back(i);
  EXPECT_EQ(order, expected);
  EXPECT_TRUE(allOnMain);
}

// Catches InvokeBlocking returning before the function ran, running it off the main thread
// or losing its exception (leaving the worker blocked); and a call from the main thread
// itself that would wait for itself forever.
TEST(QueueMainLoop, InvokeBlockingWaitsForTheMainThread) {
  QueueMainLoop loop;
  const auto mainId = std::this_thread::get_id();
  std::atomic<bool> workerDone{false};
  bool ranOnMain = false, caught = false;
  int seenByWorker = 0, value = 0;
  std::thread worker([&] {
    loop.InvokeBlocking([&] {
      ranOnMain = std::this_thread::get_id() == mainId;
      value = 42;
    });
    seenByWorker = value;  // must already be set when InvokeBlocking returns
    try {
      loop.InvokeBlocking([] { throw std::runtime_error("refused"); });
    } catch (const std::runtime_error&) {
      caught = true;
    }
    workerDone = true;
  });
  EXPECT_TRUE(loop.RunUntil([&] { return workerDone.load(); }, std::chrono::seconds(10)));
  worker.join();
  EXPECT_TRUE(ranOnMain);
  EXPECT_EQ(seenByWorker, 42);
  EXPECT_TRUE(caught);
  bool direct = false;
  loop.InvokeBlocking([&] { direct = true; });
  EXPECT_TRUE(direct);
}

// Catches RunUntil hanging past its time limit or sleeping through a condition another
// thread makes true without posting, and RunPending running what is posted while it runs
// (which could loop forever on a self-posting function).
TEST(QueueMainLoop, RunUntilTimesOutAndRunPendingTakesOneBatch) {
  QueueMainLoop loop;
  EXPECT_FALSE(loop.RunUntil([] { return false; }, std::chrono::milliseconds(20)));
  std::atomic<bool> flag{false};
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    flag = true;
  });
  EXPECT_TRUE(loop.RunUntil([&] { return flag.load(); }, std::chrono::hours(1)));
  setter.join();
  int runs = 0;
  std::function<void()> again = [&] {
    ++runs;
    loop.Post(again);
  };
  loop.Post(again);
  EXPECT_EQ(loop.RunPending(), 1u);
  EXPECT_EQ(loop.RunPending(), 1u);
  EXPECT_EQ(runs, 2);
}

// Catches a watched pipe whose data never wakes the loop, a handler that runs off the main
// thread, and a watch or one-shot timer that keeps firing after it was removed or ran.
TEST(QueueMainLoop, WatchesPipesAndRunsTimers) {
  QueueMainLoop loop;
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::string received;
  int oneShot = 0, repeated = 0;
  const auto watch = loop.WatchReadable(fds[0], [&] {
    char c;
    if (::read(fds[0], &c, 1) == 1) received.push_back(c);
    EXPECT_TRUE(loop.IsMainThread());
  });
  loop.StartTimer(std::chrono::milliseconds(20), false, [&] { ++oneShot; });
  const auto every = loop.StartTimer(std::chrono::milliseconds(10), true, [&] { ++repeated; });
  std::thread writer([&] {
    for (char c : std::string("abc")) {
      std::this_thread::sleep_for(std::chrono::milliseconds(15));
      ASSERT_EQ(::write(fds[1], &c, 1), 1);
    }
  });
  EXPECT_TRUE(loop.RunUntil([&] { return received == "abc" && repeated >= 5; }, std::chrono::seconds(10)));
  writer.join();
  loop.Unwatch(watch);
  loop.StopTimer(every);
  const int repeatedThen = repeated;
  ASSERT_EQ(::write(fds[1], "d", 1), 1);
  loop.RunUntil([] { return false; }, std::chrono::milliseconds(60));
  EXPECT_EQ(received, "abc");
  EXPECT_EQ(oneShot, 1);
  EXPECT_EQ(repeated, repeatedThen);
  ::close(fds[0]);
  ::close(fds[1]);
}

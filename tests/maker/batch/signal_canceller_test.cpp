// The cancel by signal of a terminal run: which signal cancelled it belongs to the run.
#include "maker/batch/signal_canceller.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>

using namespace std::chrono_literals;

// Catches the cancel signal kept as process-wide state (a run that was never signalled
// reporting the signal of an earlier one), a signal that does not reach the cancel, and
// one caught just before the watch ends that is lost.
TEST(SignalCanceller, EachRunKeepsTheSignalThatCancelledIt) {
  QueueMainLoop loop;
  int cancels = 0;
  SignalCanceller first;
  EXPECT_EQ(first.CancelSignal(), 0);
  {
    SignalCanceller::Watch watch(first, loop, [&cancels] { ++cancels; });
    ASSERT_EQ(::raise(SIGTERM), 0);
    ASSERT_TRUE(loop.RunUntil([&cancels] { return cancels == 1; }, 10s));
  }
  EXPECT_EQ(first.CancelSignal(), SIGTERM);

  SignalCanceller second;
  EXPECT_EQ(second.CancelSignal(), 0) << "a new run reports the signal of an earlier one";
  {
    SignalCanceller::Watch watch(second, loop, [&cancels] { ++cancels; });
    // Caught, but the loop does not look before the watch ends.
    ASSERT_EQ(::raise(SIGINT), 0);
  }
  EXPECT_EQ(second.CancelSignal(), SIGINT);
  EXPECT_EQ(first.CancelSignal(), SIGTERM);
  loop.RunPending();
  EXPECT_EQ(cancels, 2);
}

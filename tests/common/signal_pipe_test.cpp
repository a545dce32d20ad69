// Tests of SignalPipe: signals caught on any thread arrive as their numbers, and the
// handlers that were there before come back.
#include "common/signal_pipe.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <pthread.h>

#include <atomic>
#include <thread>

namespace {

std::atomic<int> g_oldHandlerCalls{0};
void OldHandler(int) { ++g_oldHandlerCalls; }

bool Readable(int fd, int ms) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, ms) == 1;
}

}  // namespace

// Catches a signal that ends the program instead of reaching the pipe, one caught on
// another thread that is lost, numbers that arrive changed or out of order, and a pipe
// that reads as readable (or blocks) when nothing is waiting.
TEST(SignalPipe, CaughtSignalsArriveAsTheirNumbersInOrder) {
  SignalPipe pipe({SIGTERM, SIGINT});
  ASSERT_GE(pipe.ReadFd(), 0);
  EXPECT_FALSE(Readable(pipe.ReadFd(), 0));
  ASSERT_EQ(::raise(SIGTERM), 0);
  ASSERT_EQ(::raise(SIGINT), 0);
  std::thread other([] {
    // A worker thread takes the signal here: the handler runs on it.
    ASSERT_EQ(::pthread_kill(::pthread_self(), SIGTERM), 0);
  });
  other.join();
  ASSERT_TRUE(Readable(pipe.ReadFd(), 1000));
  EXPECT_EQ(pipe.TakeSignal(), SIGTERM);
  EXPECT_EQ(pipe.TakeSignal(), SIGINT);
  EXPECT_EQ(pipe.TakeSignal(), SIGTERM);
  EXPECT_EQ(pipe.TakeSignal(), 0);
}

// Catches a signal that was ignored at start (nohup) and is caught all the same: the
// program would then end when the terminal closes although the user asked it not to.
TEST(SignalPipe, AnIgnoredSignalStaysIgnored) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  struct sigaction before {};
  ASSERT_EQ(::sigaction(SIGHUP, &ignore, &before), 0);
  {
    SignalPipe pipe({SIGHUP, SIGTERM});
    ASSERT_EQ(::raise(SIGHUP), 0);
    EXPECT_EQ(pipe.TakeSignal(), 0);
    ASSERT_EQ(::raise(SIGTERM), 0);
    EXPECT_EQ(pipe.TakeSignal(), SIGTERM);
    struct sigaction now {};
    ASSERT_EQ(::sigaction(SIGHUP, nullptr, &now), 0);
    EXPECT_EQ(now.sa_handler, SIG_IGN);
  }
  ::sigaction(SIGHUP, &before, nullptr);
}

// Catches a terminal run started as a background job of a script (its shell ignores
// SIGINT for it) that cannot be cancelled: asked to, the pipe catches an ignored signal,
// and the ignore comes back with the pipe's end.
TEST(SignalPipe, AnIgnoredSignalIsCaughtWhenAsked) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  struct sigaction before {};
  ASSERT_EQ(::sigaction(SIGINT, &ignore, &before), 0);
  {
    SignalPipe pipe({SIGINT}, SignalPipe::IgnoredAtStart::Caught);
    ASSERT_GE(pipe.ReadFd(), 0);
    ASSERT_EQ(::raise(SIGINT), 0);
    EXPECT_EQ(pipe.TakeSignal(), SIGINT);
  }
  struct sigaction now {};
  ASSERT_EQ(::sigaction(SIGINT, nullptr, &now), 0);
  EXPECT_EQ(now.sa_handler, SIG_IGN);
  ::sigaction(SIGINT, &before, nullptr);
}

// Catches a second pipe that steals the first one's signals, and handlers that stay
// installed after the pipe is gone (signals then vanish into a closed pipe).
TEST(SignalPipe, OneAtATimeAndThePreviousHandlersComeBack) {
  struct sigaction old {};
  old.sa_handler = OldHandler;
  sigemptyset(&old.sa_mask);
  ASSERT_EQ(::sigaction(SIGTERM, &old, nullptr), 0);
  {
    SignalPipe first({SIGTERM});
    ASSERT_GE(first.ReadFd(), 0);
    SignalPipe second({SIGTERM});
    EXPECT_EQ(second.ReadFd(), -1);
    EXPECT_EQ(second.TakeSignal(), 0);
    ASSERT_EQ(::raise(SIGTERM), 0);
    EXPECT_EQ(first.TakeSignal(), SIGTERM);
    EXPECT_EQ(g_oldHandlerCalls, 0);
  }
  ASSERT_EQ(::raise(SIGTERM), 0);
  EXPECT_EQ(g_oldHandlerCalls, 1);
  // A new pipe once the first is gone works again.
  SignalPipe again({SIGTERM});
  ASSERT_GE(again.ReadFd(), 0);
  ASSERT_EQ(::raise(SIGTERM), 0);
  EXPECT_EQ(again.TakeSignal(), SIGTERM);
}

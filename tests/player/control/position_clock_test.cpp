// Tests of the play position between the engines' whole-second reports.
#include "player/control/position_clock.h"

#include <gtest/gtest.h>

namespace {

using std::chrono::milliseconds;
const PositionClock::Clock::time_point t0{std::chrono::seconds(1000)};

}  // namespace

// Catches a position that stands still between reports (whole seconds only), runs on
// while paused, or runs ahead of the engine past the second it told.
TEST(PositionClock, RunsInsideTheSecondToldWhilePlaying) {
  PositionClock clock;
  EXPECT_EQ(clock.Microseconds(t0), 0);
  clock.SetRunning(true, t0);
  EXPECT_EQ(clock.Microseconds(t0 + milliseconds(250)), 250000);
  EXPECT_FALSE(clock.Reported(1, t0 + milliseconds(1010)));
  EXPECT_EQ(clock.Microseconds(t0 + milliseconds(1010)), 1000000);
  EXPECT_EQ(clock.Microseconds(t0 + milliseconds(1510)), 1500000);
  // The engine is late with its next second: the clock waits at the end of this one.
  EXPECT_EQ(clock.Microseconds(t0 + milliseconds(2500)), 1999999);
  clock.SetRunning(false, t0 + milliseconds(1600));
  EXPECT_EQ(clock.Microseconds(t0 + milliseconds(1600)), 1590000);
  EXPECT_EQ(clock.Microseconds(t0 + milliseconds(9000)), 1590000) << "paused, the position stays";
  clock.SetRunning(true, t0 + milliseconds(9000));
  EXPECT_EQ(clock.Microseconds(t0 + milliseconds(9100)), 1690000);
  clock.Reset();
  EXPECT_EQ(clock.Microseconds(t0 + milliseconds(9100)), 0);
}

// Catches a seek that shows only once the engine reports it, a report of the seek's own
// second, one made before the seek or a late one taken for a jump, an engine that never
// sought followed for ever, and a seek made elsewhere (the window) not seen as one.
TEST(PositionClock, SeeksAndJumps) {
  PositionClock clock;
  clock.SetRunning(true, t0);
  clock.SoughtTo(42500000, t0 + milliseconds(100));
  EXPECT_EQ(clock.Microseconds(t0 + milliseconds(100)), 42500000);
  EXPECT_FALSE(clock.Reported(7, t0 + milliseconds(120))) << "told before the engine sought";
  EXPECT_EQ(clock.Microseconds(t0 + milliseconds(120)), 42520000);
  EXPECT_FALSE(clock.Reported(42, t0 + milliseconds(150)));
  EXPECT_EQ(clock.Microseconds(t0 + milliseconds(300)), 42700000);
  EXPECT_FALSE(clock.Reported(43, t0 + milliseconds(600)));
  EXPECT_FALSE(clock.Reported(44, t0 + milliseconds(6600))) << "a stalled input is late, it did not jump";
  EXPECT_EQ(clock.Microseconds(t0 + milliseconds(6600)), 44000000);
  EXPECT_TRUE(clock.Reported(53, t0 + milliseconds(6700))) << "nine seconds ahead at once";
  EXPECT_EQ(clock.Microseconds(t0 + milliseconds(6700)), 53000000);
  EXPECT_TRUE(clock.Reported(3, t0 + milliseconds(6800))) << "back to the start";
  // Once the engine told the second sought, a report far from it is a seek again.
  clock.SoughtTo(20000000, t0 + milliseconds(6810));
  EXPECT_FALSE(clock.Reported(20, t0 + milliseconds(6820)));
  EXPECT_TRUE(clock.Reported(30, t0 + milliseconds(6830)));
  clock.SoughtTo(-5, t0 + milliseconds(6900));
  EXPECT_EQ(clock.Microseconds(t0 + milliseconds(6900)), 0);
  // An engine that did not seek at all: after a moment its reports count again.
  EXPECT_FALSE(clock.Reported(9, t0 + milliseconds(7000)));
  EXPECT_TRUE(clock.Reported(10, t0 + milliseconds(8000)));
  EXPECT_EQ(clock.Microseconds(t0 + milliseconds(8000)), 10000000);
}

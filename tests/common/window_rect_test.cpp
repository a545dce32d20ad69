// Tests of stored window geometry fitted to the screen.
#include <gtest/gtest.h>

#include <climits>

#include "common/window_rect.h"

namespace {

const WindowRect kScreen{0, 0, 1280, 1024};

}  // namespace

// Catches a window left where it was stored although it fits, and sizes changed that
// did not need it.
TEST(FitToScreen, AWindowOnTheScreenStays) {
  EXPECT_EQ(FitToScreen({11, 11, 450, 300}, kScreen), (WindowRect{11, 11, 450, 300}));
  EXPECT_EQ(FitToScreen({830, 724, 450, 300}, kScreen), (WindowRect{830, 724, 450, 300}));
  EXPECT_EQ(FitToScreen({1300, 30, 450, 300}, {1280, 0, 1920, 1080}), (WindowRect{1300, 30, 450, 300}));
}

// Catches PlayListFormWidth=100000 taken as it is (a 384 MB window), a window off the
// screen on any side, and overflow with the ends of the int range.
TEST(FitToScreen, HostileValuesGiveAWindowOnTheScreen) {
  EXPECT_EQ(FitToScreen({11, 11, 100000, 300}, kScreen), (WindowRect{0, 11, 1280, 300}));
  EXPECT_EQ(FitToScreen({-5000, 5000, 450, 300}, kScreen), (WindowRect{0, 724, 450, 300}));
  EXPECT_EQ(FitToScreen({INT_MAX, INT_MIN, INT_MAX, INT_MAX}, kScreen), (WindowRect{0, 0, 1280, 1024}));
  EXPECT_EQ(FitToScreen({INT_MIN, INT_MAX, INT_MIN, 0}, kScreen, 100, 50), (WindowRect{0, 974, 100, 50}));
  EXPECT_EQ(FitToScreen({100, 100, 450, 300}, {1280, 0, 1920, 1080}), (WindowRect{1280, 100, 450, 300}));
}

// Catches a minimum that pushes the window past a small screen.
TEST(FitToScreen, TheScreenWinsOverTheMinimum) {
  EXPECT_EQ(FitToScreen({0, 0, 10, 10}, {0, 0, 640, 480}, 200, 600), (WindowRect{0, 0, 200, 480}));
}

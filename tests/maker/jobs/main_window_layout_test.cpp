// Size, place and per-operation layout of the maker's main window.
#include "maker/jobs/main_window_layout.h"

#include <gtest/gtest.h>

struct PlacementCase {
  WindowRect screen;
  WindowRect expected;
};

class MainWindowPlacement : public ::testing::TestWithParam<PlacementCase> {};

// Catches a window placed above the screen (centring minus 30 gives -15 on a 480-pixel
// screen), the wrong height choice around 550 pixels, and a second screen's offset lost.
TEST_P(MainWindowPlacement, SizeAndPlaceFollowTheScreen) {
  EXPECT_EQ(InitialMainWindowRect(GetParam().screen), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, MainWindowPlacement,
    ::testing::Values(PlacementCase{{0, 0, 640, 480}, {20, 1, 600, 450}},
                      PlacementCase{{0, 0, 800, 549}, {100, 19, 600, 450}},
                      PlacementCase{{0, 0, 800, 550}, {100, 1, 600, 550}},
                      PlacementCase{{0, 0, 1024, 768}, {212, 79, 600, 550}},
                      PlacementCase{{1920, 24, 1280, 1000}, {2260, 219, 600, 550}}));

// Catches a snap that changes a size that is large enough, or snaps both sides together.
TEST(MainWindowSize, SnapsEachSideBackToTheMinimum) {
  EXPECT_EQ(SnapMainWindowSize({5, 6, 400, 300}), (WindowRect{5, 6, 550, 450}));
  EXPECT_EQ(SnapMainWindowSize({0, 0, 700, 300}), (WindowRect{0, 0, 700, 450}));
  EXPECT_EQ(SnapMainWindowSize({0, 0, 549, 900}), (WindowRect{0, 0, 550, 900}));
  EXPECT_EQ(SnapMainWindowSize({0, 0, 550, 450}), (WindowRect{0, 0, 550, 450}));
}

// Catches the wrong panels for an operation, the reader panel not taking two thirds in CD
// to MP3, lists not half of their panels, and the priority menu enabled for CD to WAV.
TEST(MainWindowLayout, EachOperationShowsItsPanels) {
  const MainWindowLayout cdMp3 = LayOutMainWindow(Operation::CD2MP3, 600, 560);
  EXPECT_TRUE(cdMp3.cdTarget && cdMp3.readerPanel && cdMp3.encoderPanel);
  EXPECT_FALSE(cdMp3.fileList || cdMp3.readerFillsLists);
  EXPECT_EQ(cdMp3.readerPanelHeight, 400);
  EXPECT_EQ(cdMp3.tracksListHeight, 200);
  EXPECT_TRUE(cdMp3.priorityMenu);
  EXPECT_STREQ(cdMp3.startHint, "Start Reading CD");

  const MainWindowLayout cdWav = LayOutMainWindow(Operation::CD2WAV, 600, 560);
  EXPECT_TRUE(cdWav.cdTarget && cdWav.readerPanel && cdWav.readerFillsLists);
  EXPECT_FALSE(cdWav.encoderPanel || cdWav.fileList || cdWav.priorityMenu);
  EXPECT_EQ(cdWav.tracksListHeight, 280);

  for (const Operation files : {Operation::WAV2MP3, Operation::MP32WAV}) {
    const MainWindowLayout l = LayOutMainWindow(files, 600, 560);
    EXPECT_FALSE(l.cdTarget || l.readerPanel);
    EXPECT_TRUE(l.encoderPanel && l.fileList && l.priorityMenu);
    EXPECT_EQ(l.fileListHeight, 280);
  }
  EXPECT_STREQ(LayOutMainWindow(Operation::WAV2MP3, 600, 560).startHint, "Start Encoding");
  EXPECT_STREQ(LayOutMainWindow(Operation::MP32WAV, 600, 560).startHint, "Start Decoding");
}

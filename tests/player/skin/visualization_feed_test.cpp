// Tests of the visualization's hand-over between the playing threads and the main loop.
#include "player/skin/visualization_feed.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

struct Drawn {
  std::vector<std::vector<int16_t>> slices;
  std::vector<int> strides;
};

}  // namespace

// Catches a second slice that overwrites the pending one (the buffer must never change
// while a drawing waits), or a feed that stays busy after the drawing ran.
TEST(VisualizationFeed, SlicesWhileADrawingIsPendingAreDropped) {
  QueueMainLoop loop;
  Drawn drawn;
  VisualizationFeed feed(loop, [&](std::span<const int16_t> s, int stride) {
    drawn.slices.emplace_back(s.begin(), s.end());
    drawn.strides.push_back(stride);
  });
  feed.SetEnabled(true);
  const int16_t first[4] = {1, 2, 3, 4};
  const int16_t second[4] = {9, 9, 9, 9};
  EXPECT_TRUE(feed.Offer(first, sizeof first, 2, 16));
  EXPECT_TRUE(feed.Pending());
  EXPECT_FALSE(feed.Offer(second, sizeof second, 2, 16));
  EXPECT_EQ(loop.RunPending(), 1u);
  ASSERT_EQ(drawn.slices.size(), 1u);
  EXPECT_EQ(drawn.slices[0], (std::vector<int16_t>{1, 2, 3, 4}));
  EXPECT_FALSE(feed.Pending());
  EXPECT_TRUE(feed.Offer(second, sizeof second, 1, 16));
  loop.RunPending();
  EXPECT_EQ(drawn.strides, (std::vector<int>{2, 1}));
}

// Catches a feed that draws for a skin without an area, draws samples of another size as
// 16-bit PCM, or reads past a slice longer than its buffer.
TEST(VisualizationFeed, DisabledFeedsAndOtherSampleSizesTakeNothing) {
  QueueMainLoop loop;
  size_t draws = 0;
  size_t lastSize = 0;
  VisualizationFeed feed(loop, [&](std::span<const int16_t> s, int) {
    ++draws;
    lastSize = s.size();
  });
  const std::vector<int16_t> slice(4000, 7);
  EXPECT_FALSE(feed.Offer(slice.data(), 8, 2, 16));
  feed.SetEnabled(true);
  EXPECT_FALSE(feed.Offer(slice.data(), 8, 2, 8));
  EXPECT_FALSE(feed.Offer(slice.data(), 1, 2, 16));
  EXPECT_TRUE(feed.Offer(slice.data(), slice.size() * 2, 2, 16));
  loop.RunPending();
  EXPECT_EQ(draws, 1u);
  EXPECT_EQ(lastSize, VisualizationFeed::kSliceLimitBytes / 2);
}

// Catches a race between engine threads offering slices and the main loop drawing them
// (a slice written while it is drawn shows as a slice of mixed values).
TEST(VisualizationFeed, ManyThreadsOfferWhileTheMainLoopDraws) {
  QueueMainLoop loop;
  std::atomic<int> offered{0};
  size_t draws = 0;
  bool torn = false;
  VisualizationFeed feed(loop, [&](std::span<const int16_t> s, int) {
    ++draws;
    for (int16_t v : s) torn |= v != s[0];
  });
  feed.SetEnabled(true);
  std::vector<std::thread> engines;
  for (int t = 0; t < 3; ++t)
    engines.emplace_back([&, t] {
      std::vector<int16_t> slice(128, static_cast<int16_t>(t + 1));
      for (int i = 0; i < 2000; ++i)
        if (feed.Offer(slice.data(), 256, 2, 16)) ++offered;
    });
  for (auto& e : engines) e.join();
  loop.RunPending();
  EXPECT_EQ(static_cast<int>(draws), offered.load());
  EXPECT_GT(draws, 0u);
  EXPECT_FALSE(torn);
}

// Catches a queued drawing that runs after its feed is gone.
TEST(VisualizationFeed, ADrawingQueuedBeforeDestructionDoesNotRun) {
  QueueMainLoop loop;
  bool ran = false;
  {
    VisualizationFeed feed(loop, [&](std::span<const int16_t>, int) { ran = true; });
    feed.SetEnabled(true);
    const int16_t slice[2] = {1, 1};
    ASSERT_TRUE(feed.Offer(slice, sizeof slice, 2, 16));
  }
  loop.RunPending();
  EXPECT_FALSE(ran);
}

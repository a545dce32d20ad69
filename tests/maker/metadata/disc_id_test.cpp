// The CDDB disc ID.
#include "maker/metadata/disc_id.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// Independent computation: digit sums from the decimal text of the start seconds.
std::uint32_t ReferenceDiscId(const DiscLayout& disc) {
  long total = 0;
  for (int k = 0; k < disc.trackCount; ++k) {
    for (char c : std::to_string((disc.startSectors[k] + 150) / 75)) total += c - '0';
  }
  const long seconds = (disc.startSectors[disc.trackCount] - disc.startSectors[0]) / 75;
  return static_cast<std::uint32_t>((total % 255) * 0x1000000L + seconds * 0x100L +
                                    disc.trackCount);
}

// Catches: a wrong digit sum, pre-gap or field placement, or the drive's 1-based table
// shifted by one when converted.
TEST(DiscId, TwoTrackExampleGivesKnownId) {
  TrackTable table;
  table.trackCount = 2;
  table.start[1] = 0;
  table.start[2] = 15000;
  table.start[3] = 30000;
  const DiscLayout disc = DiscLayoutFromTrackTable(table);
  EXPECT_EQ(disc.startSectors, (std::vector<std::int32_t>{0, 15000, 30000}));
  ASSERT_TRUE(disc.Valid());
  EXPECT_EQ(DiscId(disc), 0x06019002u);
  EXPECT_EQ(disc.LengthSeconds(), 402);
  table.trackCount = 0;
  EXPECT_FALSE(DiscLayoutFromTrackTable(table).Valid());
}

// Catches: errors that only show for many tracks, large offsets or a late first track.
TEST(DiscId, GeneratedTablesAgreeWithIndependentComputation) {
  std::mt19937 random(1234);
  for (int round = 0; round < 200; ++round) {
    DiscLayout disc;
    disc.trackCount = 1 + static_cast<int>(random() % 99);
    std::int32_t sector = static_cast<std::int32_t>(random() % 40000);
    for (int k = 0; k <= disc.trackCount; ++k) {
      disc.startSectors.push_back(sector);
      sector += 1 + static_cast<std::int32_t>(random() % 30000);
    }
    ASSERT_TRUE(disc.Valid());
    EXPECT_EQ(DiscId(disc), ReferenceDiscId(disc)) << "round " << round;
  }
}

// Catches: malformed tables (from a bad drive or image) reaching the computation.
TEST(DiscId, InvalidTablesAreRecognised) {
  const DiscLayout bad[] = {{0, {0}}, {2, {0, 100}}, {2, {0, 100, 100}}, {1, {-5, 100}},
                            {100, std::vector<std::int32_t>(101, 0)}};
  for (const auto& disc : bad) EXPECT_FALSE(disc.Valid()) << disc.trackCount;
}

}  // namespace

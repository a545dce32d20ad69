// Tests of the device clock's arithmetic: when a byte plays, and what has played then.
#include "common/audio/device_clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

// Catches a wake-up moment that falls a byte short: a writer thread sleeping until a buffer
// has played would wake, find it unplayed, and wait for the same past moment again,
// spinning. Also catches a moment more than a few nanoseconds late, which would hold buffers back.
TEST(DeviceClock, AByteHasPlayedAtTheMomentGivenForItAndNotBefore) {
  const DeviceClock::Clock::time_point start{std::chrono::seconds(1000)};
  for (const uint64_t bytesPerSecond : {16000, 176400, 192000, 1152000}) {
    for (const uint32_t speed : {1u, 8u}) {
      DeviceClock clock(bytesPerSecond, speed);
      const uint64_t hours = bytesPerSecond * 3600 * 10;  // ten hours of audio
      clock.Wrote(hours + 1000000, start);
      int early = 0, late = 0;
      for (const uint64_t base : {uint64_t(0), hours}) {
        for (uint64_t offset = base + 1; offset < base + 200000; offset += 13) {
          const auto when = clock.WhenPlayed(offset);
          if (clock.Played(when) < offset) ++early;
          if (clock.Played(when - std::chrono::nanoseconds(3)) >= offset) ++late;
        }
      }
      EXPECT_EQ(early, 0) << bytesPerSecond << " bytes/s at speed " << speed;
      EXPECT_EQ(late, 0) << bytesPerSecond << " bytes/s at speed " << speed;
    }
  }
}

// Tests of the "null" back end: it plays nothing, but at a device's pace, and lets its
// writer sleep between the device's periods.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

#include "common/audio/audio_output.h"
#include "common/audio/audio_output_internal.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Passes every call to the null back end and counts the writes it held back.
class CountingSink final : public AudioSink {
 public:
  CountingSink(std::unique_ptr<AudioSink> inner, std::atomic<int>* heldWrites, std::atomic<int>* writes)
      : inner_(std::move(inner)), heldWrites_(heldWrites), writes_(writes) {}
  Outcome Write(const uint8_t* data, size_t bytes) override {
    const auto start = Clock::now();
    Outcome written = inner_->Write(data, bytes);
    if (Clock::now() - start >= 2ms) ++*heldWrites_;
    ++*writes_;
    return written;
  }
  std::optional<uint64_t> Drop() override { return inner_->Drop(); }
  void Drain() override { inner_->Drain(); }
  size_t ChunkBytes() const override { return inner_->ChunkBytes(); }
  uint32_t Speed() const override { return inner_->Speed(); }

 private:
  std::unique_ptr<AudioSink> inner_;
  std::atomic<int>* heldWrites_;
  std::atomic<int>* writes_;
};

}  // namespace

// Catches a null output that takes audio faster or slower than it plays (a test back end
// that accepts everything at once hides timing faults), that loses buffers, and one that
// wakes its writer for every chunk instead of once per period of the device (it then costs
// more CPU than a real sound server, and the player's window redraws at its rhythm).
TEST(NullOutput, TwoSecondsTakeTwoSecondsWithOneWakeUpPerPeriod) {
  const AudioFormat format{44100, 2, 16};
  const size_t total = 2 * format.BytesPerSecond();
  const size_t bufferBytes = 4608;  // an MP3 frame: buffers straddle the device's chunks
  const std::vector<uint8_t> audio(total, 0x55);
  auto sink = OpenNullSink(SinkRequest{"null", "", 1}, format);
  ASSERT_TRUE(sink);
  std::atomic<int> heldWrites{0}, writes{0}, reported{0};
  auto output = OutputOverSink(std::make_unique<CountingSink>(std::move(sink).Value(), &heldWrites, &writes), "null",
                               format, [&](uint32_t) { ++reported; }, PlayerVolume());
  const auto start = Clock::now();
  uint32_t buffers = 0;
  for (size_t at = 0; at < total; at += bufferBytes) {
    ASSERT_TRUE(output->Queue(buffers++, audio.data() + at, std::min(bufferBytes, total - at)));
  }
  ASSERT_TRUE(output->Drain());
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(elapsed, 1950ms) << "two seconds of audio played faster than real time";
  EXPECT_LT(elapsed, 3s) << "two seconds of audio played much slower than real time";
  EXPECT_EQ(output->PlayedBytes(), total);
  EXPECT_EQ(reported.load(), int(buffers));
  // Two seconds are forty periods of 50 ms; a writer held back for every chunk would wait
  // for nearly every write (over 150).
  EXPECT_LE(heldWrites.load(), 55) << "of " << writes.load() << " writes";
  EXPECT_GE(writes.load(), 80);
}

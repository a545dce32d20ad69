// The "null" back end: plays nothing, at the pace of a real device.
#include <memory>

#include "common/audio/audio_output_internal.h"
#include "common/audio/paced_device.h"

namespace {

// Two periods of half the device's capacity (50 ms at most rates), written in chunks of
// half a period: the writer thread fills the device, then sleeps until a period has played,
// waking once a period as a sound card's interrupts would wake it. At least half a period
// is still to play when it wakes, so that it does not run dry.
constexpr uint32_t kPeriods = 2;

class NullSink final : public AudioSink {
 public:
  explicit NullSink(const AudioFormat& format) : device_(format, 1, kPeriods), frameBytes_(format.BytesPerFrame()) {}
  Outcome Write(const uint8_t*, size_t bytes) override {
    device_.Take(bytes);
    return Done{};
  }
  std::optional<uint64_t> Drop() override {
    uint64_t played = 0;
    device_.Drop(&played);
    return played;
  }
  void Drain() override { device_.Drain(); }
  size_t ChunkBytes() const override {
    const size_t half = device_.PeriodBytes() / 2;
    return half < frameBytes_ ? frameBytes_ : half - half % frameBytes_;
  }

 private:
  PacedDevice device_;
  size_t frameBytes_;
};

}  // namespace

Expected<std::unique_ptr<AudioSink>> OpenNullSink(const SinkRequest&, const AudioFormat& format) {
  return std::unique_ptr<AudioSink>(std::make_unique<NullSink>(format));
}

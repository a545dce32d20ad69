// The "null" back end: plays nothing, at the pace of a real device.
#include <memory>

#include "common/audio/audio_output_internal.h"
#include "common/audio/paced_device.h"

namespace {

class NullSink final : public AudioSink {
 public:
  explicit NullSink(const AudioFormat& format) : device_(format, 1) {}
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
  size_t ChunkBytes() const override { return device_.Capacity() < 4096 ? device_.Capacity() : 4096; }

 private:
  PacedDevice device_;
};

}  // namespace

Expected<std::unique_ptr<AudioSink>> OpenNullSink(const SinkRequest&, const AudioFormat& format) {
  return std::unique_ptr<AudioSink>(std::make_unique<NullSink>(format));
}

// The visualization's hand-over: one pending drawing at a time, the rest dropped.
#include "player/skin/visualization_feed.h"

#include <algorithm>
#include <cstring>

// What a queued drawing needs; kept alive by the queued call itself, so that a feed
// destroyed meanwhile leaves nothing dangling.
struct VisualizationFeed::Shared {
  DrawFn draw;                       // main thread only; cleared when the feed goes away
  std::atomic<bool> enabled{false};
  std::atomic<bool> pending{false};  // set by the taker of a slice, cleared after drawing
  std::vector<int16_t> samples;      // written only by the taker while pending was false
  int frameStride = 1;
  std::atomic<uint64_t> drops{0};    // DropPending calls so far (written on the main thread)
};

VisualizationFeed::VisualizationFeed(MainLoop& loop, DrawFn draw) : loop_(loop), shared_(std::make_shared<Shared>()) {
  shared_->draw = std::move(draw);
}

VisualizationFeed::~VisualizationFeed() {
  shared_->enabled = false;
  shared_->draw = nullptr;
}

void VisualizationFeed::SetEnabled(bool enabled) { shared_->enabled = enabled; }

void VisualizationFeed::DropPending() { ++shared_->drops; }

bool VisualizationFeed::Pending() const { return shared_->pending; }

bool VisualizationFeed::Offer(const void* data, size_t bytes, int channels, int bitsPerSample) {
  Shared& s = *shared_;
  if (!s.enabled || bitsPerSample != 16 || data == nullptr || bytes < sizeof(int16_t)) return false;
  bool idle = false;
  if (!s.pending.compare_exchange_strong(idle, true)) return false;
  const size_t taken = std::min(bytes, kSliceLimitBytes) / sizeof(int16_t);
  s.samples.resize(taken);
  std::memcpy(s.samples.data(), data, taken * sizeof(int16_t));
  s.frameStride = std::max(channels, 1);
  // A drop between now and the drawing means the slice is no longer wanted.
  loop_.Post([shared = shared_, drops = s.drops.load()] {
    if (shared->draw && drops == shared->drops) shared->draw(shared->samples, shared->frameStride);
    shared->pending = false;
  });
  return true;
}

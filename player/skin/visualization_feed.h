// The hand-over between the threads that play audio and the thread that draws the
// visualization: a slice is taken only while no drawing is pending, copied, and drawn on
// the main loop; slices that arrive meanwhile are dropped.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "common/main_loop.h"

class VisualizationFeed {
 public:
  // Runs on the main loop with the copied samples and the samples per frame.
  using DrawFn = std::function<void(std::span<const int16_t> samples, int frameStride)>;

  VisualizationFeed(MainLoop& loop, DrawFn draw);
  ~VisualizationFeed();  // drops a drawing still queued
  VisualizationFeed(const VisualizationFeed&) = delete;
  VisualizationFeed& operator=(const VisualizationFeed&) = delete;

  // Main thread: whether slices are taken at all (a skin without a usable area takes none).
  void SetEnabled(bool enabled);

  // Any thread: offers one slice of interleaved PCM. Only 16-bit samples are drawn; the
  // trace follows the first channel. Returns whether the slice was taken (false while a
  // drawing is pending, when disabled, or for other sample sizes). Slices longer than
  // kSliceLimitBytes are cut.
  bool Offer(const void* data, size_t bytes, int channels, int bitsPerSample);

  // Main thread: a drawing queued and not yet done is dropped (playback stopped: what
  // it would draw is no longer heard).
  void DropPending();

  // Any thread: whether a drawing is queued and not yet done.
  bool Pending() const;

  static constexpr size_t kSliceLimitBytes = 4096;

 private:
  struct Shared;
  MainLoop& loop_;
  std::shared_ptr<Shared> shared_;
};

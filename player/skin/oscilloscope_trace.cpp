// Oscilloscope trace arithmetic.
#include "player/skin/oscilloscope_trace.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

void OscilloscopeTrace::SetArea(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  firstY_ = Mid();
  peak_ = kQuietPeak;
  lastTrace_.assign(static_cast<size_t>(width_), Mid());
}

int OscilloscopeTrace::SampleY(int sample) const {
  const int mid = Mid();
  const int64_t offset = (int64_t{sample} * mid * 2 + (sample >= 0 ? peak_ : -peak_)) / (int64_t{peak_} * 2);
  return static_cast<int>(std::clamp<int64_t>(mid - offset, 0, std::max(height_ - 1, 0)));
}

std::vector<TraceSegment> OscilloscopeTrace::Step(std::span<const int16_t> samples, int frameStride) {
  std::vector<TraceSegment> segments;
  const size_t stride = static_cast<size_t>(std::max(frameStride, 1));
  const int frames = static_cast<int>(std::min<size_t>(samples.size() / stride, static_cast<size_t>(width_)));
  if (frames == 0) return segments;
  const int mid = Mid();
  int slicePeak = 0;
  for (int i = 0; i < frames; ++i)
    slicePeak = std::max(slicePeak, std::abs(int{samples[static_cast<size_t>(i) * stride]}));
  peak_ = std::max({slicePeak, peak_ - peak_ / 8, kQuietPeak});
  segments.reserve(1 + 2 * static_cast<size_t>(frames));
  int g = SampleY(samples[0]);
  int h = firstY_;
  firstY_ = g;
  segments.push_back({TraceSegment::Pen::Line, 0, mid, width_, mid});
  for (int i = 0; i + 1 < frames; ++i) {
    const int y = SampleY(samples[static_cast<size_t>(i + 1) * stride]);
    int& previous = lastTrace_[static_cast<size_t>(i)];
    segments.push_back({TraceSegment::Pen::Background, i, h, i + 1, previous});
    h = previous;
    segments.push_back({TraceSegment::Pen::Line, i, g, i + 1, y});
    previous = y;
    g = y;
  }
  return segments;
}

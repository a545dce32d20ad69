// The drawing arithmetic of the visualization: a logarithmic oscilloscope trace of one PCM
// slice, drawn over the previous trace, which is erased segment by segment first.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

struct TraceSegment {
  enum class Pen { Line, Background };
  Pen pen = Pen::Line;
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool operator==(const TraceSegment&) const = default;
};

class OscilloscopeTrace {
 public:
  // A new area forgets the previous trace; it is taken to lie on the middle line.
  void SetArea(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Mid() const { return height_ / 2; }

  // The row of a sample: the middle line for silence, the top row (0) for full-scale
  // positive, the bottom edge (2 × mid) for full-scale negative, logarithmic between.
  int SampleY(int sample) const;

  // The segments of one drawing step, in drawing order: the middle line, then for each
  // column the erasure of the previous trace's segment followed by the new segment.
  // frameStride is the number of samples per frame (the trace follows the first channel);
  // a slice of n frames draws min(n, width) − 1 columns, columns beyond keep their trace.
  std::vector<TraceSegment> Step(std::span<const int16_t> samples, int frameStride);

 private:
  int width_ = 0;
  int height_ = 0;
  int firstY_ = 0;
  std::vector<int> lastTrace_;  // the previous trace's y per column
};

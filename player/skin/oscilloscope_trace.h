// The drawing arithmetic of the visualization: an oscilloscope trace of one PCM slice,
// drawn over the previous trace, which is erased segment by segment first. The scale is
// linear and follows the loudness: the loudest sample of recent slices reaches the edge of
// the area, so a quiet song uses its height as a loud one does (a fixed full-scale
// scale, or a logarithmic one, left most of the area unused or drew a square wave).
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
  // A new area forgets the previous trace (it is taken to lie on the middle line) and the
  // loudness.
  void SetArea(int width, int height);
  // The trace is forgotten (the area shows the face again): the next one starts from the
  // middle line and the quiet scale.
  void Forget() { SetArea(width_, height_); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Mid() const { return height_ / 2; }

  // The row of a sample on the current scale: the middle line for silence, the top row
  // (0) for the scale's peak, the bottom row (height − 1) for its negative, linear
  // between, louder samples clamped to the edges.
  int SampleY(int sample) const;
  // The magnitude that reaches the edge: the loudest sample of the last slice, or of the
  // ones before it fading by an eighth a slice, never below kQuietPeak (so that hiss or
  // a fade-out is not drawn as loud as music).
  int Peak() const { return peak_; }
  static constexpr int kQuietPeak = 1024;

  // The segments of one drawing step, in drawing order: the middle line, then for each
  // column the erasure of the previous trace's segment followed by the new segment. The
  // scale is taken from the slice first.
  // frameStride is the number of samples per frame (the trace follows the first channel);
  // a slice of n frames draws min(n, width) − 1 columns, columns beyond keep their trace.
  std::vector<TraceSegment> Step(std::span<const int16_t> samples, int frameStride);

 private:
  int width_ = 0;
  int height_ = 0;
  int firstY_ = 0;
  int peak_ = kQuietPeak;
  std::vector<int> lastTrace_;  // the previous trace's y per column
};

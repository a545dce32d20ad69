// Tests of the visualization's drawing arithmetic.
#include "player/skin/oscilloscope_trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using Pen = TraceSegment::Pen;

std::vector<int16_t> Stereo(std::initializer_list<int16_t> left) {
  std::vector<int16_t> samples;
  for (int16_t s : left) {
    samples.push_back(s);
    samples.push_back(12345);  // the right channel is never drawn
  }
  return samples;
}

}  // namespace

// Catches a scale that is not linear, a positive half drawn downwards, full scale past
// the bottom row, and a quiet song drawn in the middle third of the area (a fixed
// full-scale scale) or as a square wave (a logarithmic one).
TEST(OscilloscopeTrace, TheLoudestSampleReachesTheEdgesOfTheArea) {
  OscilloscopeTrace trace;
  trace.SetArea(64, 100);
  trace.Step(Stereo({32767, -32768}), 2);
  EXPECT_EQ(trace.SampleY(0), 50);
  EXPECT_EQ(trace.SampleY(32767), 0);
  EXPECT_EQ(trace.SampleY(-32768), 99) << "the last row of the area";
  EXPECT_EQ(trace.SampleY(16384), 25);
  EXPECT_EQ(trace.SampleY(-16384), 75);
  // A song mastered 9 dB down: its peaks reach the edges, a sine spans every row.
  OscilloscopeTrace quiet;
  quiet.SetArea(64, 26);
  std::vector<int16_t> sine;
  for (int i = 0; i < 64; ++i) {
    sine.push_back(int16_t(std::lround(11600 * std::sin(i * 2 * M_PI / 64))));
    sine.push_back(0);
  }
  int top = 26, bottom = -1;
  for (const TraceSegment& s : quiet.Step(sine, 2))
    if (s.pen == Pen::Line && s.x0 != 0) {
      top = std::min({top, s.y0, s.y1});
      bottom = std::max({bottom, s.y0, s.y1});
    }
  EXPECT_LE(top, 1);
  EXPECT_GE(bottom, 24);
  // Hiss is not blown up to the edges; the scale comes back down after a loud part.
  OscilloscopeTrace hiss;
  hiss.SetArea(64, 100);
  hiss.Step(Stereo({40, -40, 40}), 2);
  EXPECT_GE(hiss.SampleY(40), 48);
  hiss.Step(Stereo({32767}), 2);
  for (int i = 0; i < 40; ++i) hiss.Step(Stereo({4000, -4000}), 2);
  EXPECT_EQ(hiss.Peak(), 4000);
  hiss.Forget();
  EXPECT_EQ(hiss.Peak(), OscilloscopeTrace::kQuietPeak);
}

// Catches a silent slice drawn off the middle line, a first column taken from frame 1
// twice, or a right channel that leaks into the trace.
TEST(OscilloscopeTrace, SilentSliceDrawsAFlatTraceOnTheMiddleLine) {
  OscilloscopeTrace trace;
  trace.SetArea(80, 40);
  std::vector<int16_t> silent(128, 0);
  const auto segments = trace.Step(silent, 2);
  ASSERT_EQ(segments.size(), 1u + 2u * 63u);
  EXPECT_EQ(segments[0], (TraceSegment{Pen::Line, 0, 20, 80, 20}));
  for (size_t i = 0; i < 63; ++i) {
    EXPECT_EQ(segments[1 + 2 * i].pen, Pen::Background);
    EXPECT_EQ(segments[2 + 2 * i], (TraceSegment{Pen::Line, int(i), 20, int(i) + 1, 20}));
  }
}

// Catches an erase that does not follow the previous trace exactly, a first point not
// remembered, or the columns of a slice counted wrong.
TEST(OscilloscopeTrace, EachStepErasesThePreviousTrace) {
  OscilloscopeTrace trace;
  trace.SetArea(10, 100);
  const auto first = trace.Step(Stereo({32767, -32767, 32767}), 2);
  ASSERT_EQ(first.size(), 5u);
  EXPECT_EQ(first[2], (TraceSegment{Pen::Line, 0, 0, 1, 99}));
  EXPECT_EQ(first[4], (TraceSegment{Pen::Line, 1, 99, 2, 0}));
  const auto second = trace.Step(Stereo({0, 0, 0, 0}), 2);
  ASSERT_EQ(second.size(), 7u);
  // Column 0 erases from the previous first point to the previous column-0 end, column 1
  // from there to the previous column-1 end, column 2 had no trace (the middle line).
  EXPECT_EQ(second[1], (TraceSegment{Pen::Background, 0, 0, 1, 99}));
  EXPECT_EQ(second[3], (TraceSegment{Pen::Background, 1, 99, 2, 0}));
  EXPECT_EQ(second[5], (TraceSegment{Pen::Background, 2, 0, 3, 50}));
  EXPECT_EQ(second[6], (TraceSegment{Pen::Line, 2, 50, 3, 50}));
}

// Catches a slice wider than the area drawn past its right edge, and a mono slice read
// with the stereo stride.
TEST(OscilloscopeTrace, ColumnsAreLimitedByTheAreaAndFollowTheStride) {
  OscilloscopeTrace trace;
  trace.SetArea(5, 20);
  std::vector<int16_t> wide(128, 100);
  EXPECT_EQ(trace.Step(wide, 2).size(), 1u + 2u * 4u);
  OscilloscopeTrace mono;
  mono.SetArea(64, 100);
  const auto segments = mono.Step(std::vector<int16_t>{0, 32767, -32767}, 1);
  ASSERT_EQ(segments.size(), 5u);
  EXPECT_EQ(segments[2], (TraceSegment{Pen::Line, 0, 50, 1, 0}));
  EXPECT_EQ(segments[4], (TraceSegment{Pen::Line, 1, 0, 2, 99}));
  EXPECT_TRUE(OscilloscopeTrace().Step(wide, 2).empty());
}

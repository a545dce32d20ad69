// Tests of the visualization's drawing arithmetic.
#include "player/skin/oscilloscope_trace.h"

#include <gtest/gtest.h>

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

// Catches a scale that is not logarithmic, a positive half drawn downwards, or full
// scale missing the edges.
TEST(OscilloscopeTrace, SampleRowsSpanTheAreaLogarithmically) {
  OscilloscopeTrace trace;
  trace.SetArea(64, 100);
  EXPECT_EQ(trace.SampleY(0), 50);
  EXPECT_EQ(trace.SampleY(1), 50);
  EXPECT_EQ(trace.SampleY(-1), 50);
  EXPECT_EQ(trace.SampleY(32767), 0);
  EXPECT_EQ(trace.SampleY(-32767), 100);
  EXPECT_EQ(trace.SampleY(-32768), 100);
  // ln(181) is half of ln(32767): a quiet sample is already half-way out.
  EXPECT_EQ(trace.SampleY(181), 25);
  EXPECT_EQ(trace.SampleY(-181), 74);
  OscilloscopeTrace odd;
  odd.SetArea(10, 31);
  EXPECT_EQ(odd.SampleY(32767), 0);
  EXPECT_EQ(odd.SampleY(-32768), 30);  // the last row
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
  EXPECT_EQ(first[2], (TraceSegment{Pen::Line, 0, 0, 1, 100}));
  EXPECT_EQ(first[4], (TraceSegment{Pen::Line, 1, 100, 2, 0}));
  const auto second = trace.Step(Stereo({0, 0, 0, 0}), 2);
  ASSERT_EQ(second.size(), 7u);
  // Column 0 erases from the previous first point to the previous column-0 end, column 1
  // from there to the previous column-1 end, column 2 had no trace (the middle line).
  EXPECT_EQ(second[1], (TraceSegment{Pen::Background, 0, 0, 1, 100}));
  EXPECT_EQ(second[3], (TraceSegment{Pen::Background, 1, 100, 2, 0}));
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
  EXPECT_EQ(segments[4], (TraceSegment{Pen::Line, 1, 0, 2, 100}));
  EXPECT_TRUE(OscilloscopeTrace().Step(wide, 2).empty());
}

// Tests of the windows and the filterbank: sequences, shapes, overlap-add, reconstruction.
#include "aaclib/aac_filterbank.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "aaclib/aac_windows.h"

namespace zbaac {
namespace {

// Catches KBD windows computed with the wrong alpha or normalization, sine windows with
// the wrong phase and falling halves that are not the rising ones reversed: first values
// as the standard lists them, power-complementary halves.
TEST(WindowsTest, ValuesAndPowerComplementarity) {
  const WindowTables& w = Windows();
  EXPECT_NEAR(w.longRise[1][0], 0.00029256154, 1e-10);
  EXPECT_NEAR(w.shortRise[1][0], 0.0000437957, 1e-10);
  EXPECT_NEAR(w.longRise[0][0], std::sin(M_PI / 2048 * 0.5), 1e-9);
  EXPECT_NEAR(w.shortRise[0][127], std::sin(M_PI / 256 * 127.5), 1e-7);
  for (int shape = 0; shape < 2; ++shape) {
    for (int i = 0; i < 1024; ++i) {
      const double a = w.longRise[shape][i], b = w.longRise[shape][1023 - i];
      ASSERT_NEAR(a * a + b * b, 1.0, 1e-6) << shape << " " << i;
    }
    for (int i = 0; i < 128; ++i) {
      const double a = w.shortRise[shape][i], b = w.shortRise[shape][127 - i];
      ASSERT_NEAR(a * a + b * b, 1.0, 1e-6);
    }
    const float* tr = w.Rise(WindowKind::kTransition, shape);
    EXPECT_EQ(tr[447], 0.0f);
    EXPECT_EQ(tr[448], w.shortRise[shape][0]);
    EXPECT_EQ(tr[576], 1.0f);
    for (const WindowKind kind : {WindowKind::kLong, WindowKind::kShort, WindowKind::kTransition}) {
      const int length = kind == WindowKind::kShort ? 128 : 1024;
      for (int i = 0; i < length; ++i) ASSERT_EQ(w.Fall(kind, shape)[i], w.Rise(kind, shape)[length - 1 - i]);
    }
  }
}

// Catches a wrong IMDCT phase, scale or window half: X[0] = 1 in ONLY_LONG with sine
// windows gives (2/2048) cos(2pi/2048 (n + 512.5) 0.5) times the window; the second
// half goes to the overlap.
TEST(FilterbankTest, SingleCoefficientLongBlock) {
  Filterbank fb;
  FilterbankChannel ch;
  std::vector<float> x(kFrameLength, 0.0f);
  x[0] = 1.0f;
  fb.Run(WindowSequence::OnlyLong, 0, x.data(), ch);
  for (int n = 0; n < 2048; n += 37) {
    const double window = n < 1024 ? std::sin(M_PI / 2048 * (n + 0.5)) : std::sin(M_PI / 2048 * (2047 - n + 0.5));
    const double expected = 2.0 / 2048 * std::cos(2 * M_PI / 2048 * (n + 512.5) * 0.5) * window;
    const float got = n < 1024 ? ch.TimeOut()[n] : ch.Overlap()[n - 1024];
    ASSERT_NEAR(got, expected, 1e-7) << n;
  }
}

// Catches a block whose first half uses the current instead of the previous shape: a KBD
// block after a sine block rises with the sine window and falls with the KBD window.
TEST(FilterbankTest, ShapeChangeUsesPreviousShapeForFirstHalf) {
  Filterbank fb;
  FilterbankChannel withChange, sineOnly, kbdOnly;
  std::vector<float> zero(kFrameLength, 0.0f), x(kFrameLength, 0.0f);
  x[3] = 500.0f;
  fb.Run(WindowSequence::OnlyLong, 0, zero.data(), withChange);
  fb.Run(WindowSequence::OnlyLong, 1, x.data(), withChange);
  sineOnly.previousShape = 0;
  fb.Run(WindowSequence::OnlyLong, 0, x.data(), sineOnly);
  kbdOnly.previousShape = 1;
  fb.Run(WindowSequence::OnlyLong, 1, x.data(), kbdOnly);
  for (int i = 0; i < 1024; i += 11) {
    ASSERT_FLOAT_EQ(withChange.TimeOut()[i], sineOnly.TimeOut()[i]) << i;
    ASSERT_FLOAT_EQ(withChange.Overlap()[i], kbdOnly.Overlap()[i]) << i;
  }
  EXPECT_EQ(withChange.previousShape, 1);
}

// Catches the buffer ring handing a block a buffer still in use: after every block,
// through long and short blocks, the history holds the output before the last, the last
// output, and the overlap, which a following silent long block puts out unchanged.
TEST(FilterbankTest, HistoryFollowsOutputsAndOverlap) {
  Filterbank fb;
  FilterbankChannel ch;
  std::vector<float> x(kFrameLength, 0.0f), zero(kFrameLength, 0.0f);
  x[7] = 2000.0f;
  x[300] = -700.0f;
  const WindowSequence order[] = {WindowSequence::OnlyLong, WindowSequence::LongStart, WindowSequence::EightShort,
                                  WindowSequence::EightShort, WindowSequence::LongStop, WindowSequence::OnlyLong};
  std::vector<float> previousOut(kFrameLength, 0.0f);
  for (WindowSequence seq : order) {
    fb.Run(seq, 0, x.data(), ch);
    const std::vector<float> out(ch.TimeOut(), ch.TimeOut() + kFrameLength);
    const std::vector<float> overlap(ch.Overlap(), ch.Overlap() + kFrameLength);
    for (int i = 0; i < kFrameLength; ++i) {
      ASSERT_EQ(ch.History(HistoryPart::OutputBeforeLast)[i], previousOut[i]) << i;
      ASSERT_EQ(ch.History(HistoryPart::LastOutput)[i], out[i]) << i;
      ASSERT_EQ(ch.History(HistoryPart::Overlap)[i], overlap[i]) << i;
    }
    FilterbankChannel copy = ch;
    fb.Run(WindowSequence::OnlyLong, 0, zero.data(), copy);
    for (int i = 0; i < kFrameLength; ++i) ASSERT_EQ(copy.TimeOut()[i], overlap[i]) << i;
    previousOut = out;
  }
}

// Windows then MDCT, then the filterbank: a signal comes back exactly (time-domain alias
// cancellation) through any legal sequence of window sequences and shapes. Catches faults
// in the transition windows, the short-window layout (offset 448) and the forward
// transform alike, and short-block output leaking into the flat part of LONG_STOP.
TEST(FilterbankTest, AnalysisThenSynthesisReconstructsSignal) {
  const WindowSequence order[] = {WindowSequence::OnlyLong,   WindowSequence::LongStart, WindowSequence::EightShort,
                                  WindowSequence::EightShort, WindowSequence::LongStop,  WindowSequence::OnlyLong,
                                  WindowSequence::OnlyLong};
  const int shapes[] = {0, 1, 1, 0, 1, 0, 1};
  const int blocks = 7;
  std::mt19937 rng(9);
  std::uniform_real_distribution<float> dist(-8000.0f, 8000.0f);
  std::vector<float> signal((blocks + 1) * kFrameLength);
  for (float& v : signal) v = dist(rng);

  Filterbank analysis, synthesis;
  FilterbankChannel ch;
  const WindowTables& w = Windows();
  int previousShape = 0;
  std::vector<float> coefs(kFrameLength), out;
  for (int b = 0; b < blocks; ++b) {
    const float* block = signal.data() + b * kFrameLength;  // spans 2048 samples
    if (order[b] == WindowSequence::EightShort) {
      Mdct shortMdct(256);
      for (int win = 0; win < 8; ++win) {
        shortMdct.ForwardWindowed(block + 448 + win * 128,
                                  w.Rise(WindowKind::kShort, win == 0 ? previousShape : shapes[b]),
                                  w.Fall(WindowKind::kShort, shapes[b]), coefs.data() + win * 128);
      }
    } else {
      analysis.ForwardLong(order[b], previousShape, shapes[b], block, coefs.data());
    }
    previousShape = shapes[b];
    synthesis.Run(order[b], shapes[b], coefs.data(), ch);
    out.insert(out.end(), ch.TimeOut(), ch.TimeOut() + kFrameLength);
  }
  // Block b's output covers signal[b*1024 .. b*1024+1024); block 0 lacks its overlap.
  for (int i = kFrameLength; i < blocks * kFrameLength; ++i) ASSERT_NEAR(out[i], signal[i], 0.05) << i;
}

}  // namespace
}  // namespace zbaac

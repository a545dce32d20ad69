// Filterbank of one channel: inverse transform, windowing and overlap-add per block, and
// the windowed forward transform that long-term prediction uses.
#include "aaclib/aac_filterbank.h"

#include <algorithm>
#include <cassert>

#include "aaclib/aac_windows.h"

namespace zbaac {

namespace {

constexpr int kShortStart = 448;  // (1024 - 128) / 2: where the eight short windows begin

// Window kinds of the first (rising) and second (falling) half of a long sequence.
WindowKind FirstHalf(WindowSequence sequence) {
  return sequence == WindowSequence::LongStop ? WindowKind::kTransition : WindowKind::kLong;
}
WindowKind SecondHalf(WindowSequence sequence) {
  return sequence == WindowSequence::LongStart ? WindowKind::kTransition : WindowKind::kLong;
}

// buf[0 .. 2n) *= rising half (first), falling half (second).
void ApplyWindow(float* buf, const float* rise, const float* fallRise, int n) {
  for (int i = 0; i < n; ++i) buf[i] *= rise[i];
  for (int i = 0; i < n; ++i) buf[n + i] *= fallRise[n - 1 - i];
}

}  // namespace

void FilterbankChannel::Reset() {
  overlap.fill(0.0f);
  timeOut.fill(0.0f);
  previousShape = 0;
}

Filterbank::Filterbank() : longMdct_(2 * kFrameLength), shortMdct_(2 * kShortWindowLength) {}

void Filterbank::Run(WindowSequence sequence, int shape, const float* spectrum, FilterbankChannel& channel) {
  const WindowTables& windows = Windows();
  shape &= 1;
  const int previous = channel.previousShape & 1;
  float* y = time_.data();
  float* overlap = channel.overlap.data();
  float* out = channel.timeOut.data();
  switch (sequence) {
    case WindowSequence::OnlyLong:
    case WindowSequence::LongStart:
    case WindowSequence::LongStop: {
      longMdct_.Inverse(spectrum, y);
      // Window and overlap-add in one pass per half.
      const float* rise = windows.Rise(FirstHalf(sequence), previous);
      const float* fall = windows.Rise(SecondHalf(sequence), shape);
      for (int i = 0; i < kFrameLength; ++i) out[i] = y[i] * rise[i] + overlap[i];
      for (int i = 0; i < kFrameLength; ++i) overlap[i] = y[kFrameLength + i] * fall[kFrameLength - 1 - i];
      break;
    }
    case WindowSequence::EightShort: {
      constexpr int n = kShortWindowLength;
      std::fill(overlap + kFrameLength, overlap + 2 * kFrameLength, 0.0f);
      for (int w = 0; w < kMaxWindows; ++w) {
        shortMdct_.Inverse(spectrum + w * n, y);
        ApplyWindow(y, windows.Rise(WindowKind::kShort, w == 0 ? previous : shape),
                    windows.Rise(WindowKind::kShort, shape), n);
        float* at = overlap + kShortStart + w * n;
        for (int i = 0; i < n; ++i) at[i] += y[i];
        std::copy(y + n, y + 2 * n, at + n);
      }
      std::copy(overlap, overlap + kFrameLength, out);
      std::copy(overlap + kFrameLength, overlap + 2 * kFrameLength, overlap);
      break;
    }
  }
  channel.previousShape = static_cast<std::uint8_t>(shape);
}

void Filterbank::ForwardLong(WindowSequence sequence, int previousShape, int shape, const float* samples,
                             float* coefs) {
  assert(sequence != WindowSequence::EightShort && "the forward transform serves long sequences only");
  const WindowTables& windows = Windows();
  std::copy(samples, samples + 2 * kFrameLength, windowed_.data());
  ApplyWindow(windowed_.data(), windows.Rise(FirstHalf(sequence), previousShape & 1),
              windows.Rise(SecondHalf(sequence), shape & 1), kFrameLength);
  longMdct_.Forward(windowed_.data(), coefs);
}

}  // namespace zbaac

// Filterbank of one channel: inverse transform, windowing and overlap-add per block, and
// the windowed forward transform that long-term prediction uses.
#include "aaclib/aac_filterbank.h"

#include <algorithm>
#include <cassert>

#include "aaclib/aac_windows.h"

namespace zbaac {

namespace {

constexpr int kShortStart = 448;  // (1024 - 128) / 2: where the eight short windows begin
constexpr int kSpare = 3;

// Window kinds of the first (rising) and second (falling) half of a long sequence.
WindowKind FirstHalf(WindowSequence sequence) {
  return sequence == WindowSequence::LongStop ? WindowKind::kTransition : WindowKind::kLong;
}
WindowKind SecondHalf(WindowSequence sequence) {
  return sequence == WindowSequence::LongStart ? WindowKind::kTransition : WindowKind::kLong;
}

}  // namespace

void FilterbankChannel::Reset() {
  for (auto& buffer : buffers_) buffer.fill(0.0f);
  ring_ = {0, 1, 2, 3};
  previousShape = 0;
}

Filterbank::Filterbank() : longMdct_(2 * kFrameLength), shortMdct_(2 * kShortWindowLength) {}

void Filterbank::Run(WindowSequence sequence, int shape, const float* spectrum, FilterbankChannel& channel) {
  const WindowTables& windows = Windows();
  shape &= 1;
  const int previous = channel.previousShape & 1;
  auto& ring = channel.ring_;
  const float* overlap = channel.buffers_[ring[static_cast<int>(HistoryPart::Overlap)]].data();
  // The output goes to the spare buffer, the new overlap over the output two blocks back.
  float* out = channel.buffers_[ring[kSpare]].data();
  float* nextOverlap = channel.buffers_[ring[static_cast<int>(HistoryPart::OutputBeforeLast)]].data();
  switch (sequence) {
    case WindowSequence::OnlyLong:
    case WindowSequence::LongStart:
    case WindowSequence::LongStop:
      longMdct_.InverseWindowed(spectrum, windows.Rise(FirstHalf(sequence), previous),
                                windows.Fall(SecondHalf(sequence), shape), overlap, out, nextOverlap);
      break;
    case WindowSequence::EightShort: {
      constexpr int n = kShortWindowLength;
      // Window w adds its first half to the second half of window w - 1 (none before the
      // first) and leaves its own second half for window w + 1.
      float* span = shortSpan_.data();
      shortTail_[0].fill(0.0f);
      for (int w = 0; w < kMaxWindows; ++w) {
        shortMdct_.InverseWindowed(spectrum + w * n, windows.Rise(WindowKind::kShort, w == 0 ? previous : shape),
                                   windows.Fall(WindowKind::kShort, shape), shortTail_[w & 1].data(), span + w * n,
                                   shortTail_[(w + 1) & 1].data());
      }
      std::copy(shortTail_[kMaxWindows & 1].begin(), shortTail_[kMaxWindows & 1].end(), span + kMaxWindows * n);
      // Before the first window the previous overlap stands alone; the first window adds
      // to it; from the first window's second half on the windows replace it (where a
      // short block may follow, the previous block's overlap is zero there).
      constexpr int firstEnd = kShortStart + n;
      constexpr int spanEnd = kShortStart + 9 * n;  // 1600
      std::copy(overlap, overlap + kShortStart, out);
      for (int i = kShortStart; i < firstEnd; ++i) out[i] = overlap[i] + span[i - kShortStart];
      std::copy(span + n, span + (kFrameLength - kShortStart), out + firstEnd);
      std::copy(span + (kFrameLength - kShortStart), span + 9 * n, nextOverlap);
      std::fill(nextOverlap + (spanEnd - kFrameLength), nextOverlap + kFrameLength, 0.0f);
      break;
    }
  }
  // The ring turns: the last output becomes the one before, the new output the last,
  // the new overlap the overlap, the old overlap the spare.
  ring = {ring[static_cast<int>(HistoryPart::LastOutput)], ring[kSpare],
          ring[static_cast<int>(HistoryPart::OutputBeforeLast)], ring[static_cast<int>(HistoryPart::Overlap)]};
  channel.previousShape = static_cast<std::uint8_t>(shape);
}

void Filterbank::ForwardLong(WindowSequence sequence, int previousShape, int shape, const float* samples,
                             float* coefs) {
  assert(sequence != WindowSequence::EightShort && "the forward transform serves long sequences only");
  const WindowTables& windows = Windows();
  longMdct_.ForwardWindowed(samples, windows.Rise(FirstHalf(sequence), previousShape & 1),
                            windows.Fall(SecondHalf(sequence), shape & 1), coefs);
}

}  // namespace zbaac

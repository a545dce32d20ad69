// Filterbank of one channel: inverse transform, windowing and overlap-add per block, and
// the windowed forward transform that long-term prediction uses.
#pragma once

#include <array>
#include <cstdint>

#include "aaclib/aac_mdct.h"
#include "aaclib/aac_syntax.h"

namespace zbaac {

// Which of a channel's recent time signals a history part holds.
enum class HistoryPart : std::uint8_t {
  OutputBeforeLast = 0,  // the output two blocks back
  LastOutput = 1,        // the last block's output
  Overlap = 2,           // the windowed second half of the last inverse transform
};

// What one channel carries from block to block: its last two outputs and the part of the
// last inverse transform that the next block overlaps, 1024 samples each, in a ring of
// four buffers. A block writes its output and its overlap into the two buffers it no
// longer needs and the ring turns, so nothing is copied; long-term prediction reads the
// three parts where they lie.
class FilterbankChannel {
 public:
  FilterbankChannel() { Reset(); }

  // This block's output, at 16-bit scale (1024 samples).
  const float* TimeOut() const { return History(HistoryPart::LastOutput); }
  // What the next block adds to its first half (1024 samples).
  const float* Overlap() const { return History(HistoryPart::Overlap); }
  const float* History(HistoryPart part) const { return buffers_[ring_[static_cast<int>(part)]].data(); }
  // For setting up a history directly (tests).
  float* History(HistoryPart part) { return buffers_[ring_[static_cast<int>(part)]].data(); }

  std::uint8_t previousShape = 0;  // window shape of the channel's last block

  void Reset();

 private:
  friend class Filterbank;
  // Slot 3 is the spare buffer.
  std::array<std::uint8_t, 4> ring_{};
  std::array<std::array<float, kFrameLength>, 4> buffers_{};
};

// The transforms and scratch space shared by the channels (one block at a time).
class Filterbank {
 public:
  Filterbank();

  // Turns `spectrum` (1024 coefficients; for EIGHT_SHORT eight windows of 128) into the
  // channel's next output, overlapping with the previous block, then makes `shape` the
  // channel's previous shape. Short windows are laid from offset 448 of the overlap.
  void Run(WindowSequence sequence, int shape, const float* spectrum, FilterbankChannel& channel);

  // Windows 2048 time samples for a long sequence (rising half by `previousShape`, falling
  // half by `shape`) and transforms them into 1024 MDCT coefficients. EIGHT_SHORT is not a
  // valid sequence here. Changes no channel state.
  void ForwardLong(WindowSequence sequence, int previousShape, int shape, const float* samples,
                   float* coefs);

 private:
  Mdct longMdct_;
  Mdct shortMdct_;
  // The eight short windows laid end to end from offset 448 (the second half of the last
  // one included), and the second halves that the next window overlaps.
  std::array<float, 9 * kShortWindowLength> shortSpan_{};
  std::array<std::array<float, kShortWindowLength>, 2> shortTail_{};
};

}  // namespace zbaac

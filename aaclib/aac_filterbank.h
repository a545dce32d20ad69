// Filterbank of one channel: inverse transform, windowing and overlap-add per block, and
// the windowed forward transform that long-term prediction uses.
#pragma once

#include <array>
#include <cstdint>

#include "aaclib/aac_mdct.h"
#include "aaclib/aac_syntax.h"

namespace zbaac {

// What one channel carries from block to block.
struct FilterbankChannel {
  std::array<float, 2 * kFrameLength> overlap{};  // lower half: added to the next block's output
  std::uint8_t previousShape = 0;                  // window shape of the channel's last block
  std::array<float, kFrameLength> timeOut{};       // this block's output, at 16-bit scale

  void Reset();
};

// The transforms and scratch space shared by the channels (one block at a time).
class Filterbank {
 public:
  Filterbank();

  // Turns `spectrum` (1024 coefficients; for EIGHT_SHORT eight windows of 128) into
  // channel.timeOut, overlapping with the previous block, then makes `shape` the channel's
  // previous shape. Short windows are laid from offset 448 of the overlap.
  void Run(WindowSequence sequence, int shape, const float* spectrum, FilterbankChannel& channel);

  // Windows 2048 time samples for a long sequence (rising half by `previousShape`, falling
  // half by `shape`) and transforms them into 1024 MDCT coefficients. EIGHT_SHORT is not a
  // valid sequence here. Changes no channel state.
  void ForwardLong(WindowSequence sequence, int previousShape, int shape, const float* samples,
                   float* coefs);

 private:
  Mdct longMdct_;
  Mdct shortMdct_;
  std::array<float, 2 * kFrameLength> time_{};
  std::array<float, 2 * kFrameLength> windowed_{};
};

}  // namespace zbaac

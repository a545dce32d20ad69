// Scalefactor band layouts of a frame, per sampling-frequency index and window sequence.
#pragma once

#include <array>
#include <cstdint>

#include "aaclib/aac_syntax.h"

namespace zbaac {

struct BandLayout {
  bool isLong = true;
  int windowCount = 1;          // 1 long, 8 short
  int windowLength = 1024;      // 1024 long, 128 short
  int bandCount = 0;            // bands per window
  int sectionBits = 5;          // width of a section length field: 5 long, 3 short
  std::array<std::uint16_t, kMaxBands + 1> swbOffset{};  // band starts within a window; [bandCount] = windowLength
};

// The layout of `samplingIndex` (0 .. 11; other values are clamped to 11, the rate
// with the widest bands) for the given window sequence: EIGHT_SHORT uses the short layout,
// the three long sequences the long one.
const BandLayout& LayoutFor(int samplingIndex, WindowSequence sequence);
const BandLayout& LongLayout(int samplingIndex);
const BandLayout& ShortLayout(int samplingIndex);

}  // namespace zbaac

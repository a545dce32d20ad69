// Band layouts derived at compile time from the standard's band tables.
#include "aaclib/band_layout.h"

#include "aaclib/aac_tables_bands.h"

namespace zbaac {
namespace {

constexpr BandLayout MakeLayout(int samplingIndex, bool isLong) {
  BandLayout layout;
  layout.isLong = isLong;
  layout.windowCount = isLong ? 1 : 8;
  layout.windowLength = isLong ? kFrameLength : kShortWindowLength;
  layout.bandCount = isLong ? kNumSwbLong[samplingIndex] : kNumSwbShort[samplingIndex];
  layout.sectionBits = isLong ? 5 : 3;
  for (int b = 0; b <= layout.bandCount; ++b) {
    layout.swbOffset[b] = isLong ? kSwbOffsetLong[samplingIndex][b] : kSwbOffsetShort[samplingIndex][b];
  }
  return layout;
}

template <bool IsLong>
constexpr std::array<BandLayout, kSamplingIndexCount> MakeLayouts() {
  std::array<BandLayout, kSamplingIndexCount> all{};
  for (int i = 0; i < kSamplingIndexCount; ++i) all[i] = MakeLayout(i, IsLong);
  return all;
}

constexpr auto kLongLayouts = MakeLayouts<true>();
constexpr auto kShortLayouts = MakeLayouts<false>();

static_assert(kLongLayouts[4].bandCount == 49 && kLongLayouts[4].swbOffset[49] == 1024);
static_assert(kShortLayouts[4].bandCount == 14 && kShortLayouts[4].swbOffset[14] == 128);

int ClampIndex(int samplingIndex) {
  if (samplingIndex < 0) return 0;
  return samplingIndex >= kSamplingIndexCount ? kSamplingIndexCount - 1 : samplingIndex;
}

}  // namespace

const BandLayout& LongLayout(int samplingIndex) { return kLongLayouts[ClampIndex(samplingIndex)]; }
const BandLayout& ShortLayout(int samplingIndex) { return kShortLayouts[ClampIndex(samplingIndex)]; }

const BandLayout& LayoutFor(int samplingIndex, WindowSequence sequence) {
  return sequence == WindowSequence::EightShort ? ShortLayout(samplingIndex) : LongLayout(samplingIndex);
}

}  // namespace zbaac

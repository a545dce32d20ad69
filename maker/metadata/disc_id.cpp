// The CDDB disc ID.
#include "maker/metadata/disc_id.h"

namespace {

unsigned DigitSum(unsigned value) {
  unsigned sum = 0;
  for (; value > 0; value /= 10) sum += value % 10;
  return sum;
}

}  // namespace

bool DiscLayout::Valid() const {
  if (trackCount < 1 || trackCount > 99) return false;
  if (startSectors.size() != static_cast<std::size_t>(trackCount) + 1) return false;
  if (startSectors[0] < 0) return false;
  for (std::size_t k = 1; k < startSectors.size(); ++k) {
    if (startSectors[k] <= startSectors[k - 1]) return false;
  }
  return true;
}

int DiscLayout::LengthSeconds() const {
  return static_cast<int>(startSectors[static_cast<std::size_t>(trackCount)] / 75 + 2);
}

DiscLayout DiscLayoutFromTrackTable(const TrackTable& table) {
  DiscLayout disc;
  disc.trackCount = table.trackCount;
  if (table.trackCount < 1 || table.trackCount > kCdMaxTracks) return disc;
  for (int k = 1; k <= table.trackCount + 1; ++k) {
    disc.startSectors.push_back(table.start[static_cast<std::size_t>(k)]);
  }
  return disc;
}

std::uint32_t DiscId(const DiscLayout& disc) {
  if (!disc.Valid()) return 0;
  const auto& start = disc.startSectors;
  unsigned total = 0;
  for (int k = 0; k < disc.trackCount; ++k) {
    total += DigitSum(static_cast<unsigned>(start[static_cast<std::size_t>(k)] / 75 + 2));
  }
  const auto leadOut = static_cast<std::uint32_t>(start[static_cast<std::size_t>(disc.trackCount)]);
  const auto first = static_cast<std::uint32_t>(start[0]);
  const std::uint32_t seconds = (leadOut - first) / 75;
  return ((total % 255) << 24) | (seconds << 8) | static_cast<std::uint32_t>(disc.trackCount);
}

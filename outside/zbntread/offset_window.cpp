// The disc range of a track read with a read offset.
#include "outside/zbntread/offset_window.h"

#include <algorithm>

#include "cdaccess/track_table.h"

OffsetWindow PlanOffsetRead(int32_t first, int32_t end, int32_t offset, int32_t leadOut) {
  OffsetWindow window;
  const int64_t trackFrames = int64_t{std::max(end - first, 0)} * kCdFramesPerSector;
  const int64_t trackStart = int64_t{first} * kCdFramesPerSector + offset;
  const int64_t discEnd = int64_t{std::max(leadOut, 0)} * kCdFramesPerSector;
  const int64_t readStart = std::clamp<int64_t>(trackStart, 0, discEnd);
  const int64_t readEnd = std::clamp<int64_t>(trackStart + trackFrames, readStart, discEnd);
  window.silenceBefore = std::clamp<int64_t>(readStart - trackStart, 0, trackFrames);
  window.readFrames = std::max<int64_t>(readEnd - std::max(readStart, trackStart), 0);
  window.silenceAfter = trackFrames - window.silenceBefore - window.readFrames;
  if (window.readFrames == 0) {
    window.firstSector = window.endSector = static_cast<int32_t>(readStart / kCdFramesPerSector);
    return window;
  }
  window.firstSector = static_cast<int32_t>(readStart / kCdFramesPerSector);
  window.endSector = static_cast<int32_t>((readEnd + kCdFramesPerSector - 1) / kCdFramesPerSector);
  window.skipFrames = readStart - int64_t{window.firstSector} * kCdFramesPerSector;
  return window;
}

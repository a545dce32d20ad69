// Fitting stored window geometry to the screen.
#include "common/window_rect.h"

#include <algorithm>
#include <cstdint>

namespace {

// The length fitted between the minimum and the screen's length (the screen wins).
int64_t FitLength(int64_t length, int64_t minimum, int64_t screen) {
  return std::max<int64_t>(std::min(std::max(length, minimum), screen), 1);
}

// The start moved into [screenStart, screenStart + screenLength - length].
int64_t FitStart(int64_t start, int64_t length, int64_t screenStart, int64_t screenLength) {
  return std::clamp(start, screenStart, std::max(screenStart, screenStart + screenLength - length));
}

}  // namespace

WindowRect FitToScreen(const WindowRect& window, const WindowRect& screen, int minWidth, int minHeight) {
  const int64_t screenWidth = std::max(screen.width, 1), screenHeight = std::max(screen.height, 1);
  const int64_t width = FitLength(window.width, minWidth, screenWidth);
  const int64_t height = FitLength(window.height, minHeight, screenHeight);
  WindowRect fitted;
  fitted.width = static_cast<int>(width);
  fitted.height = static_cast<int>(height);
  fitted.left = static_cast<int>(FitStart(window.left, width, screen.left, screenWidth));
  fitted.top = static_cast<int>(FitStart(window.top, height, screen.top, screenHeight));
  return fitted;
}

// A window's place and size on the screen, in pixels, and stored geometry fitted to the
// screen: a stale value (a screen that got smaller) or a hostile one (a width of 100000, a
// place far off screen) can neither make a huge window nor put one where nobody sees it.
#pragma once

struct WindowRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const WindowRect&) const = default;
};

// The window's size shrunk to the screen's where it is larger (never below minWidth ×
// minHeight unless the screen itself is smaller), then its place moved the least that puts
// the whole window on the screen. Any int values are taken, INT_MIN and INT_MAX included.
WindowRect FitToScreen(const WindowRect& window, const WindowRect& screen, int minWidth = 1, int minHeight = 1);

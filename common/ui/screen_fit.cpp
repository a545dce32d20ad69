// Window geometry fitted to the screen through Qt's screens.
#include "common/ui/screen_fit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <climits>

namespace {

// The available area of the screen at `at` (the primary one when the place is on none).
QRect ScreenAround(QPoint at) {
  QScreen* screen = QGuiApplication::screenAt(at);
  if (!screen) screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect();
}

}  // namespace

WindowRect FitToItsScreen(const WindowRect& window, int minWidth, int minHeight) {
  // The centre in 64 bits: a hostile place near the ends of the int range must not overflow.
  const auto centre = [](int start, int length) {
    const long long middle = static_cast<long long>(start) + length / 2;
    return static_cast<int>(std::clamp<long long>(middle, INT_MIN, INT_MAX));
  };
  const QRect screen = ScreenAround(QPoint(centre(window.left, window.width), centre(window.top, window.height)));
  if (screen.isEmpty()) return window;
  return FitToScreen(window, {screen.x(), screen.y(), screen.width(), screen.height()}, minWidth, minHeight);
}

void FitWindowToScreen(QWidget* window, bool resizable) {
  const QRect frame = window->geometry();
  const WindowRect fitted = FitToItsScreen({frame.x(), frame.y(), frame.width(), frame.height()});
  if (resizable && (fitted.width != frame.width() || fitted.height != frame.height()))
    window->resize(fitted.width, fitted.height);
  if (fitted.left != frame.x() || fitted.top != frame.y()) window->move(fitted.left, fitted.top);
}

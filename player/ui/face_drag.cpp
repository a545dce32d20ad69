// FaceDrag: a move starts only after the pointer has moved with the button held.
#include "player/ui/face_drag.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

FaceDrag::FaceDrag(QWidget* window) : window_(window) {
  startSystemMove = [this] { return window_->windowHandle() && window_->windowHandle()->startSystemMove(); };
}

void FaceDrag::Press(QPoint global) {
  pressed_ = true;
  following_ = false;
  pressAt_ = global;
  grab_ = global - window_->frameGeometry().topLeft();
}

QPoint FaceDrag::Move(QPoint global, bool leftHeld) {
  if (!leftHeld) {
    Release();
    return {};
  }
  if (!pressed_) return {};
  if (!following_) {
    // Still a click: the pointer has not left the press point by the drag distance.
    if ((global - pressAt_).manhattanLength() < QApplication::startDragDistance()) return {};
    // The desktop moves the window where it can (on Wayland that is the only way). It
    // is asked only now, with the button known to be down: asked at the press, a
    // window manager that grabs the pointer after a quick release already happened
    // stays in its move mode and the window follows the pointer with no button held.
    if (startSystemMove && startSystemMove()) {
      pressed_ = false;
      return {};
    }
    following_ = true;
  }
  const QPoint to = global - grab_;
  const QPoint delta = to - window_->frameGeometry().topLeft();
  if (delta.isNull()) return {};
  window_->move(window_->pos() + delta);
  return delta;
}

void FaceDrag::Release() {
  pressed_ = false;
  following_ = false;
}

// FaceDrag: moving a frameless skinned window by its face. A press alone never starts a
// move: only once the pointer has travelled the platform's drag distance with the button
// held is the move handed to the desktop (or, where the desktop offers none, followed by
// the window itself). A quick click on the face therefore never leaves the desktop's
// move mode running after the button is up.
#pragma once

#include <QPoint>
#include <functional>

class QWidget;

class FaceDrag {
 public:
  explicit FaceDrag(QWidget* window);

  // A left press on the face, at a global position.
  void Press(QPoint global);
  // The pointer moved (global), leftHeld whether the left button is still down (a move
  // without it ends the drag, as a release that went elsewhere). Returns how far the
  // window moved itself; null when it did not.
  QPoint Move(QPoint global, bool leftHeld);
  void Release();

  // True while the window follows the pointer itself.
  bool Following() const { return following_; }
  // True between a press and its release (or the desktop taking the move over).
  bool Pressed() const { return pressed_; }

  // Hands the move to the desktop; true when it took it. Defaults to the window's
  // QWindow::startSystemMove (refused on an X server without a window manager and on the
  // offscreen platform). Tests replace it.
  std::function<bool()> startSystemMove;

 private:
  QWidget* window_;
  bool pressed_ = false;
  bool following_ = false;
  QPoint pressAt_;
  QPoint grab_;  // the pointer's offset from the window's top left corner
};

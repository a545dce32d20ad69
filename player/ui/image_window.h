// TImageWindow: the face of a skinned window. Fills its owner with band 0 of the bitmap,
// sizes the owner to one band and cuts the owner to the shape of the mask band.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

class TImageWindow : public QWidget {
  Q_OBJECT
 public:
  explicit TImageWindow(QWidget* owner);

  // Clears the owner's shape, takes the bitmap (a null image leaves the face empty),
  // resizes the owner to the bitmap's width and one band's height and, with more than one
  // band, gives it the shape of band 1. bandCount below 1 counts as 1.
  void Load(const QImage& bitmap, int bandCount);

  const QImage& Bitmap() const { return bitmap_; }
  const QImage& Face() const { return face_; }

  // Bound by the owner, for dragging the window by its face (positions are global;
  // leftHeld tells whether the left button is still down during the move).
  std::function<void(QPoint global)> onPress;
  std::function<void(QPoint global, bool leftHeld)> onMove;
  std::function<void(QPoint global)> onRelease;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QImage bitmap_;
  QImage face_;
};

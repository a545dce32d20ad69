// TImageWindow: face, size and shape of a skinned window.
#include "player/ui/image_window.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "player/skin/window_shape.h"
#include "player/ui/skin_image.h"

TImageWindow::TImageWindow(QWidget* owner) : QWidget(owner) {}

void TImageWindow::Load(const QImage& bitmap, int bandCount) {
  QWidget* owner = parentWidget();
  owner->clearMask();
  bitmap_ = bitmap.convertToFormat(QImage::Format_RGB32);
  const BandLayout bands(bitmap_.width(), bitmap_.height(), bandCount);
  face_ = CutImage(bitmap_, {0, 0, bands.Width(), bands.BandHeight()});
  const QSize size(bands.Width(), bands.BandHeight());
  owner->setFixedSize(size);
  setGeometry(QRect(QPoint(0, 0), size));
  lower();
  update();
  if (bands.BandCount() == 1 || bitmap_.isNull()) return;
  const QRegion region = ToRegion(BuildWindowShape(PixelsOf(bitmap_), bands));
  // An empty region would mean "no mask" to Qt; a window whose mask band has no black
  // pixel is meant to show nothing, so it gets a region outside itself.
  owner->setMask(region.isEmpty() ? QRegion(-1, -1, 1, 1) : region);
}

void TImageWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawSkinImage(painter, rect(), face_);
}

void TImageWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && onPress) onPress(event->globalPosition().toPoint());
}

void TImageWindow::mouseMoveEvent(QMouseEvent* event) {
  if (onMove) onMove(event->globalPosition().toPoint(), (event->buttons() & Qt::LeftButton) != 0);
}

void TImageWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && onRelease) onRelease(event->globalPosition().toPoint());
}

// TGSlider: vertical dragging with the travel limits.
#include "player/ui/gslider.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "player/ui/skin_image.h"

int DraggedKnobTop(int currentTop, int moved, int maxTop) {
  int top = currentTop + moved;
  if (top < 0) top = 0;
  if (top >= maxTop) top = std::max(maxTop - 1, 0);
  return top;
}

TGSlider::TGSlider(QWidget* parent) : QWidget(parent) {
  resize(10, 15);
  setAutoFillBackground(true);
  QPalette blue = palette();
  blue.setColor(QPalette::Window, Qt::blue);
  setPalette(blue);
}

void TGSlider::SetImages(const QImage& normal, const QImage& pressed) {
  normal_ = normal;
  pressed_ = pressed;
  update();
}

void TGSlider::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawSkinImage(painter, rect(), dragging_ ? pressed_ : normal_);
}

void TGSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || dragging_) return;
  dragging_ = true;
  grabOffset_ = event->position().toPoint().y();
  update();
}

void TGSlider::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  const int top = DraggedKnobTop(y(), event->position().toPoint().y() - grabOffset_, maxTop_);
  move(x(), top);
  Q_EMIT Changed();
}

void TGSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging_) return;
  dragging_ = false;
  update();
}

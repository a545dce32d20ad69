// TGPositionSlider: the knob follows playback, and the pointer while the user holds it.
#include "player/ui/gposition_slider.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "player/ui/skin_image.h"

TGPositionSlider::TGPositionSlider(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("position"));
  setToolTip(QStringLiteral("Position"));
  hide();
  setEnabled(false);
}

void TGPositionSlider::Skin(const std::optional<SkinRect>& place, const SkinKnobSource& knob, const QImage& bitmap,
                            const BandLayout& bands) {
  hide();
  dragging_ = false;
  knobOffset_ = 0;
  range_ = 0;
  setEnabled(false);
  if (!place) return;
  geometry_ = CutPositionSlider(*place, knob, bands);
  setGeometry(ToQRect(geometry_.place));
  background_ = CutImage(bitmap, geometry_.background);
  knob_ = CutImage(bitmap, geometry_.knob);
  update();
  show();
}

void TGPositionSlider::ShowPosition(uint32_t position, uint32_t range) {
  range_ = range;
  setEnabled(range > 0);
  if (range == 0) dragging_ = false;
  if (dragging_) return;
  MoveKnob(KnobOffsetOf(position, range, geometry_.travel));
}

void TGPositionSlider::MoveKnob(int offset) {
  offset = std::clamp(offset, 0, geometry_.travel);
  if (offset == knobOffset_) return;
  knobOffset_ = offset;
  update();
}

void TGPositionSlider::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawSkinImage(painter, rect(), background_);
  if (!isEnabled()) return;  // nothing to seek in: the bare track
  const QRect knob(knobOffset_, geometry_.knobTop, geometry_.knob.width, geometry_.knob.height);
  DrawSkinImage(painter, knob, knob_);
}

void TGPositionSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || range_ == 0) return;
  const int x = event->position().toPoint().x();
  const int knobWidth = geometry_.knob.width;
  // On the knob it is taken where it was gripped; elsewhere on the track it jumps there,
  // centred under the pointer, and can be dragged on from there.
  if (x >= knobOffset_ && x < knobOffset_ + knobWidth)
    grabOffset_ = x - knobOffset_;
  else
    grabOffset_ = knobWidth / 2;
  dragging_ = true;
  MoveKnob(x - grabOffset_);
}

void TGPositionSlider::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  MoveKnob(event->position().toPoint().x() - grabOffset_);
}

void TGPositionSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging_) return;
  dragging_ = false;
  if (range_ > 0) Q_EMIT PositionChosen(PositionOfKnob(knobOffset_, geometry_.travel, range_));
}

// TGVTrack: track background, knob placement and position.
#include "player/ui/gvtrack.h"

#include <QPainter>
#include <algorithm>

#include "player/ui/gslider.h"
#include "player/ui/skin_image.h"

TGVTrack::TGVTrack(QWidget* parent) : QWidget(parent), knob_(new TGSlider(this)) {
  resize(width(), 30);
  knob_->setGeometry(0, 0, 10, 10);
  knob_->SetMaxTop(20);
  connect(knob_, &TGSlider::Changed, this, [this] { Q_EMIT Changed(this); });
}

void TGVTrack::Skin(const TrackGeometry& geometry, const QImage& bitmap, const QString& hint) {
  knob_->setToolTip(hint);
  knob_->resize(geometry.knob.width, geometry.knob.height);
  setGeometry(ToQRect(geometry.place));
  knob_->SetMaxTop(geometry.maxTop);
  const QImage knobImage = CutImage(bitmap, geometry.knob);
  knob_->SetImages(knobImage, knobImage);
  background_ = CutImage(bitmap, geometry.background);
  SetPosition(Position());
  update();
}

int TGVTrack::Range() const { return height() - knob_->height(); }

int TGVTrack::Position() const { return knob_->y(); }

void TGVTrack::SetPosition(int position) {
  knob_->move(0, std::clamp(position, 0, std::max(Range(), 0)));
}

void TGVTrack::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawSkinImage(painter, rect(), background_);
}

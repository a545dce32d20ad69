// TMarqueeLabel: scrolling a text wider than its field.
#include "player/ui/marquee_label.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

TMarqueeLabel::TMarqueeLabel(QWidget* parent) : QLabel(parent) {
  timer_.setInterval(kStepMs);
  connect(&timer_, &QTimer::timeout, this, &TMarqueeLabel::Step);
}

void TMarqueeLabel::Measure() {
  if (measured_ != text()) {
    // A new text starts at its beginning, with the rest first.
    measured_ = text();
    offset_ = 0;
    rest_ = kRestSteps;
  }
  textWidth_ = QFontMetrics(font()).horizontalAdvance(measured_);
  if (Scrolling() && isVisible())
    timer_.start();
  else
    timer_.stop();
  if (!Scrolling()) offset_ = 0;
}

void TMarqueeLabel::Step() {
  if (!Scrolling()) return;
  if (rest_ > 0) {
    --rest_;
    return;
  }
  offset_ = (offset_ + 1) % (textWidth_ + kGapPixels);
  if (offset_ == 0) rest_ = kRestSteps;
  update();
}

bool TMarqueeLabel::event(QEvent* event) {
  const bool handled = QLabel::event(event);
  switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::FontChange:
      Measure();
      break;
    default:
      // setText ends in an update; the text is measured again when it changed.
      if (measured_ != text()) Measure();
      break;
  }
  return handled;
}

void TMarqueeLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Measure();
}

void TMarqueeLabel::paintEvent(QPaintEvent* event) {
  if (measured_ != text()) Measure();
  if (!Scrolling()) {
    QLabel::paintEvent(event);
    return;
  }
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  painter.setFont(font());
  const QRect area = contentsRect();
  const int baseline = area.top() + (area.height() + QFontMetrics(font()).ascent() - QFontMetrics(font()).descent()) / 2;
  // The text, and its next round following after the gap.
  painter.drawText(area.left() - offset_, baseline, measured_);
  painter.drawText(area.left() - offset_ + textWidth_ + kGapPixels, baseline, measured_);
}

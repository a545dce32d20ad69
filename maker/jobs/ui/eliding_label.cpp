// A one-line label that leaves out the middle of a text too long for it.
#include "maker/jobs/ui/eliding_label.h"

#include <QFontMetrics>
#include <QResizeEvent>

ElidingLabel::ElidingLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setMinimumWidth(1);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidingLabel::SetFullText(const QString& text) {
  if (text == fullText_ && !text.isEmpty()) return;
  fullText_ = text;
  Elide();
}

QSize ElidingLabel::minimumSizeHint() const { return QSize(1, QLabel::minimumSizeHint().height()); }

void ElidingLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Elide();
}

void ElidingLabel::Elide() {
  const int room = contentsRect().width() - 2 * margin();
  const QString shown = fontMetrics().elidedText(fullText_, Qt::ElideMiddle, std::max(room, 1));
  setText(shown);
  setToolTip(shown == fullText_ ? QString() : fullText_);
}

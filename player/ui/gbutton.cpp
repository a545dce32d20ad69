// TGButton: image states for hover and press, click on release inside.
#include "player/ui/gbutton.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>

#include "player/ui/skin_image.h"

TGButton::TGButton(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_Hover, false);
  hide();
  setEnabled(false);
}

void TGButton::Skin(const std::optional<SkinRect>& place, const QImage& bitmap, const BandLayout& bands,
                    bool hasPressedImage, const QString& hint) {
  hide();
  setEnabled(false);
  setToolTip(hint);
  pressed_ = false;
  hover_ = false;
  if (!place) return;
  setGeometry(ToQRect(*place));
  const ButtonImageSources sources = CutButton(*place, bands, hasPressedImage);
  over_ = CutImage(bitmap, sources.over);
  pressedImage_ = CutImage(bitmap, sources.pressed);
  away_ = CutImage(bitmap, sources.away);
  setEnabled(true);
  show();
  update();
}

TGButton::Look TGButton::ShownLook() const {
  if (pressed_) return Look::Pressed;
  return hover_ ? Look::Over : Look::Away;
}

const QImage& TGButton::Image(Look look) const {
  switch (look) {
    case Look::Over:
      return over_;
    case Look::Pressed:
      return pressedImage_;
    case Look::Away:
      return away_;
  }
  return away_;
}

void TGButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawSkinImage(painter, rect(), Image(ShownLook()));
}

void TGButton::enterEvent(QEnterEvent*) {
  if (hover_) return;
  hover_ = true;
  update();
}

void TGButton::leaveEvent(QEvent*) {
  if (!hover_) return;
  hover_ = false;
  update();
}

void TGButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressed_ = true;
  update();
}

void TGButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return;
  pressed_ = false;
  // While the button is held the pointer is grabbed and the leave notice comes only after
  // the release, so whether the pointer is still over the button is decided here.
  const bool inside = rect().contains(event->position().toPoint());
  hover_ = inside;
  update();
  if (inside) Q_EMIT Clicked();
}

bool TGButton::eventFilter(QObject* watched, QEvent* event) {
  // A modal dialog (Setup, About, opened by this very click perhaps) takes the pointer
  // without a leave notice reaching the button: its hover ends with the block, and when
  // the dialog has closed, where the pointer is then decides.
  if (watched == window()) {
    if (event->type() == QEvent::WindowBlocked && hover_) {
      hover_ = false;
      update();
    } else if (event->type() == QEvent::WindowUnblocked) {
      PointerMayHaveMoved();
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TGButton::showEvent(QShowEvent* event) {
  // The window it lies in now (a button is placed once, but its window may be changed).
  if (watchedWindow_ != window()) {
    if (watchedWindow_) watchedWindow_->removeEventFilter(this);
    watchedWindow_ = window();
    watchedWindow_->installEventFilter(this);
  }
  QWidget::showEvent(event);
}

void TGButton::PointerMayHaveMoved() {
  const bool over = isVisible() && rect().contains(mapFromGlobal(QCursor::pos()));
  if (over == hover_) return;
  hover_ = over;
  update();
}

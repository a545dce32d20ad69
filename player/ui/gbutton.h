// TGButton: a push button drawn from three images cut from a skin bitmap — mouse over,
// pressed, and mouse away.
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <optional>

#include "player/skin/skin_bands.h"

class TGButton : public QWidget {
  Q_OBJECT
 public:
  enum class Look { Over, Pressed, Away };

  explicit TGButton(QWidget* parent);

  // Hides and disables the button, sets its hint; with a place, puts it there and cuts
  // its images from the bitmap (the pressed look from band 2 when hasPressedImage, else
  // the mouse-over look; the away look from band 3 when the bitmap has four bands, else
  // the mouse-over look), then shows and enables it. Without a place it stays hidden.
  void Skin(const std::optional<SkinRect>& place, const QImage& bitmap, const BandLayout& bands,
            bool hasPressedImage, const QString& hint);

  Look ShownLook() const;
  bool Pressed() const { return pressed_; }
  bool Hover() const { return hover_; }
  const QImage& Image(Look look) const;
  // Takes the hover state from where the pointer is now (after a modal dialog has closed,
  // no leave notice tells that the pointer went elsewhere meanwhile).
  void PointerMayHaveMoved();

 Q_SIGNALS:
  void Clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QImage over_;
  QImage pressedImage_;
  QImage away_;
  bool pressed_ = false;
  bool hover_ = false;
  QPointer<QWidget> watchedWindow_;  // told when a modal dialog blocks it
};

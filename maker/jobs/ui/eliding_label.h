// A one-line label that shows a text too long for it with its middle left out ("…"), and
// the whole text as its tooltip then: the start and the end of a path are what tell it.
#pragma once

#include <QLabel>
#include <QString>

class ElidingLabel : public QLabel {
 public:
  explicit ElidingLabel(QWidget* parent = nullptr);

  // The text to show; text() is what fits of it.
  void SetFullText(const QString& text);
  const QString& FullText() const { return fullText_; }

  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Elide();

  QString fullText_;
};

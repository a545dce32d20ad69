// TMarqueeLabel: a text field whose text, when wider than the field, scrolls through it
// from right to left and comes round again, rather than being cut off mid-glyph at an
// edge. A text that fits stands still, as a plain label shows it.
#pragma once

#include <QLabel>
#include <QTimer>

class TMarqueeLabel : public QLabel {
  Q_OBJECT
 public:
  explicit TMarqueeLabel(QWidget* parent);

  // Whether the text is wider than the field (and so scrolls while shown).
  bool Scrolling() const { return textWidth_ > width(); }
  // How far the text has scrolled to the left, in pixels (0 … one text width and gap).
  int Offset() const { return offset_; }
  // One step of the scroll: a pixel, after a rest at the start of each round.
  void Step();

  static constexpr int kStepMs = 40;       // 25 pixels a second
  static constexpr int kRestSteps = 50;    // two seconds at the start of each round
  static constexpr int kGapPixels = 40;    // between the end of the text and its next start

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Measure();

  QTimer timer_;
  QString measured_;
  int textWidth_ = 0;
  int offset_ = 0;
  int rest_ = kRestSteps;
};

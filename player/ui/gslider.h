// TGSlider: the knob of a slider track, dragged vertically between 0 and its travel limit.
#pragma once

#include <QImage>
#include <QWidget>

class TGSlider : public QWidget {
  Q_OBJECT
 public:
  explicit TGSlider(QWidget* parent);

  void SetImages(const QImage& normal, const QImage& pressed);
  // The travel limit in pixels: dragging stops at 0 and at maxTop − 1.
  void SetMaxTop(int maxTop) { maxTop_ = maxTop; }
  int MaxTop() const { return maxTop_; }
  bool Dragging() const { return dragging_; }
  bool ShowsPressedImage() const { return dragging_; }

 Q_SIGNALS:
  void Changed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QImage normal_;
  QImage pressed_;
  bool dragging_ = false;
  int grabOffset_ = 0;
  int maxTop_ = 20;
};

// The knob's new top for a drag that moved the pointer by `moved` pixels from the grab
// point: below 0 gives 0, at or past maxTop gives maxTop − 1 (never below 0).
int DraggedKnobTop(int currentTop, int moved, int maxTop);

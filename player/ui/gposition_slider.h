// TGPositionSlider: the main window's position slider — a track cut from the face with a
// knob cut from the pressed band. The knob shows where playback is; a click on the track
// or a drag of the knob chooses where it goes on.
#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>

#include "player/skin/skin_bands.h"

class TGPositionSlider : public QWidget {
  Q_OBJECT
 public:
  explicit TGPositionSlider(QWidget* parent);

  // Places the track and cuts its images (see CutPositionSlider), or hides it without a
  // place; the knob starts at 0 and the slider disabled until a length is known.
  void Skin(const std::optional<SkinRect>& place, const SkinKnobSource& knob, const QImage& bitmap,
            const BandLayout& bands);

  // Where playback is, of how long the input is (seconds; range 0 for a stream or when
  // nothing plays: the knob goes to 0 and the slider is disabled). While the user drags
  // the knob, it stays where the user holds it.
  void ShowPosition(uint32_t position, uint32_t range);

  int KnobOffset() const { return knobOffset_; }
  int Travel() const { return geometry_.travel; }
  bool Dragging() const { return dragging_; }
  uint32_t Range() const { return range_; }

 Q_SIGNALS:
  // The user let go of the knob, or clicked the track, at this position.
  void PositionChosen(uint32_t position);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void MoveKnob(int offset);

  PositionSliderGeometry geometry_;
  QImage background_;
  QImage knob_;
  int knobOffset_ = 0;
  uint32_t range_ = 0;
  bool dragging_ = false;
  int grabOffset_ = 0;  // the pointer's distance from the knob's left edge
};

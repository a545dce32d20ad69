// TGVTrack: a vertical slider track — a background image cut from the skin and one knob.
#pragma once

#include <QImage>
#include <QWidget>

#include "player/skin/skin_bands.h"

class TGSlider;

class TGVTrack : public QWidget {
  Q_OBJECT
 public:
  explicit TGVTrack(QWidget* parent);

  // Places the track and its knob as the skin cuts them (CutTrack) from the bitmap.
  void Skin(const TrackGeometry& geometry, const QImage& bitmap, const QString& hint);

  // The knob's travel: track height − knob height.
  int Range() const;
  int Position() const;
  // Moves the knob; values below 0 give 0, above Range() give Range().
  void SetPosition(int position);
  TGSlider* Knob() const { return knob_; }

 Q_SIGNALS:
  void Changed(TGVTrack* sender);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage background_;
  TGSlider* knob_;
};

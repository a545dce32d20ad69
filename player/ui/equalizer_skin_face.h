// TEqualizerSkinFace: the equalizer window's skinned face — a frameless shaped window
// with twelve slider tracks, the enable check box and the close button, cut from
// "eq.bmp" and placed by "display.Ini".
#pragma once

#include <QCheckBox>
#include <QWidget>
#include <array>

#include "player/skin/display_ini.h"
#include "player/ui/face_drag.h"

class TImageWindow;
class TGButton;
class TGVTrack;

inline constexpr int kEqualizerTrackCount = 12;

class TEqualizerSkinFace : public QWidget {
  Q_OBJECT
 public:
  explicit TEqualizerSkinFace(QWidget* parent = nullptr);

  // Applies the equalizer skin: the bitmap with three bands, twelve tracks from eq_track
  // and eq_slider (the i-th shifted right by i × eq_interval), the check box from eq_check
  // (as wide as it is high, no caption) and the close button from eq_close. Knob positions
  // are kept across a skin change, within the new travel.
  void ApplySkin(const DisplayIni& display, const QImage& eqBitmap);

  TGVTrack* Track(int index) const { return tracks_[static_cast<size_t>(index)]; }
  QCheckBox* EnableCheckBox() const { return enableCheckBox_; }
  TGButton* CloseButton() const { return closeButton_; }
  TImageWindow* Face() const { return face_; }
  FaceDrag& Drag() { return drag_; }

 Q_SIGNALS:
  void TrackChanged(int index);
  void CloseClicked();

 private:
  TImageWindow* face_;
  std::array<TGVTrack*, kEqualizerTrackCount> tracks_{};
  QCheckBox* enableCheckBox_;
  TGButton* closeButton_;
  FaceDrag drag_;
};

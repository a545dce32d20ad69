// TMainSkinFace: the main window's skinned face — a frameless shaped window with the
// sixteen buttons, the four text fields and the visualization area, all placed and cut
// from the skin. It reports what was clicked and leaves the actions to its owner.
#pragma once

#include <QLabel>
#include <QWidget>
#include <array>
#include <cstdint>

#include "player/skin/display_ini.h"
#include "player/skin/skin_elements.h"
#include "player/ui/face_drag.h"

class TImageWindow;
class TGButton;
class TGPositionSlider;
class TVisualization;

class TMainSkinFace : public QWidget {
  Q_OBJECT
 public:
  explicit TMainSkinFace(QWidget* parent = nullptr);

  // Applies the main skin: the bitmap with four bands when disp_with_focus is set (else
  // three), then every button, text field, the visualization area and the position
  // slider; elements whose key is missing stay hidden.
  void ApplySkin(const DisplayIni& display, const QImage& mainBitmap);

  TGButton* Button(SkinButton button) const { return buttons_[static_cast<size_t>(button)]; }
  QLabel* TextField(SkinTextField field) const { return textFields_[static_cast<size_t>(field)]; }
  // Shows text in a field (kept while the field is hidden, shown when a skin places it).
  void SetText(SkinTextField field, const QString& text);
  TVisualization* Visualization() const { return visualization_; }
  // Hidden in a skin without the position key.
  TGPositionSlider* PositionSlider() const { return positionSlider_; }
  // Tells the user of the window about its skin (one that could not be shown, and what is
  // shown instead) in a message box that leaves the window usable. It opens once the event
  // loop runs, so it lies over the window shown meanwhile.
  void ShowSkinNotice(const QString& text);
  TImageWindow* Face() const { return face_; }
  FaceDrag& Drag() { return drag_; }

 Q_SIGNALS:
  void ButtonClicked(SkinButton button);
  // The user chose a position (seconds) on the position slider.
  void PositionChosen(uint32_t position);
  // The window was dragged by its face by this many pixels (the owner moves the
  // equalizer window along).
  void Dragged(QPoint delta);
  // A left press on the face, in window coordinates (before any dragging).
  void FacePressed(QPoint at);

 private:
  TImageWindow* face_;
  std::array<TGButton*, kSkinButtonCount> buttons_{};
  std::array<QLabel*, kSkinTextFieldCount> textFields_{};
  TVisualization* visualization_;
  TGPositionSlider* positionSlider_;
  FaceDrag drag_;
};

// Places a skin text field: position and size, a font of the named family whose line
// height fits the field, the text colour; the face shows through behind the text.
void PlaceTextField(QLabel* label, const SkinTextFieldPlace& place);

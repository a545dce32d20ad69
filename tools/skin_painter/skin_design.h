// The design of the shipped skins: one layout of every element, and the look (silhouette,
// colours, fonts) of each skin. The painter turns a design into display.Ini, main.bmp and
// eq.bmp.
#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <array>
#include <vector>

#include "player/skin/skin_elements.h"

struct TextFieldDesign {
  SkinTextField field;
  QRect rect;
  const char* font;  // one word: the skin format reads the font name up to the first blank
  bool accent;       // drawn in the accent colour, else in the text colour
};

// Where everything sits, in pixels of one band.
struct SkinLayout {
  QSize mainSize{400, 130};
  QSize eqSize{400, 150};
  std::array<QRect, kSkinButtonCount> buttons;
  std::vector<TextFieldDesign> textFields;
  QRect display;        // the inset panel behind the text fields and the visualization
  QRect visualization;  // flat: its first pixel is its background colour
  QRect position;       // the position slider's track
  QSize positionKnob;   // its knob, painted in band 2 at the track's left end
  // Equalizer window.
  QRect firstTrack;     // eq_track
  int trackInterval = 0;
  QSize knob;
  QPoint knobSource;    // in band 2
  QPoint check;
  QRect eqClose;
};
const SkinLayout& ShippedLayout();

struct SkinLook {
  const char* name;         // folder name under skins/
  bool notched;             // the main window has a title tab and a control pod with a gap between
  int cornerRadius;
  QColor faceTop, faceBottom;  // window body gradient
  QColor rim;                  // the body's outline and the grooves
  QColor panel, panelEdge;     // display inset
  QColor visualizationBack;
  QColor text, accent, dimText;
  QColor buttonTop, buttonBottom, buttonEdge;
  QColor icon;                 // icon of a released button
  QColor iconHot;              // icon of a button under the mouse or pressed
  QColor knobTop, knobBottom, knobGrip;
};
const std::vector<SkinLook>& ShippedLooks();

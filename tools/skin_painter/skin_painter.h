// Paints the bands of a shipped skin and writes its three files.
#pragma once

#include <QImage>
#include <QString>

#include "tools/skin_painter/skin_design.h"

enum class ButtonLook { Over, Pressed, Away };

// main.bmp: four bands (face with every button under the mouse, mask, pressed, away).
QImage PaintMainBitmap(const SkinLayout& layout, const SkinLook& look);
// eq.bmp: three bands (face, mask, pressed close button and the knob).
QImage PaintEqualizerBitmap(const SkinLayout& layout, const SkinLook& look);
// display.Ini for the bitmaps above (the check box takes the face colour under it).
QString DisplayIniText(const SkinLayout& layout, const SkinLook& look, const QImage& eqBitmap);

// Writes display.Ini, main.bmp and eq.bmp into folder; false with a message on failure.
bool WriteSkin(const SkinLayout& layout, const SkinLook& look, const QString& folder, QString& error);

// The window layer's side of the skin format: decoding bitmaps into the core's pixel rows,
// cutting the rectangles the core names, colours, and drawing skin images sharply.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QRegion>
#include <QString>

#include "player/skin/display_ini.h"
#include "player/skin/skin_pixels.h"
#include "player/skin/window_shape.h"

SkinPixels PixelsOf(const QImage& image);
QRect ToQRect(const SkinRect& rect);
QColor ToQColor(SkinColour colour);
// The part of the bitmap under rect (a rectangle reaching outside is filled with black
// there, so a skin with a wrong number still gives an image of the expected size).
QImage CutImage(const QImage& bitmap, const SkinRect& rect);
// The shape as a region in skin pixels; an empty shape gives an empty region.
QRegion ToRegion(const WindowShape& shape);
// Draws a skin image over target with nearest-neighbour sampling, so that a window scaled
// by a whole factor on a high-density screen stays sharp.
class QPainter;
void DrawSkinImage(QPainter& painter, const QRect& target, const QImage& image);

// Before the application object exists: screen scale factors are rounded down to whole
// numbers, so a skin on a high-density screen is drawn at 2× or 3× with every pixel, the
// shape and the hit areas scaled alike (a 1.5 screen draws at 1×).
void UseWholeScaleFactors();

// A skin folder read for the windows: the positions, and the two bitmaps (null when a file
// is missing or is not a bitmap Qt can decode, with the reason in the error text).
struct LoadedSkin {
  QString folder;
  DisplayIni display;
  QImage mainBitmap;
  QImage eqBitmap;
  QString error;  // empty when everything was read
};
LoadedSkin ReadSkinFolder(const QString& folder);

// Makes a chosen folder the active skin: refuses a folder without the three files
// ("Specified directory does not contain display information.") or with a bitmap that does
// not decode, and copies the files into the per-user skin folder. Returns the message to
// show, or an empty text on success.
QString InstallChosenSkin(const QString& chosenFolder);

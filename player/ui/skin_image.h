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

// A skin folder read for the windows: the positions, every rectangle cut to its window,
// and the two bitmaps. A skin that cannot be shown (a file missing or unreadable, a bitmap
// that does not decode, is larger than kSkinBitmapSideLimit either way or too low for its
// bands, an element with no pixel inside its window) has the reasons in error, one line
// each naming the file or the key; the windows never show it.
struct LoadedSkin {
  QString folder;
  DisplayIni display;
  QImage mainBitmap;
  QImage eqBitmap;
  QString error;  // empty when the skin can be shown
  QString notes;  // the rectangles cut to their window, one line each naming its key
  bool Showable() const { return error.isEmpty(); }
};
// Reads the three files. A bitmap's size is read from its header first: one the limit
// refuses is never decoded, so a hostile header cannot make a large allocation.
LoadedSkin ReadSkinFolder(const QString& folder);

// The skin a program shows when it starts: the active skin (ActiveSkinFolder); when that is
// the per-user copy and it cannot be shown, the shipped default instead, with notice saying
// why for the user of the window. When neither can be shown, skin is not showable and the
// notice says why.
struct StartSkin {
  LoadedSkin skin;
  QString notice;
};
StartSkin ReadStartSkin();

// Makes a chosen folder the active skin: refuses a folder without the three files
// ("Specified directory does not contain display information.") or one that cannot be
// shown ("The skin cannot be used:" and why), and copies the files into the per-user skin
// folder. Returns the message to show, or an empty text on success.
QString InstallChosenSkin(const QString& chosenFolder);

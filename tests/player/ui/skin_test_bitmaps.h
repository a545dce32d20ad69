// Bitmaps for the window tests: each band a colour of its own, so an image tells which
// band it was cut from.
#pragma once

#include <QImage>
#include <QPainter>

inline constexpr QRgb kFaceColour = 0xFFC00000;     // band 0
inline constexpr QRgb kPressedColour = 0xFF00C000;  // band 2
inline constexpr QRgb kAwayColour = 0xFF0000C0;     // band 3

// bands bands of w × h; the mask band (1) is black inside maskRect, white elsewhere.
inline QImage BandedBitmap(int w, int h, int bands, QRect maskRect = QRect()) {
  QImage image(w, h * bands, QImage::Format_RGB32);
  const QRgb colours[] = {kFaceColour, 0xFFFFFFFF, kPressedColour, kAwayColour};
  QPainter p(&image);
  for (int b = 0; b < bands; ++b) p.fillRect(0, b * h, w, h, QColor::fromRgb(colours[b]));
  if (bands > 1) p.fillRect(maskRect.isNull() ? QRect(0, h, w, h) : maskRect.translated(0, h), Qt::black);
  return image;
}

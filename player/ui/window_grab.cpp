// Drawing a window into an image with its shape applied.
#include "player/ui/window_grab.h"

#include <QPainter>
#include <QPixmap>
#include <QWidget>

QImage GrabWindowImage(QWidget* window) {
  QImage image = window->grab().toImage().convertToFormat(QImage::Format_ARGB32);
  const QRegion mask = window->mask();
  if (mask.isEmpty()) return image;
  QImage keep(window->size(), QImage::Format_ARGB32);
  keep.fill(Qt::transparent);
  {
    QPainter p(&keep);
    for (const QRect& r : mask) p.fillRect(r, Qt::black);
  }
  keep = keep.scaled(image.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    const auto* k = reinterpret_cast<const QRgb*>(keep.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(k[x]) == 0) row[x] = qRgba(0, 0, 0, 0);
  }
  return image;
}

// Bitmap decoding, cutting and sharp drawing for the skinned windows.
#include "player/ui/skin_image.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>

#include <cstdint>
#include <cstdlib>

#include "player/skin/skin_bands.h"
#include "player/skin/skin_bounds.h"
#include "player/skin/skin_folder.h"

SkinPixels PixelsOf(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  SkinPixels pixels(rgb.width(), rgb.height());
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x) pixels.Set(x, y, row[x] & 0xFFFFFFu);
  }
  return pixels;
}

QRect ToQRect(const SkinRect& rect) { return QRect(rect.left, rect.top, rect.width, rect.height); }

QColor ToQColor(SkinColour colour) { return QColor(colour.Red(), colour.Green(), colour.Blue()); }

QImage CutImage(const QImage& bitmap, const SkinRect& rect) {
  if (rect.width <= 0 || rect.height <= 0) return QImage();
  // QImage::copy fills the outside with zeros, which is black in RGB32.
  return bitmap.convertToFormat(QImage::Format_RGB32).copy(ToQRect(rect));
}

QRegion ToRegion(const WindowShape& shape) {
  QRegion region;
  for (const ShapeRun& run : shape.runs) region += QRect(run.x0, run.y, run.x1 - run.x0, 1);
  return region;
}

void DrawSkinImage(QPainter& painter, const QRect& target, const QImage& image) {
  if (image.isNull()) return;
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(target, image);
}

void UseWholeScaleFactors() {
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Floor);
}

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Decodes one skin bitmap of bandCount bands, or says why it cannot be one.
QImage ReadBitmap(const QString& path, int bandCount, QString& error) {
  if (!QFileInfo::exists(path)) {
    error += QStringLiteral("%1: no such file\n").arg(path);
    return QImage();
  }
  QImageReader reader(path);
  // The size in the header is checked first. A format whose header does not tell it is
  // bounded by Qt's allocation limit while it decodes, and by the same check afterwards.
  const QSize header = reader.size();
  if (header != QSize()) {
    const auto fits = CheckSkinBitmapSize(std::abs(int64_t{header.width()}), std::abs(int64_t{header.height()}), bandCount);
    if (!fits) {
      error += QStringLiteral("%1: %2\n").arg(path, Q(fits.Error().Message()));
      return QImage();
    }
  }
  QImage image = reader.read();
  if (image.isNull()) {
    error += QStringLiteral("%1: %2\n").arg(path, reader.errorString());
    return QImage();
  }
  if (const auto fits = CheckSkinBitmapSize(image.width(), image.height(), bandCount); !fits) {
    error += QStringLiteral("%1: %2\n").arg(path, Q(fits.Error().Message()));
    return QImage();
  }
  return image;
}

QString Lines(const std::vector<std::string>& lines) {
  QString text;
  for (const std::string& line : lines) text += Q(line) + QLatin1Char('\n');
  return text;
}

}  // namespace

LoadedSkin ReadSkinFolder(const QString& folder) {
  LoadedSkin skin;
  skin.folder = folder;
  const SkinFiles files = SkinFiles::In(folder.toStdString());
  auto display = DisplayIni::Load(files.displayIni);
  if (display)
    skin.display = std::move(display).Value();
  else
    skin.error += Q(display.Error().Message()) + QLatin1Char('\n');
  const int mainBands = BandLayout::ForMain(0, 0, skin.display.withFocus).BandCount();
  const int eqBands = BandLayout::ForEqualizer(0, 0).BandCount();
  skin.mainBitmap = ReadBitmap(Q(files.mainBitmap), mainBands, skin.error);
  skin.eqBitmap = ReadBitmap(Q(files.eqBitmap), eqBands, skin.error);
  if (!skin.mainBitmap.isNull() && !skin.eqBitmap.isNull()) {
    const SkinBoundsReport report = BoundSkin(skin.display, {skin.mainBitmap.width(), skin.mainBitmap.height()},
                                              {skin.eqBitmap.width(), skin.eqBitmap.height()});
    skin.error += Lines(report.refusals);
    skin.notes = Lines(report.cuts).trimmed();
  }
  skin.error = skin.error.trimmed();
  return skin;
}

StartSkin ReadStartSkin() {
  StartSkin start;
  const std::string active = ActiveSkinFolder();
  start.skin = ReadSkinFolder(Q(active));
  if (start.skin.Showable()) return start;
  const std::string shipped = ShippedSkinFolder("default");
  if (active == shipped) {
    start.notice = QStringLiteral("The default skin in %1 cannot be shown:\n%2").arg(Q(active), start.skin.error);
    return start;
  }
  start.notice = QStringLiteral("The skin in %1 cannot be shown:\n%2\n\n").arg(Q(active), start.skin.error);
  LoadedSkin fallback = ReadSkinFolder(Q(shipped));
  if (!fallback.Showable()) {
    start.notice += QStringLiteral("Neither can the default skin in %1:\n%2").arg(Q(shipped), fallback.error);
    return start;
  }
  start.notice += QStringLiteral("The default skin is shown instead.");
  start.skin = std::move(fallback);
  return start;
}

QString InstallChosenSkin(const QString& chosenFolder) {
  const std::string folder = chosenFolder.toStdString();
  if (!HoldsSkin(folder)) return Q(SkinMissingFiles(folder).Message());
  // A skin that cannot be shown would leave the player without a face after the copy.
  const LoadedSkin chosen = ReadSkinFolder(chosenFolder);
  if (!chosen.Showable()) return QStringLiteral("The skin cannot be used:\n%1").arg(chosen.error);
  const auto installed = InstallSkin(folder, UserSkinFolder());
  if (!installed) return Q(installed.Error().Message());
  return QString();
}

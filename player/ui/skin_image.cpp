// Bitmap decoding, cutting and sharp drawing for the skinned windows.
#include "player/ui/skin_image.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>

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

QImage ReadBitmap(const QString& path, QString& error) {
  if (!QFileInfo::exists(path)) {
    error += QStringLiteral("%1: no such file\n").arg(path);
    return QImage();
  }
  QImageReader reader(path);
  QImage image = reader.read();
  if (image.isNull()) error += QStringLiteral("%1: %2\n").arg(path, reader.errorString());
  return image;
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
    skin.error += QString::fromStdString(display.Error().Message()) + QLatin1Char('\n');
  skin.mainBitmap = ReadBitmap(QString::fromStdString(files.mainBitmap), skin.error);
  skin.eqBitmap = ReadBitmap(QString::fromStdString(files.eqBitmap), skin.error);
  skin.error = skin.error.trimmed();
  return skin;
}

QString InstallChosenSkin(const QString& chosenFolder) {
  const std::string folder = chosenFolder.toStdString();
  if (!HoldsSkin(folder)) return QString::fromStdString(SkinFolderError{}.Message());
  // A bitmap that does not decode would leave the player without a face after the copy.
  const LoadedSkin chosen = ReadSkinFolder(chosenFolder);
  if (chosen.mainBitmap.isNull() || chosen.eqBitmap.isNull())
    return QStringLiteral("The skin cannot be used:\n%1").arg(chosen.error);
  const auto installed = InstallSkin(folder, UserSkinFolder());
  if (!installed) return QString::fromStdString(installed.Error().Message());
  return QString();
}

// zbskinpaint OUTDIR: paints every shipped skin into OUTDIR/NAME/ (skins/ of the source
// tree is its committed output). Runs without a display.
#include <QGuiApplication>
#include <cstdio>

#include "tools/skin_painter/skin_painter.h"

int main(int argc, char** argv) {
  // The same rasterizer and font settings on every machine, whatever display is around.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: zbskinpaint OUTDIR\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  for (const SkinLook& look : ShippedLooks()) {
    QString error;
    if (!WriteSkin(ShippedLayout(), look, out + QLatin1Char('/') + QLatin1String(look.name), error)) {
      std::fprintf(stderr, "zbskinpaint: %s\n", error.toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}

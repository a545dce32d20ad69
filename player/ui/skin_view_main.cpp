// zbskinview: shows the player's main and equalizer windows cut from a skin folder.
//
//   zbskinview [--skin DIR] [--at X,Y] [--demo] [--no-eq] [--report] [--screenshot DIR]
//
// --skin: the folder to show, refused (exit status 1) when it cannot be shown (default: the
// active skin, or the shipped default when the per-user skin cannot be shown, with a
// message box saying why); --at: where the main window goes; --demo: sample texts, an
// equalizer curve and a tone on the visualization; --report: prints "ready MAIN EQ"
// (window ids) once shown, then one line per click, press on the face and knob move;
// --screenshot: writes main.png and eq.png of the shown windows (cut-away parts
// transparent) into DIR and exits.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "player/skin/skin_folder.h"
#include "player/ui/equalizer_skin_face.h"
#include "player/ui/main_skin_face.h"
#include "player/ui/skin_image.h"
#include "player/ui/skin_preview.h"
#include "player/ui/visualization.h"

namespace {

// The window as the X server shows it, with the parts its shape cuts away transparent.
QImage GrabShaped(QWidget* window) {
  QScreen* screen = window->screen();
  const QPixmap shot = screen->grabWindow(0, window->x(), window->y(), window->width(), window->height());
  QImage image = shot.toImage().convertToFormat(QImage::Format_ARGB32);
  const QRegion mask = window->mask();
  if (mask.isEmpty()) return image;
  QImage alpha(window->size(), QImage::Format_ARGB32);
  alpha.fill(Qt::transparent);
  {
    QPainter p(&alpha);
    for (const QRect& r : mask) p.fillRect(r, Qt::black);
  }
  alpha = alpha.scaled(image.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    const auto* keep = reinterpret_cast<const QRgb*>(alpha.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(keep[x]) == 0) row[x] = qRgba(0, 0, 0, 0);
  }
  return image;
}

void Say(const QString& line) {
  std::printf("%s\n", line.toUtf8().constData());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  UseWholeScaleFactors();
  QApplication app(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Shows the player's windows cut from a skin folder."));
  parser.addHelpOption();
  const QCommandLineOption skinOption(QStringLiteral("skin"), QStringLiteral("Skin folder to show."), QStringLiteral("DIR"));
  const QCommandLineOption atOption(QStringLiteral("at"), QStringLiteral("Main window position."), QStringLiteral("X,Y"));
  const QCommandLineOption demoOption(QStringLiteral("demo"), QStringLiteral("Sample texts and a tone."));
  const QCommandLineOption noEqOption(QStringLiteral("no-eq"), QStringLiteral("Leave the equalizer window closed."));
  const QCommandLineOption reportOption(QStringLiteral("report"), QStringLiteral("Print window ids and events."));
  const QCommandLineOption shotOption(QStringLiteral("screenshot"), QStringLiteral("Write main.png and eq.png, then exit."),
                                      QStringLiteral("DIR"));
  parser.addOptions({skinOption, atOption, demoOption, noEqOption, reportOption, shotOption});
  parser.process(app);

  PlayerSettingsFile settingsFile;
  if (auto loaded = settingsFile.Load(); !loaded)
    std::fprintf(stderr, "zbskinview: %s\n", loaded.Error().Message().c_str());
  // A preview moved with --at must not move the player's stored place.
  PlayerSettings settings = settingsFile.Settings();
  if (parser.isSet(atOption)) {
    const QStringList xy = parser.value(atOption).split(QLatin1Char(','));
    if (xy.size() == 2) {
      settings.playerFormLeft = xy[0].toInt();
      settings.playerFormTop = xy[1].toInt();
      settings.eqFormTop = -100;
    }
  }

  TSkinPreview preview(settings);
  QString said;
  if (parser.isSet(skinOption)) {
    // A skin named on the command line is shown as it is, or not at all.
    const LoadedSkin skin = ReadSkinFolder(parser.value(skinOption));
    if (!skin.Showable()) {
      std::fprintf(stderr, "zbskinview: the skin in %s cannot be shown:\n%s\n", parser.value(skinOption).toLocal8Bit().constData(),
                   skin.error.toLocal8Bit().constData());
      return 1;
    }
    preview.ShowSkin(skin);
    said = skin.notes;
  } else {
    said = preview.ApplyStartSkin();
  }
  if (!said.isEmpty()) std::fprintf(stderr, "zbskinview: %s\n", said.toLocal8Bit().constData());
  preview.Show();
  if (parser.isSet(noEqOption)) preview.Equalizer()->hide();
  if (parser.isSet(demoOption)) preview.StartDemo();
  if (parser.isSet(reportOption)) {
    preview.onEvent = Say;
    QTimer::singleShot(300, [&] {
      Say(QStringLiteral("ready %1 %2").arg(preview.Main()->winId()).arg(preview.Equalizer()->winId()));
    });
  }
  if (parser.isSet(shotOption)) {
    const QString out = parser.value(shotOption);
    QTimer::singleShot(1500, [&preview, out] {
      QDir().mkpath(out);
      const bool ok = GrabShaped(preview.Main()).save(out + QStringLiteral("/main.png")) &&
                      GrabShaped(preview.Equalizer()).save(out + QStringLiteral("/eq.png"));
      if (!ok) std::fprintf(stderr, "zbskinview: cannot write the screenshots into %s\n", out.toLocal8Bit().constData());
      QApplication::exit(ok ? 0 : 1);
    });
  }
  const int status = app.exec();
  // The preview's own settings changes (Setup window) are kept; a --at move is not.
  settingsFile.Settings().continuousPlay = settings.continuousPlay;
  settingsFile.Settings().useDirectSound = settings.useDirectSound;
  if (!parser.isSet(shotOption))
    if (auto saved = settingsFile.Save(); !saved)
      std::fprintf(stderr, "zbskinview: %s\n", saved.Error().Message().c_str());
  return status;
}

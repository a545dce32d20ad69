// TSkinPreview: both skinned windows, the Setup window and a demonstration feed.
#include "player/ui/skin_preview.h"

#include <QApplication>
#include <chrono>
#include <cmath>
#include <vector>

#include "player/skin/skin_elements.h"
#include "player/skin/skin_folder.h"
#include "player/ui/gposition_slider.h"
#include "player/ui/equalizer_skin_face.h"
#include "player/ui/gbutton.h"
#include "player/ui/gvtrack.h"
#include "player/ui/main_skin_face.h"
#include "player/ui/options_form.h"
#include "player/ui/visualization.h"

using player::TOptionsForm;

TSkinPreview::TSkinPreview(PlayerSettings& settings)
    : settings_(settings), main_(std::make_unique<TMainSkinFace>()), eq_(std::make_unique<TEqualizerSkinFace>()) {
  main_->setWindowTitle(QStringLiteral("zbplayer"));
  eq_->setWindowTitle(QStringLiteral("zbplayer equalizer"));
  connect(main_.get(), &TMainSkinFace::ButtonClicked, this, [this](SkinButton button) {
    if (onEvent) onEvent(QStringLiteral("clicked %1").arg(QLatin1String(InfoOf(button).key)));
    switch (button) {
      case SkinButton::Close:
        QApplication::quit();
        break;
      case SkinButton::Minimize:
        main_->showMinimized();
        break;
      case SkinButton::Eq:
        eq_->setVisible(!eq_->isVisible());
        break;
      case SkinButton::Setup:
        ShowSetup();
        break;
      default:
        break;
    }
  });
  connect(main_.get(), &TMainSkinFace::FacePressed, this, [this](QPoint at) {
    if (onEvent) onEvent(QStringLiteral("press %1 %2").arg(at.x()).arg(at.y()));
  });
  connect(main_.get(), &TMainSkinFace::Dragged, this, [this](QPoint delta) { eq_->move(eq_->pos() + delta); });
  connect(eq_.get(), &TEqualizerSkinFace::CloseClicked, this, [this] {
    if (onEvent) onEvent(QStringLiteral("clicked eq_close"));
    eq_->hide();
  });
  connect(eq_.get(), &TEqualizerSkinFace::TrackChanged, this, [this](int i) {
    if (onEvent) onEvent(QStringLiteral("track %1 %2").arg(i).arg(eq_->Track(i)->Position()));
  });
}

TSkinPreview::~TSkinPreview() { StopDemo(); }

void TSkinPreview::ShowSkin(const LoadedSkin& skin) {
  const bool eqVisible = eq_->isVisible();
  const bool mainVisible = main_->isVisible();
  main_->hide();
  eq_->hide();
  main_->ApplySkin(skin.display, skin.mainBitmap);
  eq_->ApplySkin(skin.display, skin.eqBitmap);
  if (mainVisible) main_->show();
  if (eqVisible) eq_->show();
}

QString TSkinPreview::ApplySkinFolder(const QString& folder) {
  const LoadedSkin skin = ReadSkinFolder(folder);
  if (!skin.Showable()) return skin.error;
  ShowSkin(skin);
  return skin.notes;
}

QString TSkinPreview::ApplyStartSkin() {
  const StartSkin start = ReadStartSkin();
  if (start.skin.Showable()) ShowSkin(start.skin);
  if (!start.notice.isEmpty()) main_->ShowSkinNotice(start.notice);
  return (start.notice + QLatin1Char('\n') + start.skin.notes).trimmed();
}

QString TSkinPreview::LoadDisplay(const QString& folder) {
  const QString refused = InstallChosenSkin(folder);
  if (!refused.isEmpty()) return refused;
  ApplySkinFolder(QString::fromStdString(UserSkinFolder()));
  return QString();
}

void TSkinPreview::Show() {
  main_->move(settings_.playerFormLeft, settings_.playerFormTop);
  main_->show();
  if (settings_.eqFormTop > 0)
    eq_->move(settings_.eqFormLeft, settings_.eqFormTop);
  else
    eq_->move(main_->x(), main_->y() + main_->height() + 5);
  eq_->show();
}

void TSkinPreview::ShowSetup() {
  TOptionsForm form(settings_, [this](const QString& folder) { return LoadDisplay(folder); }, main_.get());
  form.exec();
}

void TSkinPreview::StartDemo() {
  main_->SetText(SkinTextField::File, QStringLiteral("Zimbar Ensemble \u2013 Night Train to Harbour Lights"));
  main_->SetText(SkinTextField::Info, QStringLiteral("192Kbps 44Khz JS"));
  main_->SetText(SkinTextField::Progress, QStringLiteral("02:47 / 04:12"));
  main_->PositionSlider()->ShowPosition(167, 252);
  main_->SetText(SkinTextField::WavVolume, QStringLiteral("7"));
  // A gentle curve on the equalizer: bass and treble lifted.
  for (int i = 0; i < kEqualizerTrackCount; ++i) {
    TGVTrack* track = eq_->Track(i);
    const double lift = std::cos((i / 11.0) * 2.0 * M_PI) * 0.3;
    track->SetPosition(static_cast<int>(std::lround(track->Range() * (0.5 - lift))));
  }
  StopDemo();
  demoRunning_ = true;
  TVisualization* visualization = main_->Visualization();
  demo_ = std::thread([this, visualization] {
    // Two tones with a slow swell, in 256-byte stereo slices, about as often as a player
    // hands them over.
    std::vector<int16_t> slice(128);
    double phase = 0;
    int step = 0;
    while (demoRunning_) {
      const double swell = 0.55 + 0.45 * std::sin(step * 0.05);
      for (size_t f = 0; f < 64; ++f) {
        const double v = swell * (0.7 * std::sin(phase) + 0.3 * std::sin(phase * 3.1));
        slice[2 * f] = slice[2 * f + 1] = static_cast<int16_t>(v * 32000);
        phase += 0.21;
      }
      visualization->Feed(slice.data(), slice.size() * sizeof(int16_t), 2, 16);
      ++step;
      std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
  });
}

void TSkinPreview::StopDemo() {
  demoRunning_ = false;
  if (demo_.joinable()) demo_.join();
}

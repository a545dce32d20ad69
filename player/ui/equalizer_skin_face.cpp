// TEqualizerSkinFace: placing the equalizer window's skinned elements.
#include "player/ui/equalizer_skin_face.h"

#include "player/skin/skin_bands.h"
#include "player/skin/skin_elements.h"
#include "player/ui/gbutton.h"
#include "player/ui/gvtrack.h"
#include "player/ui/image_window.h"
#include "player/ui/skin_image.h"

TEqualizerSkinFace::TEqualizerSkinFace(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), face_(new TImageWindow(this)),
      enableCheckBox_(new QCheckBox(this)), closeButton_(new TGButton(this)), drag_(this) {
  for (int i = 0; i < kEqualizerTrackCount; ++i) {
    auto* track = new TGVTrack(this);
    track->setObjectName(QStringLiteral("EQ%1").arg(i));
    connect(track, &TGVTrack::Changed, this, [this, i] { Q_EMIT TrackChanged(i); });
    tracks_[static_cast<size_t>(i)] = track;
  }
  enableCheckBox_->setObjectName(QStringLiteral("EqualizerEnableCheckBox"));
  enableCheckBox_->setToolTip(QStringLiteral("Enable/Disable the Equalizer"));
  enableCheckBox_->setAutoFillBackground(true);
  closeButton_->setObjectName(QStringLiteral("eq_close"));
  connect(closeButton_, &TGButton::Clicked, this, &TEqualizerSkinFace::CloseClicked);
  face_->onPress = [this](QPoint global) { drag_.Press(global); };
  face_->onMove = [this](QPoint global, bool leftHeld) { drag_.Move(global, leftHeld); };
  face_->onRelease = [this](QPoint) { drag_.Release(); };
}

void TEqualizerSkinFace::ApplySkin(const DisplayIni& display, const QImage& eqBitmap) {
  const BandLayout bands = BandLayout::ForEqualizer(eqBitmap.width(), eqBitmap.height());
  face_->Load(eqBitmap, bands.BandCount());
  for (int i = 0; i < kEqualizerTrackCount; ++i)
    tracks_[static_cast<size_t>(i)]->Skin(CutTrack(display, bands, i), face_->Bitmap(), QString());
  enableCheckBox_->setText(QString());
  const int side = enableCheckBox_->sizeHint().height();
  enableCheckBox_->setGeometry(display.eqCheck.left, display.eqCheck.top, side, side);
  QPalette palette = enableCheckBox_->palette();
  palette.setColor(QPalette::Window, ToQColor(display.eqCheck.background));
  enableCheckBox_->setPalette(palette);
  closeButton_->Skin(display.eqClose, face_->Bitmap(), bands, /*hasPressedImage=*/true,
                     QString::fromLatin1(kEqualizerCloseHint));
}

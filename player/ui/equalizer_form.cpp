// TEqualizerForm: slider values, the record, the enable box and the window's place.
#include "player/ui/equalizer_form.h"

#include <QKeyEvent>

#include "player/ui/gvtrack.h"

TEqualizerForm::TEqualizerForm(PlayerSettings& settings, QWidget* parent)
    : TEqualizerSkinFace(parent), settings_(settings) {
  setWindowTitle(QStringLiteral("zbplayer equalizer"));
  for (int i = 0; i < kEqualizerSliders; ++i) values_[size_t(i)] = ClampSliderValue(settings_.eq[size_t(i)]);
  record_ = BuildEqualizerRecord(values_);
  EnableCheckBox()->setChecked(Enabled());
  EnableCheckBox()->installEventFilter(this);
  connect(this, &TEqualizerSkinFace::TrackChanged, this, &TEqualizerForm::TrackChange);
  connect(EnableCheckBox(), &QCheckBox::clicked, this, &TEqualizerForm::EqualizerEnableCheckBoxClick);
  connect(this, &TEqualizerSkinFace::CloseClicked, this, &TEqualizerForm::CloseButtonClick);
}

TEqualizerForm::~TEqualizerForm() { StoreSettings(); }

void TEqualizerForm::StoreSettings() {
  settings_.eqFormTop = y();
  settings_.eqFormLeft = x();
  settings_.eqFormHeight = height();
  settings_.eqFormWidth = width();
  for (int i = 0; i < kEqualizerSliders; ++i) settings_.eq[size_t(i)] = values_[size_t(i)];
}

void TEqualizerForm::ApplyEqualizerSkin(const DisplayIni& display, const QImage& eqBitmap) {
  ApplySkin(display, eqBitmap);
  for (int i = 0; i < kEqualizerSliders; ++i) {
    TGVTrack* track = Track(i);
    track->SetPosition(KnobTopOfValue(values_[size_t(i)], track->Range()));
  }
}

void TEqualizerForm::PlaceUnder(const QWidget* mainWindow) {
  if (settings_.eqFormTop > 0)
    move(settings_.eqFormLeft, settings_.eqFormTop);
  else
    move(mainWindow->x(), mainWindow->y() + mainWindow->height() + 5);
}

void TEqualizerForm::RebuildRecord() {
  // With the box unchecked the record keeps its last contents; the main window sends
  // zeros instead.
  if (Enabled()) record_ = BuildEqualizerRecord(values_);
}

void TEqualizerForm::TrackChange(int index) {
  TGVTrack* track = Track(index);
  values_[size_t(index)] = ValueOfKnobTop(track->Position(), track->Range(), values_[size_t(index)]);
  RebuildRecord();
  if (onChange) onChange();
}

void TEqualizerForm::EqualizerEnableCheckBoxClick() {
  settings_.eqEnabled = EnableCheckBox()->isChecked() ? 1 : 0;
  RebuildRecord();
  if (onChange) onChange();
}

void TEqualizerForm::CloseButtonClick() {
  settings_.eqVisible = 0;
  hide();
}

void TEqualizerForm::showEvent(QShowEvent* event) {
  settings_.eqVisible = 1;
  TEqualizerSkinFace::showEvent(event);
}

void TEqualizerForm::keyPressEvent(QKeyEvent* event) {
  if (onKey) onKey(event);
  else TEqualizerSkinFace::keyPressEvent(event);
}

bool TEqualizerForm::eventFilter(QObject* watched, QEvent* event) {
  // The check box's keys go to the main window too, except the space bar that ticks it.
  if (watched == EnableCheckBox() && event->type() == QEvent::KeyPress && onKey) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Space) {
      onKey(key);
      return true;
    }
  }
  return TEqualizerSkinFace::eventFilter(watched, event);
}

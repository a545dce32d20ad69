// TEqualizerForm: slider values, the record, the enable box and the window's place.
#include "player/ui/equalizer_form.h"

#include <QContextMenuEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>

#include "player/ui/gvtrack.h"

TEqualizerForm::TEqualizerForm(PlayerSettings& settings, QWidget* parent)
    : TEqualizerSkinFace(parent), settings_(settings), presetMenu_(new QMenu(this)) {
  setWindowTitle(QStringLiteral("zbplayer equalizer"));
  for (int i = 0; i < kEqualizerSliders; ++i) values_[size_t(i)] = ClampSliderValue(settings_.eq[size_t(i)]);
  record_ = BuildEqualizerRecord(values_);
  EnableCheckBox()->setChecked(Enabled());
  EnableCheckBox()->installEventFilter(this);
  connect(this, &TEqualizerSkinFace::TrackChanged, this, &TEqualizerForm::TrackChange);
  connect(EnableCheckBox(), &QCheckBox::clicked, this, &TEqualizerForm::EqualizerEnableCheckBoxClick);
  connect(this, &TEqualizerSkinFace::CloseClicked, this, &TEqualizerForm::CloseButtonClick);
  askPresetName = [this](const QString& suggestion) -> std::optional<QString> {
    bool ok = false;
    const QString name = QInputDialog::getText(this, QStringLiteral("Save Preset"), QStringLiteral("Preset name:"),
                                               QLineEdit::Normal, suggestion, &ok);
    if (!ok) return std::nullopt;
    return name;
  };
  showPresetError = [this](const QString& text) {
    QMessageBox::warning(this, QStringLiteral("zbplayer equalizer"), text);
  };
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

void TEqualizerForm::LoadPreset(const EqualizerValues& values) {
  for (int i = 0; i < kEqualizerSliders; ++i) {
    values_[size_t(i)] = ClampSliderValue(values[size_t(i)]);
    TGVTrack* track = Track(i);
    track->SetPosition(KnobTopOfValue(values_[size_t(i)], track->Range()));
  }
  // A preset chosen is meant to be heard.
  settings_.eqEnabled = 1;
  EnableCheckBox()->setChecked(true);
  RebuildRecord();
  if (onChange) onChange();
}

QMenu* TEqualizerForm::BuildPresetMenu() {
  presetMenu_->clear();
  // The old submenu goes with its actions.
  for (QMenu* old : presetMenu_->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly)) delete old;
  for (const EqualizerPreset& preset : BuiltInEqualizerPresets()) {
    const EqualizerValues values = preset.values;
    presetMenu_->addAction(QString::fromStdString(preset.name), this, [this, values] { LoadPreset(values); });
  }
  auto user = presets_.UserPresets();
  const std::vector<EqualizerPreset> mine = user ? user.Value() : std::vector<EqualizerPreset>{};
  if (!mine.empty()) presetMenu_->addSeparator();
  for (const EqualizerPreset& preset : mine) {
    const EqualizerValues values = preset.values;
    presetMenu_->addAction(QString::fromStdString(preset.name), this, [this, values] { LoadPreset(values); });
  }
  presetMenu_->addSeparator();
  QAction* save = presetMenu_->addAction(QStringLiteral("Save Preset..."), this, &TEqualizerForm::SavePresetClick);
  QMenu* remove = presetMenu_->addMenu(QStringLiteral("Delete Preset"));
  remove->setObjectName(QStringLiteral("DeletePresetMenu"));
  for (const EqualizerPreset& preset : mine) {
    const std::string name = preset.name;
    remove->addAction(QString::fromStdString(name), this, [this, name] { DeletePresetClick(name); });
  }
  remove->setEnabled(!mine.empty());
  // A settings file that cannot be read: nothing can be saved into it either.
  if (!user) {
    save->setEnabled(false);
    save->setToolTip(QString::fromStdString(user.Error().text));
  }
  return presetMenu_;
}

void TEqualizerForm::SavePresetClick() {
  if (!askPresetName) return;
  QString suggestion;
  while (true) {
    const std::optional<QString> name = askPresetName(suggestion);
    if (!name) return;
    const auto saved = presets_.Save(name->toStdString(), values_);
    if (saved) return;
    if (showPresetError) showPresetError(QString::fromStdString(saved.Error().text));
    // A name refused for itself is asked again; a file that cannot be written is not.
    if (saved.Error().category != ErrorCategory::Usage) return;
    suggestion = *name;
  }
}

void TEqualizerForm::DeletePresetClick(const std::string& name) {
  const Outcome deleted = presets_.Delete(name);
  if (!deleted && showPresetError) showPresetError(QString::fromStdString(deleted.Error().text));
}

void TEqualizerForm::contextMenuEvent(QContextMenuEvent* event) {
  BuildPresetMenu()->popup(event->globalPos());
  event->accept();
}

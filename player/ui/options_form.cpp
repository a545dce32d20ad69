// TOptionsForm: the Setup window and its size rule.
#include "player/ui/options_form.h"

#include <QFileDialog>
#include <QMessageBox>

#include "common/ui/screen_fit.h"
#include "player/skin/skin_folder.h"

using player::TOptionsForm;

TOptionsForm::TOptionsForm(PlayerSettings& settings, LoadDisplayFn loadDisplay, QWidget* parent)
    : QDialog(parent), settings_(settings), loadDisplay_(std::move(loadDisplay)) {
  setWindowTitle(QStringLiteral("Setup"));
  // Controls in tab order, placed as the form lays them out.
  LoadDisplayButton = new QPushButton(QStringLiteral("Load &Display"), this);
  LoadDisplayButton->setGeometry(16, 16, 160, 30);
  SkinComboBox = new QComboBox(this);
  SkinComboBox->setGeometry(188, 16, 196, 30);
  SkinComboBox->setToolTip(QStringLiteral("Installed skins"));
  ConfigurePlugInButton = new QPushButton(QStringLiteral("Configure &PlugIn"), this);
  ConfigurePlugInButton->setGeometry(16, 58, 160, 30);
  ConfigurePlugInButton->setEnabled(false);
  PlugInComboBox = new QComboBox(this);
  PlugInComboBox->setGeometry(188, 58, 196, 30);
  PlugInComboBox->setEnabled(false);
  ContinuousPlayCheckBox = new QCheckBox(QStringLiteral("&Continuous Play"), this);
  ContinuousPlayCheckBox->setGeometry(16, 104, 240, 24);
  // The sound server's output (else the sound card's own device).
  UseDirectSoundCheckBox = new QCheckBox(QStringLiteral("Use PulseAudio"), this);
  UseDirectSoundCheckBox->setGeometry(16, 132, 240, 24);
  // Off: the two-second pause between entries.
  GaplessPlaybackCheckBox = new QCheckBox(QStringLiteral("&Gapless playback"), this);
  GaplessPlaybackCheckBox->setGeometry(16, 160, 240, 24);
  // ReplayGain: the loudness the tags ask for; the engines take it up as an entry opens.
  const QString fromNextEntry = QStringLiteral("Applies from the next entry played");
  ReplayGainLabel = new QLabel(QStringLiteral("&ReplayGain:"), this);
  ReplayGainLabel->setGeometry(16, 196, 90, 30);
  ReplayGainComboBox = new QComboBox(this);
  ReplayGainComboBox->addItems({QStringLiteral("Off"), QStringLiteral("Track"), QStringLiteral("Album")});
  ReplayGainComboBox->setGeometry(110, 196, 146, 30);
  ReplayGainComboBox->setToolTip(QStringLiteral("The track's or the album's gain from the tags. ") + fromNextEntry);
  ReplayGainLabel->setBuddy(ReplayGainComboBox);
  ReplayGainPreampLabel = new QLabel(QStringLiteral("Pre-&amp:"), this);
  ReplayGainPreampLabel->setGeometry(16, 232, 90, 30);
  ReplayGainPreampSpinBox = new QSpinBox(this);
  ReplayGainPreampSpinBox->setRange(-kReplayGainPreampLimitDb, kReplayGainPreampLimitDb);
  ReplayGainPreampSpinBox->setSuffix(QStringLiteral(" dB"));
  ReplayGainPreampSpinBox->setGeometry(110, 232, 146, 30);
  ReplayGainPreampSpinBox->setToolTip(QStringLiteral("Added to the gain of the tags. ") + fromNextEntry);
  ReplayGainPreampLabel->setBuddy(ReplayGainPreampSpinBox);
  OKButton = new QPushButton(QStringLiteral("&OK"), this);
  OKButton->setGeometry(300, 232, 84, 30);
  OKButton->setDefault(true);
  LoadDisplayButton->setObjectName(QStringLiteral("LoadDisplayButton"));
  SkinComboBox->setObjectName(QStringLiteral("SkinComboBox"));
  GaplessPlaybackCheckBox->setObjectName(QStringLiteral("GaplessPlaybackCheckBox"));
  ConfigurePlugInButton->setObjectName(QStringLiteral("ConfigurePlugInButton"));
  PlugInComboBox->setObjectName(QStringLiteral("PlugInComboBox"));
  ContinuousPlayCheckBox->setObjectName(QStringLiteral("ContinuousPlayCheckBox"));
  UseDirectSoundCheckBox->setObjectName(QStringLiteral("UseDirectSoundCheckBox"));
  ReplayGainComboBox->setObjectName(QStringLiteral("ReplayGainComboBox"));
  ReplayGainPreampSpinBox->setObjectName(QStringLiteral("ReplayGainPreampSpinBox"));
  OKButton->setObjectName(QStringLiteral("OKButton"));
  setTabOrder(LoadDisplayButton, SkinComboBox);
  setTabOrder(SkinComboBox, ContinuousPlayCheckBox);
  setTabOrder(ContinuousPlayCheckBox, UseDirectSoundCheckBox);
  setTabOrder(UseDirectSoundCheckBox, GaplessPlaybackCheckBox);
  setTabOrder(GaplessPlaybackCheckBox, ReplayGainComboBox);
  setTabOrder(ReplayGainComboBox, ReplayGainPreampSpinBox);
  setTabOrder(ReplayGainPreampSpinBox, OKButton);

  connect(LoadDisplayButton, &QPushButton::clicked, this, &TOptionsForm::LoadDisplayButtonClick);
  connect(OKButton, &QPushButton::clicked, this, &TOptionsForm::OKButtonClick);
  connect(SkinComboBox, &QComboBox::activated, this, &TOptionsForm::SkinComboBoxActivated);

  chooseFolder_ = [](QWidget* p) { return QFileDialog::getExistingDirectory(p, QStringLiteral("Select Directory")); };
  showError_ = [](QWidget* p, const QString& caption, const QString& text) { QMessageBox::critical(p, caption, text); };

  // The stored geometry is applied once, fitted to the screen; the size follows the OK
  // button when shown.
  const WindowRect fitted = FitToItsScreen(
      {settings_.optionsFormLeft, settings_.optionsFormTop, settings_.optionsFormWidth, settings_.optionsFormHeight});
  move(fitted.left, fitted.top);
  resize(fitted.width, fitted.height);
}

void TOptionsForm::SetDialogs(ChooseFolderFn chooseFolder, ShowErrorFn showError) {
  chooseFolder_ = std::move(chooseFolder);
  showError_ = std::move(showError);
}

void TOptionsForm::ListSkins() {
  SkinComboBox->clear();
  for (const InstalledSkin& skin : InstalledSkins()) {
    const QString name = QString::fromStdString(skin.name);
    SkinComboBox->addItem(skin.own ? QStringLiteral("%1 (own)").arg(name) : name, QString::fromStdString(skin.folder));
  }
  // Nothing is chosen until the user picks a skin: the active one may be none of these.
  SkinComboBox->setCurrentIndex(-1);
  SkinComboBox->setPlaceholderText(QStringLiteral("Choose a skin"));
  SkinComboBox->setEnabled(SkinComboBox->count() > 0);
}

void TOptionsForm::Load(const PlayerSettings& settings) {
  ContinuousPlayCheckBox->setChecked(settings.continuousPlay != 0);
  UseDirectSoundCheckBox->setChecked(settings.useDirectSound != 0);
  GaplessPlaybackCheckBox->setChecked(settings.gaplessPlayback != 0);
  // A number the file should not hold (edited by hand) shows as what plays: Track.
  const int mode = settings.replayGainMode;
  ReplayGainComboBox->setCurrentIndex(mode >= 0 && mode < ReplayGainComboBox->count() ? mode : 1);
  ReplayGainPreampSpinBox->setValue(settings.replayGainPreamp);  // held within its range
}

void TOptionsForm::Save(PlayerSettings& settings) const {
  settings.continuousPlay = ContinuousPlayCheckBox->isChecked() ? 1 : 0;
  settings.useDirectSound = UseDirectSoundCheckBox->isChecked() ? 1 : 0;
  settings.gaplessPlayback = GaplessPlaybackCheckBox->isChecked() ? 1 : 0;
  settings.replayGainMode = ReplayGainComboBox->currentIndex();
  settings.replayGainPreamp = ReplayGainPreampSpinBox->value();
}

void TOptionsForm::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TOptionsForm::FormShow() {
  Load(settings_);
  ListSkins();
  const QRect ok = OKButton->geometry();
  setFixedSize(ok.left() + ok.width() * 5 / 4, ok.top() + ok.height() * 3);
}

void TOptionsForm::LoadDisplayButtonClick() {
  const QString folder = chooseFolder_(this);
  if (folder.isEmpty()) return;
  const QString error = loadDisplay_ ? loadDisplay_(folder) : QString();
  if (!error.isEmpty()) showError_(this, QStringLiteral("Error"), error);
  // A choice closes the window without OK: check-box changes made before are discarded.
  reject();
}

void TOptionsForm::SkinComboBoxActivated(int index) {
  const QString folder = SkinComboBox->itemData(index).toString();
  if (folder.isEmpty() || !loadDisplay_) return;
  const QString error = loadDisplay_(folder);
  if (!error.isEmpty()) showError_(this, QStringLiteral("Error"), error);
}

void TOptionsForm::OKButtonClick() {
  Save(settings_);
  accept();
}

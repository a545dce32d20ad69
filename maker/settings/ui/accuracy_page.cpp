// The accuracy page: its controls, their enabling and the settings behind them.
#include "maker/settings/ui/accuracy_page.h"

#include <QGridLayout>
#include <QVBoxLayout>
#include <algorithm>

namespace {

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

}  // namespace

TAccuracyPage::TAccuracyPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("AccuracyTabSheet"));

  AccurateRipGroupBox = Named(new QGroupBox(QStringLiteral("AccurateRip"), this), "AccurateRipGroupBox");
  AccurateRipCheckBox = Named(new QCheckBox(QStringLiteral("&Verify every rip with AccurateRip"), AccurateRipGroupBox),
                              "AccurateRipCheckBox");
  AccurateRipCheckBox->setToolTip(
      QStringLiteral("Compare the checksums of each ripped track with the rips of other people"));
  AccurateRipServerLabel = Named(new QLabel(QStringLiteral("S&erver:"), AccurateRipGroupBox), "AccurateRipServerLabel");
  AccurateRipServerEdit = Named(new QLineEdit(AccurateRipGroupBox), "AccurateRipServerEdit");
  AccurateRipServerEdit->setToolTip(QStringLiteral("Address of the AccurateRip database (http:// or https://)"));
  AccurateRipServerEdit->setMaxLength(int(kSettingPathBytes) - 1);
  AccurateRipServerLabel->setBuddy(AccurateRipServerEdit);
  auto* database = new QGridLayout(AccurateRipGroupBox);
  database->addWidget(AccurateRipCheckBox, 0, 0, 1, 2);
  database->addWidget(AccurateRipServerLabel, 1, 0);
  database->addWidget(AccurateRipServerEdit, 1, 1);
  database->setColumnStretch(1, 1);

  ReadOffsetGroupBox = Named(new QGroupBox(QStringLiteral("Drive Read Offset"), this), "ReadOffsetGroupBox");
  ReadOffsetDriveCaptionLabel = Named(new QLabel(QStringLiteral("Drive:"), ReadOffsetGroupBox), "ReadOffsetDriveCaptionLabel");
  ReadOffsetDriveLabel = Named(new QLabel(ReadOffsetGroupBox), "ReadOffsetDriveLabel");
  ReadOffsetLabel = Named(new QLabel(QStringLiteral("Read o&ffset (samples):"), ReadOffsetGroupBox), "ReadOffsetLabel");
  ReadOffsetSpinBox = Named(new QSpinBox(ReadOffsetGroupBox), "ReadOffsetSpinBox");
  ReadOffsetSpinBox->setRange(-kReadOffsetLimit, kReadOffsetLimit);
  ReadOffsetSpinBox->setToolTip(
      QStringLiteral("Samples by which this drive model shifts what it reads; applied to every rip from it"));
  ReadOffsetLabel->setBuddy(ReadOffsetSpinBox);
  FindReadOffsetButton = Named(new QPushButton(QStringLiteral("F&ind..."), ReadOffsetGroupBox), "FindReadOffsetButton");
  FindReadOffsetButton->setToolTip(
      QStringLiteral("Find the offset by ripping tracks of a disc that AccurateRip knows"));
  auto* offset = new QGridLayout(ReadOffsetGroupBox);
  offset->addWidget(ReadOffsetDriveCaptionLabel, 0, 0);
  offset->addWidget(ReadOffsetDriveLabel, 0, 1, 1, 3);
  offset->addWidget(ReadOffsetLabel, 1, 0);
  offset->addWidget(ReadOffsetSpinBox, 1, 1);
  offset->addWidget(FindReadOffsetButton, 1, 2);
  offset->setColumnStretch(3, 1);

  SecureGroupBox = Named(new QGroupBox(QStringLiteral("Secure Reading"), this), "SecureGroupBox");
  SecureModeCheckBox = Named(new QCheckBox(QStringLiteral("&Secure mode: read each track twice and compare"), SecureGroupBox),
                             "SecureModeCheckBox");
  SecureModeCheckBox->setToolTip(QStringLiteral("Test and copy: the Test CRC and the Copy CRC of a track must agree"));
  SecureRetriesLabel = Named(new QLabel(QStringLiteral("Re&tries when the reads differ:"), SecureGroupBox), "SecureRetriesLabel");
  SecureRetriesSpinBox = Named(new QSpinBox(SecureGroupBox), "SecureRetriesSpinBox");
  SecureRetriesSpinBox->setRange(0, kSecureRetriesLimit);
  SecureRetriesSpinBox->setToolTip(
      QStringLiteral("A track whose reads never agree is marked suspicious with the ranges that differed"));
  SecureRetriesLabel->setBuddy(SecureRetriesSpinBox);
  BurstThenVerifyCheckBox =
      Named(new QCheckBox(QStringLiteral("&Burst, then verify: re-read only tracks AccurateRip does not prove"), SecureGroupBox),
            "BurstThenVerifyCheckBox");
  BurstThenVerifyCheckBox->setToolTip(
      QStringLiteral("Read every track once at full speed; tracks proven accurate are not read twice"));
  auto* secure = new QGridLayout(SecureGroupBox);
  secure->addWidget(SecureModeCheckBox, 0, 0, 1, 3);
  secure->addWidget(SecureRetriesLabel, 1, 0);
  secure->addWidget(SecureRetriesSpinBox, 1, 1);
  secure->addWidget(BurstThenVerifyCheckBox, 2, 0, 1, 3);
  secure->setColumnStretch(2, 1);

  CoverArtGroupBox = Named(new QGroupBox(QStringLiteral("Cover Art"), this), "CoverArtGroupBox");
  CoverArtCheckBox =
      Named(new QCheckBox(QStringLiteral("Fetch the front cover &when the CD names come from MusicBrainz"), CoverArtGroupBox),
            "CoverArtCheckBox");
  CoverArtCheckBox->setToolTip(
      QStringLiteral("Embed the release's front cover in every file and save it as cover.jpg or cover.png beside them"));
  CoverArtServerLabel = Named(new QLabel(QStringLiteral("Cover &art server:"), CoverArtGroupBox), "CoverArtServerLabel");
  CoverArtServerEdit = Named(new QLineEdit(CoverArtGroupBox), "CoverArtServerEdit");
  CoverArtServerEdit->setToolTip(QStringLiteral("Address of the Cover Art Archive (http:// or https://)"));
  CoverArtServerEdit->setMaxLength(int(kSettingPathBytes) - 1);
  CoverArtServerLabel->setBuddy(CoverArtServerEdit);
  auto* cover = new QGridLayout(CoverArtGroupBox);
  cover->addWidget(CoverArtCheckBox, 0, 0, 1, 2);
  cover->addWidget(CoverArtServerLabel, 1, 0);
  cover->addWidget(CoverArtServerEdit, 1, 1);
  cover->setColumnStretch(1, 1);

  auto* page = new QVBoxLayout(this);
  page->addWidget(AccurateRipGroupBox);
  page->addWidget(ReadOffsetGroupBox);
  page->addWidget(SecureGroupBox);
  page->addWidget(CoverArtGroupBox);
  page->addStretch();

  for (QCheckBox* box : {AccurateRipCheckBox, SecureModeCheckBox, BurstThenVerifyCheckBox, CoverArtCheckBox})
    connect(box, &QCheckBox::toggled, this, &TAccuracyPage::UpdateEnabling);
  SetDrive({}, {});
}

void TAccuracyPage::SetDrive(const std::string& key, const std::string& name) {
  driveKey_ = key;
  ReadOffsetDriveLabel->setText(QString::fromStdString(name));
  UpdateEnabling();
}

void TAccuracyPage::Load(const SettingsTable& settings) {
  AccurateRipCheckBox->setChecked(settings.accurateRip != 0);
  AccurateRipServerEdit->setText(QString::fromStdString(settings.accurateRipServer.str()));
  ReadOffsetSpinBox->setValue(driveKey_.empty() ? 0 : settings.ReadOffsetFor(driveKey_));
  SecureModeCheckBox->setChecked(settings.secureMode != 0);
  SecureRetriesSpinBox->setValue(std::clamp(settings.secureRetries, 0, kSecureRetriesLimit));
  BurstThenVerifyCheckBox->setChecked(settings.burstThenVerify != 0);
  CoverArtCheckBox->setChecked(settings.coverArt != 0);
  CoverArtServerEdit->setText(QString::fromStdString(settings.coverArtServer.str()));
  UpdateEnabling();
}

void TAccuracyPage::Save(SettingsTable& settings) const {
  settings.accurateRip = AccurateRipCheckBox->isChecked();
  // An emptied address means the database's own, not no server at all.
  const QString server = AccurateRipServerEdit->text().trimmed();
  settings.accurateRipServer = server.isEmpty() ? MakerSettingDefaults().accurateRipServer.str() : server.toStdString();
  if (!driveKey_.empty()) {
    const int offset = ReadOffsetSpinBox->value();
    if (offset != 0 || settings.readOffsets.contains(driveKey_)) settings.SetReadOffset(driveKey_, offset);
  }
  settings.secureMode = SecureModeCheckBox->isChecked();
  settings.secureRetries = SecureRetriesSpinBox->value();
  settings.burstThenVerify = BurstThenVerifyCheckBox->isChecked();
  settings.coverArt = CoverArtCheckBox->isChecked();
  const QString coverServer = CoverArtServerEdit->text().trimmed();
  settings.coverArtServer =
      coverServer.isEmpty() ? MakerSettingDefaults().coverArtServer.str() : coverServer.toStdString();
}

void TAccuracyPage::UpdateEnabling() {
  // The server is asked, and burst then verify can prove tracks, only with AccurateRip.
  const bool accurateRip = AccurateRipCheckBox->isChecked();
  AccurateRipServerLabel->setEnabled(accurateRip);
  AccurateRipServerEdit->setEnabled(accurateRip);
  BurstThenVerifyCheckBox->setEnabled(accurateRip);
  // The retries count for the secure mode and for the secure re-reads of burst then verify.
  const bool secureReads = SecureModeCheckBox->isChecked() || (accurateRip && BurstThenVerifyCheckBox->isChecked());
  SecureRetriesLabel->setEnabled(secureReads);
  SecureRetriesSpinBox->setEnabled(secureReads);
  const bool cover = CoverArtCheckBox->isChecked();
  CoverArtServerLabel->setEnabled(cover);
  CoverArtServerEdit->setEnabled(cover);
  // The offset belongs to a drive. Find asks the database when the person asks for it,
  // whether or not rips are verified.
  const bool drive = !driveKey_.empty();
  ReadOffsetLabel->setEnabled(drive);
  ReadOffsetSpinBox->setEnabled(drive);
  FindReadOffsetButton->setEnabled(drive);
}

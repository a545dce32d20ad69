// The CD reader page: its controls, their enabling and the settings behind them.
#include "maker/settings/ui/cd_reader_page.h"

#include <QGridLayout>
#include <QVBoxLayout>

#include "maker/settings/option_lists.h"
#include "maker/settings/ui/option_controls.h"

namespace {

QCheckBox* NewCheckBox(QWidget* parent, const char* name, const char* caption) {
  auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

}  // namespace

TCDReaderPage::TCDReaderPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("CDTabSheet"));

  ReaderGroupBox = new QGroupBox(QStringLiteral("CD Reader"), this);
  ReaderGroupBox->setObjectName(QStringLiteral("ReaderGroupBox"));
  ReadSectorComboBox = NewListComboBox(ReaderGroupBox, "ReadSectorComboBox", SectorsPerReadEntries());
  JitterCorrectionCheckBox = NewCheckBox(ReaderGroupBox, "JitterCorrectionCheckBox", "Correct &Jitters");
  OverlapPercentComboBox = NewListComboBox(ReaderGroupBox, "OverlapPercentComboBox", OverlapEntries());
  SyncMisalignRetryComboBox =
      NewListComboBox(ReaderGroupBox, "SyncMisalignRetryComboBox", SyncCorrectionRetryEntries());
  SyncNoMatchRetryComboBox = NewListComboBox(ReaderGroupBox, "SyncNoMatchRetryComboBox", SyncErrorRetryEntries());
  NormalizeCheckBox = NewCheckBox(ReaderGroupBox, "NormalizeCheckBox", "&Normalize to:");
  NormalizePercentComboBox = NewListComboBox(ReaderGroupBox, "NormalizePercentComboBox", NormalizePercentEntries());
  NormalizeMinSignalComboBox = NewListComboBox(ReaderGroupBox, "NormalizeMinSignalComboBox", NormalizeMinEntries());
  NormalizeMaxSignalComboBox = NewListComboBox(ReaderGroupBox, "NormalizeMaxSignalComboBox", NormalizeMaxEntries());

  EncoderJobsLabel = new QLabel(QStringLiteral("&Encoders at once:"), ReaderGroupBox);
  EncoderJobsLabel->setObjectName(QStringLiteral("EncoderJobsLabel"));
  EncoderJobsSpinBox = new QSpinBox(ReaderGroupBox);
  EncoderJobsSpinBox->setObjectName(QStringLiteral("EncoderJobsSpinBox"));
  EncoderJobsSpinBox->setRange(0, kMaxEncoderJobs);
  EncoderJobsSpinBox->setSpecialValueText(QStringLiteral("Automatic"));
  EncoderJobsSpinBox->setToolTip(
      QStringLiteral("How many tracks a CD run encodes at once while the next track is read; Automatic is one per "
                     "processor"));
  EncoderJobsLabel->setBuddy(EncoderJobsSpinBox);

  auto* reader = new QGridLayout(ReaderGroupBox);
  reader->addWidget(ReadSectorComboBox, 0, 0);
  reader->addWidget(JitterCorrectionCheckBox, 1, 0);
  reader->addWidget(OverlapPercentComboBox, 1, 1);
  reader->addWidget(SyncMisalignRetryComboBox, 2, 1);
  reader->addWidget(SyncNoMatchRetryComboBox, 3, 1);
  reader->addWidget(NormalizeCheckBox, 4, 0);
  reader->addWidget(NormalizePercentComboBox, 4, 1);
  reader->addWidget(NormalizeMinSignalComboBox, 5, 1);
  reader->addWidget(NormalizeMaxSignalComboBox, 6, 1);
  reader->addWidget(EncoderJobsLabel, 7, 0);
  reader->addWidget(EncoderJobsSpinBox, 7, 1);

  CDReadMethodGroupBox = new QGroupBox(QStringLiteral("CD Access Method"), this);
  CDReadMethodGroupBox->setObjectName(QStringLiteral("CDReadMethodGroupBox"));
  UseASPIRadioButton = new QRadioButton(QStringLiteral("Use SCSI &pass-through"), CDReadMethodGroupBox);
  UseASPIRadioButton->setObjectName(QStringLiteral("UseASPIRadioButton"));
  UseWinNTRawReadRadioButton = new QRadioButton(QStringLiteral("Use the OS CD &interface"), CDReadMethodGroupBox);
  UseWinNTRawReadRadioButton->setObjectName(QStringLiteral("UseWinNTRawReadRadioButton"));
  ASPIReadModeComboBox = NewListComboBox(CDReadMethodGroupBox, "ASPIReadModeComboBox", ReadModeEntries());
  AdjustCDSpeedCheckBox = NewCheckBox(CDReadMethodGroupBox, "AdjustCDSpeedCheckBox", "Adjust &Speed");
  CDSpeedComboBox = NewListComboBox(CDReadMethodGroupBox, "CDSpeedComboBox", CdSpeedEntries());

  ReadSectorComboBox->setToolTip(QStringLiteral("Number of sectors read from the CD at a time"));
  OverlapPercentComboBox->setToolTip(QStringLiteral("Overlap of successive reads that jitter correction compares"));
  SyncMisalignRetryComboBox->setToolTip(QStringLiteral("How often a read that cannot be lined up is retried"));
  SyncNoMatchRetryComboBox->setToolTip(QStringLiteral("How often a read without a match is retried"));
  NormalizePercentComboBox->setToolTip(QStringLiteral("Level the tracks are normalized to"));
  NormalizeMinSignalComboBox->setToolTip(QStringLiteral("Normalize a track only when its peak is below this level"));
  NormalizeMaxSignalComboBox->setToolTip(QStringLiteral("... or when its peak is above this level"));
  CDSpeedComboBox->setToolTip(QStringLiteral("Reading speed of the CD drive"));

  auto* method = new QGridLayout(CDReadMethodGroupBox);
  method->addWidget(UseASPIRadioButton, 0, 0);
  method->addWidget(ASPIReadModeComboBox, 0, 1);
  method->addWidget(UseWinNTRawReadRadioButton, 1, 0);
  method->addWidget(AdjustCDSpeedCheckBox, 2, 0);
  method->addWidget(CDSpeedComboBox, 2, 1);

  auto* page = new QVBoxLayout(this);
  page->addWidget(ReaderGroupBox);
  page->addWidget(CDReadMethodGroupBox);
  page->addStretch();

  for (QAbstractButton* button : {static_cast<QAbstractButton*>(JitterCorrectionCheckBox),
                                  static_cast<QAbstractButton*>(NormalizeCheckBox),
                                  static_cast<QAbstractButton*>(AdjustCDSpeedCheckBox),
                                  static_cast<QAbstractButton*>(UseASPIRadioButton),
                                  static_cast<QAbstractButton*>(UseWinNTRawReadRadioButton)}) {
    connect(button, &QAbstractButton::toggled, this, &TCDReaderPage::UpdateEnabling);
  }
}

void TCDReaderPage::Load(const SettingsTable& settings) {
  passThroughAvailable_ = settings.PassThroughAvailable();
  SelectSetting(ReadSectorComboBox, settings, &MakerSettingValues::readSector);
  JitterCorrectionCheckBox->setChecked(settings.jitterCorrection != 0);
  SelectSetting(OverlapPercentComboBox, settings, &MakerSettingValues::overlapPercent);
  SelectSetting(SyncMisalignRetryComboBox, settings, &MakerSettingValues::maxSyncMisalignRetry);
  SelectSetting(SyncNoMatchRetryComboBox, settings, &MakerSettingValues::maxSyncNoMatchRetry);
  NormalizeCheckBox->setChecked(settings.normalize != 0);
  // These three store the percentage itself, 1 ... 100.
  SelectSetting(NormalizePercentComboBox, settings, &MakerSettingValues::normalizePercent, 1);
  SelectSetting(NormalizeMinSignalComboBox, settings, &MakerSettingValues::normalizeMin, 1);
  SelectSetting(NormalizeMaxSignalComboBox, settings, &MakerSettingValues::normalizeMax, 1);
  // A stored count out of range is automatic, as the runs take it.
  EncoderJobsSpinBox->setValue(settings.encoderJobs >= 1 && settings.encoderJobs <= kMaxEncoderJobs
                                   ? settings.encoderJobs
                                   : 0);
  const bool osInterface = settings.useWinNtRawRead != 0;
  UseWinNTRawReadRadioButton->setChecked(osInterface);
  UseASPIRadioButton->setChecked(!osInterface);
  SelectSetting(ASPIReadModeComboBox, settings, &MakerSettingValues::aspiReadMode);
  AdjustCDSpeedCheckBox->setChecked(settings.adjustCdSpeed != 0);
  SelectSetting(CDSpeedComboBox, settings, &MakerSettingValues::cdSpeed);
  UpdateEnabling();
}

void TCDReaderPage::Save(SettingsTable& settings) const {
  settings.readSector = ReadSectorComboBox->currentIndex();
  settings.jitterCorrection = JitterCorrectionCheckBox->isChecked();
  settings.overlapPercent = OverlapPercentComboBox->currentIndex();
  settings.maxSyncMisalignRetry = SyncMisalignRetryComboBox->currentIndex();
  settings.maxSyncNoMatchRetry = SyncNoMatchRetryComboBox->currentIndex();
  settings.normalize = NormalizeCheckBox->isChecked();
  settings.normalizePercent = NormalizePercentComboBox->currentIndex() + 1;
  settings.normalizeMin = NormalizeMinSignalComboBox->currentIndex() + 1;
  settings.normalizeMax = NormalizeMaxSignalComboBox->currentIndex() + 1;
  settings.encoderJobs = EncoderJobsSpinBox->value();
  settings.useWinNtRawRead = UseWinNTRawReadRadioButton->isChecked();
  settings.aspiReadMode = ASPIReadModeComboBox->currentIndex();
  settings.adjustCdSpeed = AdjustCDSpeedCheckBox->isChecked();
  settings.cdSpeed = CDSpeedComboBox->currentIndex();
}

void TCDReaderPage::UpdateEnabling() {
  const bool jitter = JitterCorrectionCheckBox->isChecked();
  OverlapPercentComboBox->setEnabled(jitter);
  SyncMisalignRetryComboBox->setEnabled(jitter);
  SyncNoMatchRetryComboBox->setEnabled(jitter);
  const bool normalize = NormalizeCheckBox->isChecked();
  NormalizePercentComboBox->setEnabled(normalize);
  NormalizeMinSignalComboBox->setEnabled(normalize);
  NormalizeMaxSignalComboBox->setEnabled(normalize);
  CDSpeedComboBox->setEnabled(AdjustCDSpeedCheckBox->isChecked());
  ASPIReadModeComboBox->setEnabled(UseASPIRadioButton->isChecked());
  UseASPIRadioButton->setEnabled(passThroughAvailable_);
  UseWinNTRawReadRadioButton->setEnabled(SettingsTable::OsCdInterfaceAvailable());
}

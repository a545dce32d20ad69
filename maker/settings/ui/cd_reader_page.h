// The "CD Reader Settings" page of the options window: how tracks are read (sectors per
// read, jitter correction, normalization), how many tracks a CD run encodes at once, and
// how the drive is reached.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QWidget>

#include "maker/settings/settings_table.h"

class TCDReaderPage : public QWidget {
  Q_OBJECT
 public:
  explicit TCDReaderPage(QWidget* parent = nullptr);

  // The controls from the settings (and whether SCSI pass-through can be offered), and back.
  void Load(const SettingsTable& settings);
  void Save(SettingsTable& settings) const;
  // Enables each control by the choices it depends on.
  void UpdateEnabling();

  QGroupBox* ReaderGroupBox;
  QComboBox* ReadSectorComboBox;
  QCheckBox* JitterCorrectionCheckBox;
  QComboBox* OverlapPercentComboBox;
  QComboBox* SyncMisalignRetryComboBox;
  QComboBox* SyncNoMatchRetryComboBox;
  QCheckBox* NormalizeCheckBox;
  QComboBox* NormalizePercentComboBox;
  QComboBox* NormalizeMinSignalComboBox;
  QComboBox* NormalizeMaxSignalComboBox;
  // How many read tracks a CD to MP3 run encodes at once (EncoderJobs): 0 shows
  // "Automatic", one per processor.
  QLabel* EncoderJobsLabel;
  QSpinBox* EncoderJobsSpinBox;

  QGroupBox* CDReadMethodGroupBox;
  QRadioButton* UseASPIRadioButton;
  QRadioButton* UseWinNTRawReadRadioButton;
  QComboBox* ASPIReadModeComboBox;
  QCheckBox* AdjustCDSpeedCheckBox;
  QComboBox* CDSpeedComboBox;

 private:
  bool passThroughAvailable_ = false;
};

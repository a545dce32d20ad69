// The "CD Reader Settings" page of the options window: how tracks are read (sectors per
// read, jitter correction, normalization) and how the drive is reached.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QRadioButton>
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

  QGroupBox* CDReadMethodGroupBox;
  QRadioButton* UseASPIRadioButton;
  QRadioButton* UseWinNTRawReadRadioButton;
  QComboBox* ASPIReadModeComboBox;
  QCheckBox* AdjustCDSpeedCheckBox;
  QComboBox* CDSpeedComboBox;

 private:
  bool passThroughAvailable_ = false;
};

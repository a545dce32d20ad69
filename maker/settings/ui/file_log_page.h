// The "File and Log options" page of the options window: what each operation deletes on
// success or on error, overwrite confirmation, and clearing the logs at Start.
#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QWidget>

#include "maker/settings/settings_table.h"

class TFileLogPage : public QWidget {
  Q_OBJECT
 public:
  explicit TFileLogPage(QWidget* parent = nullptr);

  void Load(const SettingsTable& settings);
  void Save(SettingsTable& settings) const;

  QGroupBox* FileLogGroupBox;
  QCheckBox* CD2MP3DeleteTempOnSuccesCheckBox;
  QCheckBox* CD2MP3DeleteTempOnErrorCheckBox;
  QCheckBox* CD2MP3DeleteMP3OnErroCheckBox;
  QCheckBox* CD2WAVDeleteWAVOnErrorCheckBox;
  QCheckBox* WAV2MP3DeleteWAVOnSuccesCheckBox;
  QCheckBox* WAV2MP3DeleteMP3OnErrorCheckBox;
  QCheckBox* MP32WAVDeleteMP3OnSuccesCheckBox;
  QCheckBox* MP32WAVDeleteWAVOnErrorCheckBox;
  QCheckBox* ConfirmOverwriteCheckBox;
  QCheckBox* ClearReaderLogCheckBox;
  QCheckBox* ClearEncoderLogCheckBox;

 private:
  // Each box with the setting it carries, in the settings' order.
  std::vector<std::pair<QCheckBox*, int MakerSettingValues::*>> Boxes() const;
};

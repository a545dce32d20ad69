// The "MP3 Settings" page of the options window: the output format (MPEG-1, MPEG-2, AAC,
// M4A, FLAC, Ogg Vorbis, Opus or an external program), its rate or quality, the channels,
// the encoder switches, and when ReplayGain tags are written.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QWidget>

#include "maker/settings/settings_table.h"

class TEncodingPage : public QWidget {
  Q_OBJECT
 public:
  explicit TEncodingPage(QWidget* parent = nullptr);

  void Load(const SettingsTable& settings);
  // Stores the controls; the external program list's edited text becomes a new entry at
  // the top when it is not in the list yet.
  void Save(SettingsTable& settings) const;
  // Enables each control by the chosen encoder.
  void UpdateEnabling();

  QGroupBox* EncodingGroupBox;
  QComboBox* ChannelsComboBox;
  QRadioButton* UseMPEG1RadioButton;
  QComboBox* MPEG1BitRateComboBox;
  QRadioButton* UseMPEG2RadioButton;
  QComboBox* MPEG2BitRateComboBox;
  QRadioButton* UseAACRadioButton;
  QComboBox* AACBitRateComboBox;
  QCheckBox* UseADTSCheckBox;  // AAC files as ADTS frames instead of behind an ADIF header
  QRadioButton* UseM4ARadioButton;
  QComboBox* M4ABitRateComboBox;  // the AAC rates, for AAC in an MP4 file
  QRadioButton* UseFLACRadioButton;
  QComboBox* FlacLevelComboBox;
  QCheckBox* FlacVerifyCheckBox;
  QRadioButton* UseVorbisRadioButton;
  QComboBox* VorbisQualityComboBox;
  QRadioButton* UseOpusRadioButton;
  QComboBox* OpusBitRateComboBox;  // holds a stored rate outside the offered ones as an extra entry
  QRadioButton* UseExternalProgramRadioButton;
  QComboBox* ExternalProgramComboBox;  // editable: a new command can be typed in
  QCheckBox* FastModeCheckBox;
  QCheckBox* UseMMXCheckBox;  // hidden; carries UseMMX
  QCheckBox* UseLTPCheckBox;
  QCheckBox* UseTNSCheckBox;
  QCheckBox* UsePNSCheckBox;  // hidden; carries UsePNS
  QGroupBox* ReplayGainGroupBox;
  QCheckBox* ReplayGainCheckBox;       // after CD runs
  QCheckBox* ReplayGainFilesCheckBox;  // after WAV encode runs, each folder one album

 private:
  void ChannelsComboBoxChange(int index);
  int EncoderMode() const;
  // Shows kbps in the Opus list, adding an entry for a rate the list does not offer.
  void SelectOpusBitRate(int kbps);
};

// The "Accuracy" page of the options window: verifying rips against AccurateRip, the read
// offset of the selected drive (and Find, which the main window runs), secure reading
// (test and copy) with its retries, burst then verify, and the front cover fetched for
// rips named from MusicBrainz.
#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QWidget>
#include <string>

#include "maker/settings/settings_table.h"

// The read offsets a drive can have, in samples; real drives lie well inside.
inline constexpr int kReadOffsetLimit = 3000;
inline constexpr int kSecureRetriesLimit = 20;

class TAccuracyPage : public QWidget {
  Q_OBJECT
 public:
  explicit TAccuracyPage(QWidget* parent = nullptr);

  // The drive whose read offset the page shows: its settings key (CdDriveIdentity::Key())
  // and the name shown ("VENDOR MODEL"). An empty key: no drive, the offset cannot be set.
  void SetDrive(const std::string& key, const std::string& name);
  const std::string& DriveKey() const { return driveKey_; }

  // The controls from the settings (the offset under the drive's key), and back. Save
  // stores the offset only for a drive, and only when one is stored already or it is not
  // 0, so that looking at the page adds no entry to the settings.
  void Load(const SettingsTable& settings);
  void Save(SettingsTable& settings) const;
  // Enables each control by the choices it depends on.
  void UpdateEnabling();

  QGroupBox* AccurateRipGroupBox;
  QCheckBox* AccurateRipCheckBox;
  QLabel* AccurateRipServerLabel;
  QLineEdit* AccurateRipServerEdit;
  QGroupBox* ReadOffsetGroupBox;
  QLabel* ReadOffsetDriveCaptionLabel;  // "Drive:"
  QLabel* ReadOffsetDriveLabel;         // the drive's vendor and model, as the drive gives them
  QLabel* ReadOffsetLabel;              // "Read o&ffset (samples):"
  QSpinBox* ReadOffsetSpinBox;
  QPushButton* FindReadOffsetButton;  // the options window hands its click to the main window
  QGroupBox* SecureGroupBox;
  QCheckBox* SecureModeCheckBox;
  QLabel* SecureRetriesLabel;
  QSpinBox* SecureRetriesSpinBox;
  QCheckBox* BurstThenVerifyCheckBox;
  QGroupBox* CoverArtGroupBox;
  QCheckBox* CoverArtCheckBox;
  QLabel* CoverArtServerLabel;
  QLineEdit* CoverArtServerEdit;

 private:
  std::string driveKey_;
};

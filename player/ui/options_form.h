// TOptionsForm: the player's Setup window — the installed skins to choose from, load a
// skin folder, continuous play, the sound output choice, gapless playback, ReplayGain's
// mode and pre-amp, and two plug-in controls that are always disabled.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <functional>

#include "player/playlist/player_settings.h"

namespace player {

class TOptionsForm : public QDialog {
  Q_OBJECT
 public:
  // Makes a chosen folder the active skin and re-skins the windows; returns the message
  // to show when it could not, else an empty text.
  using LoadDisplayFn = std::function<QString(const QString& folder)>;
  // The folder chooser ("Select Directory"); an empty text when cancelled.
  using ChooseFolderFn = std::function<QString(QWidget* parent)>;
  // A message box with caption and text.
  using ShowErrorFn = std::function<void(QWidget* parent, const QString& caption, const QString& text)>;

  // Takes its position from the stored geometry keys.
  TOptionsForm(PlayerSettings& settings, LoadDisplayFn loadDisplay, QWidget* parent = nullptr);

  // Tests replace the platform's dialogs.
  void SetDialogs(ChooseFolderFn chooseFolder, ShowErrorFn showError);

  // The installed skins (shipped and the user's own) into the skin list; called on
  // show. Tests call it after changing what is installed.
  void ListSkins();

  // The check boxes and the ReplayGain controls from a settings record, and back.
  void Load(const PlayerSettings& settings);
  void Save(PlayerSettings& settings) const;

  QPushButton* LoadDisplayButton;
  // The installed skins: choosing one makes it the active skin at once (the window stays
  // open, so that one can try several).
  QComboBox* SkinComboBox;
  QPushButton* ConfigurePlugInButton;
  QComboBox* PlugInComboBox;
  QCheckBox* ContinuousPlayCheckBox;
  QCheckBox* UseDirectSoundCheckBox;
  QCheckBox* GaplessPlaybackCheckBox;
  // "Off", "Track", "Album": the item's index is the stored ReplayGainMode.
  QLabel* ReplayGainLabel;
  QComboBox* ReplayGainComboBox;
  // Added to the tags' gain, -15 … +15 dB.
  QLabel* ReplayGainPreampLabel;
  QSpinBox* ReplayGainPreampSpinBox;
  QPushButton* OKButton;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
  void LoadDisplayButtonClick();
  void SkinComboBoxActivated(int index);
  void OKButtonClick();

  PlayerSettings& settings_;
  LoadDisplayFn loadDisplay_;
  ChooseFolderFn chooseFolder_;
  ShowErrorFn showError_;
};

}  // namespace player

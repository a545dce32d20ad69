// TOptionsForm: the player's Setup window — load a skin folder, continuous play, the
// sound output choice, and two plug-in controls that are always disabled.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
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

  // The check boxes from a settings record, and back.
  void Load(const PlayerSettings& settings);
  void Save(PlayerSettings& settings) const;

  QPushButton* LoadDisplayButton;
  QPushButton* ConfigurePlugInButton;
  QComboBox* PlugInComboBox;
  QCheckBox* ContinuousPlayCheckBox;
  QCheckBox* UseDirectSoundCheckBox;
  QPushButton* OKButton;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
  void LoadDisplayButtonClick();
  void OKButtonClick();

  PlayerSettings& settings_;
  LoadDisplayFn loadDisplay_;
  ChooseFolderFn chooseFolder_;
  ShowErrorFn showError_;
};

}  // namespace player

// The "Customization" page of the options window: the window language (with who
// translated it and Load Language) and what happens when a run is done.
#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "maker/settings/settings_table.h"

class TCustomizationPage : public QWidget {
  Q_OBJECT
 public:
  explicit TCustomizationPage(QWidget* parent = nullptr);

  void Load(const SettingsTable& settings);
  void Save(SettingsTable& settings) const;

  QGroupBox* CustomizationGroupBox;
  QLabel* LanguageCaptionLabel;    // "Language:", a caption of its own so that a file translates it
  QLabel* LanguageLabel;           // the language the active file names
  QLabel* TranslatorCaptionLabel;  // "Translated by:"
  QLabel* TranslatorLabel;         // who translated it
  QPushButton* LoadLanguageButton;  // the options window handles its click
  QCheckBox* BeepWhenDoneCheckBox;
  QCheckBox* BringToFrontWhenDoneCheckBox;
};

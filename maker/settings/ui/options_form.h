// TOptionsForm: the maker's options window ("zbmaker Options") with its four pages (CD
// reader, encoding, file and log options, customization), OK and Cancel, and Load
// Language.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <QString>
#include <QTabWidget>
#include <functional>

#include "maker/settings/settings_table.h"
#include "maker/settings/ui/translate_form.h"

class TCDReaderPage;
class TEncodingPage;
class TFileLogPage;
class TCustomizationPage;

namespace maker {

class TOptionsForm : public QDialog {
  Q_OBJECT
 public:
  // The file chooser of Load Language, opened on the folder of the shipped language
  // files; an empty text when cancelled.
  using ChooseLanguageFileFn = std::function<QString(QWidget* parent, const QString& folder)>;
  // A message box with caption and text.
  using ShowErrorFn = std::function<void(QWidget* parent, const QString& caption, const QString& text)>;

  // The controls are filled from settings each time the window is shown; OK stores them
  // back, Cancel (or closing the window) stores nothing.
  explicit TOptionsForm(SettingsTable& settings, QWidget* parent = nullptr);
  ~TOptionsForm() override;

  // Translates the window from the active language file (section "MP3 Maker Options")
  // and sets the language and translator lines.
  void Translate();
  // The controls this window offers for translation, with their key names.
  TranslatableComponents Components() const;

  // Tests replace the platform's dialogs.
  void SetDialogs(ChooseLanguageFileFn chooseFile, ShowErrorFn showError);

  // Every control from a settings table, and back (what showing and OK do).
  void Load(const SettingsTable& settings);
  void Save(SettingsTable& settings) const;

  QTabWidget* SettingsPageControl;
  TCDReaderPage* CDTabSheet;
  TEncodingPage* MP3TabSheet;
  TFileLogPage* FileLogTabSheet;
  TCustomizationPage* CustomizationTabSheet;
  QPushButton* OKButton;
  QPushButton* CancelButton;

 Q_SIGNALS:
  // Load Language made another file the active one (this window has translated itself
  // again already; the other windows should do the same).
  void languageLoaded();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
  void OKButtonClick();
  void LoadLanguageButtonClick();

  SettingsTable& settings_;
  ChooseLanguageFileFn chooseFile_;
  ShowErrorFn showError_;
};

}  // namespace maker

// TOptionsForm: the maker's options window ("zbmaker Options") with its five pages (CD
// reader, encoding, file and log options, customization, accuracy), OK and Cancel, and
// Load Language.
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
class TAccuracyPage;

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

  // The drive the accuracy page keeps the read offset of (its settings key and the name
  // shown; an empty key for none). Set by the main window before each showing.
  void SetDrive(const std::string& key, const std::string& name);
  // An offset Find saved for that drive, shown on the page (OK stores it again, Cancel
  // leaves the saved one).
  void ShowReadOffset(int offset);

  // Every control from a settings table, and back (what showing and OK do).
  void Load(const SettingsTable& settings);
  void Save(SettingsTable& settings) const;

  QTabWidget* SettingsPageControl;
  TCDReaderPage* CDTabSheet;
  TEncodingPage* MP3TabSheet;
  TFileLogPage* FileLogTabSheet;
  TCustomizationPage* CustomizationTabSheet;
  TAccuracyPage* AccuracyTabSheet;
  QPushButton* OKButton;
  QPushButton* CancelButton;

 Q_SIGNALS:
  // Load Language made another file the active one (this window has translated itself
  // again already; the other windows should do the same).
  void languageLoaded();
  // Find on the accuracy page: the main window runs Find read offset for the drive (and
  // shows a saved offset on the page).
  void findReadOffsetRequested();

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

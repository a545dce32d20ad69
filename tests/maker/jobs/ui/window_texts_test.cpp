// The texts of every window of the maker, offscreen, in English and in German: keyboard
// mnemonics, the reach of the language files, and captions that fit their controls.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <map>
#include <set>

#include "common/ini_file.h"
#include "common/ui/qt_main_loop.h"
#include "maker/jobs/ui/about_form.h"
#include "maker/jobs/ui/directory_select_form.h"
#include "maker/jobs/ui/main_form.h"
#include "maker/jobs/ui/tabbed_list_delegate.h"
#include "maker/metadata/ui/cd_info_form.h"
#include "maker/metadata/ui/cddb_status_form.h"
#include "maker/metadata/ui/track_name_form.h"
#include "maker/settings/language_file.h"
#include "maker/settings/ui/options_form.h"
#include "tests/cdaccess/disc_image_builder.h"

using maker::TMainForm;

namespace {

const std::string kShippedFolder = std::string(ZIMBAR_SOURCE_DIR) + "/lang/";

// The letter Alt (or, in a menu, the plain key) takes for a caption: the character after
// the first single '&' ("&&" is an ampersand), in lower case; 0 for none.
QChar Mnemonic(const QString& caption) {
  for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != QLatin1Char('&')) continue;
    if (caption[i + 1] == QLatin1Char('&')) {
      ++i;
      continue;
    }
    return caption[i + 1].toLower();
  }
  return QChar();
}

// The tab pages a widget lies on, outermost first: controls on different pages of one tab
// widget are never shown together, so they may share a letter.
std::vector<std::pair<const QTabWidget*, int>> Pages(const QWidget* widget) {
  std::vector<std::pair<const QTabWidget*, int>> pages;
  for (const QWidget* w = widget; w != nullptr && !w->isWindow(); w = w->parentWidget()) {
    const QWidget* stack = w->parentWidget();
    const QTabWidget* tabs = stack != nullptr ? qobject_cast<const QTabWidget*>(stack->parentWidget()) : nullptr;
    if (tabs != nullptr && tabs->indexOf(const_cast<QWidget*>(w)) >= 0) pages.insert(pages.begin(), {tabs, tabs->indexOf(const_cast<QWidget*>(w))});
  }
  return pages;
}

bool ShownTogether(const std::vector<std::pair<const QTabWidget*, int>>& a,
                   const std::vector<std::pair<const QTabWidget*, int>>& b) {
  for (const auto& [tabs, page] : a)
    for (const auto& [otherTabs, otherPage] : b)
      if (tabs == otherTabs && page != otherPage) return false;
  return true;
}

// One labelled control: what a person sees and the pages it lies on.
struct Labelled {
  QString name;
  QString caption;
  std::vector<std::pair<const QTabWidget*, int>> pages;
};

// The labelled controls of a window that Alt reaches: buttons, check and radio boxes, tab
// captions, labels that name an edit (their buddy), and the menu bar's menus.
std::vector<Labelled> AltControls(QWidget* window) {
  std::vector<Labelled> controls;
  for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
    // The tab bar's scroll arrows and the like carry no text.
    if (button->text().isEmpty() || button->window() != window) continue;
    controls.push_back({button->objectName(), button->text(), Pages(button)});
  }
  for (QLabel* label : window->findChildren<QLabel*>())
    if (label->buddy() != nullptr && label->window() == window)
      controls.push_back({label->objectName(), label->text(), Pages(label)});
  for (QTabWidget* tabs : window->findChildren<QTabWidget*>())
    if (tabs->window() == window)
      for (int i = 0; i < tabs->count(); ++i)
      controls.push_back({tabs->widget(i)->objectName() + QStringLiteral(" (tab)"), tabs->tabText(i), Pages(tabs)});
  if (auto* main = qobject_cast<QMainWindow*>(window))
    for (QAction* action : main->menuBar()->actions())
      controls.push_back({action->menu() != nullptr ? action->menu()->objectName() : action->objectName(), action->text(), {}});
  return controls;
}

// What is wrong with the mnemonics of one set of controls: a control without one, and
// two controls shown together with the same letter.
std::vector<std::string> MnemonicFaults(const std::string& where, const std::vector<Labelled>& controls) {
  std::vector<std::string> faults;
  for (size_t i = 0; i < controls.size(); ++i) {
    const QChar letter = Mnemonic(controls[i].caption);
    if (letter.isNull()) {
      faults.push_back(where + ": \"" + controls[i].caption.toStdString() + "\" (" + controls[i].name.toStdString() +
                       ") has no mnemonic");
      continue;
    }
    for (size_t j = i + 1; j < controls.size(); ++j)
      if (Mnemonic(controls[j].caption) == letter && ShownTogether(controls[i].pages, controls[j].pages))
        faults.push_back(where + ": \"" + controls[i].caption.toStdString() + "\" and \"" +
                         controls[j].caption.toStdString() + "\" share Alt+" + QString(letter).toStdString());
  }
  return faults;
}

// The menus of a menu bar, each with its items (submenus included).
void MenuFaults(const std::string& where, QMenu* menu, std::vector<std::string>& faults) {
  std::vector<Labelled> items;
  for (QAction* action : menu->actions()) {
    if (action->isSeparator()) continue;
    items.push_back({action->objectName(), action->text(), {}});
    if (action->menu() != nullptr) MenuFaults(where + " > " + menu->title().toStdString(), action->menu(), faults);
  }
  for (std::string& fault : MnemonicFaults(where + " > " + menu->title().toStdString(), items)) faults.push_back(fault);
}

// The maker's windows, created as the program creates them, in one language.
class WindowTexts : public ::testing::Test {
 protected:
  // Starts the main window with the shipped file `language` as the user's language file
  // (empty: none, the built-in English texts).
  void Open(const std::string& language, bool realBoxes = false) {
    home_ = std::make_unique<testcd::ScopedEnv>("ZIMBAR_HOME", dir.Path() + "/home");
    userHome_ = std::make_unique<testcd::ScopedEnv>("HOME", dir.Path());
    // No shipped file either: the windows show what they are built with.
    share_ = std::make_unique<testcd::ScopedEnv>("ZIMBAR_SHARE_DIR", (dir.Path() + "/share").c_str());
    std::filesystem::create_directories(dir.Path() + "/home");
    if (!language.empty())
      std::filesystem::copy_file(kShippedFolder + language, dir.Path() + "/home/Language.DAT",
                                 std::filesystem::copy_options::overwrite_existing);
    settings.outputPath = dir.Path();
    settings.version = 0x010341;  // no desktop shortcut from these tests
    form = std::make_unique<TMainForm>(settings, loop);
    if (!realBoxes) form->showError = [](const QString&, const QString&) {};
    form->execDialog = [](QDialog*) { return false; };
    form->FormCreate({}, dir.Path());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QApplication::processEvents();
  }
  // Every window of the maker with its name.
  std::vector<std::pair<std::string, QWidget*>> Windows() const {
    return {{"main window", form.get()},
            {"options", form->OptionsForm()},
            {"CD information", form->CDInfoForm()},
            {"track name prompt", form->CDInfoForm()->TrackNameForm()},
            {"CDDB status", form->CDInfoForm()->CddbStatusForm()},
            {"directory select", form->DirectorySelectForm()},
            {"about", form->AboutForm()}};
  }

  testcd::TempDir dir;
  std::unique_ptr<testcd::ScopedEnv> home_, userHome_, share_;
  SettingsTable settings;
  QtMainLoop loop;
  std::unique_ptr<TMainForm> form;
};

class EachLanguage : public WindowTexts, public ::testing::WithParamInterface<const char*> {};

// Catches two controls of one window that take the same Alt+letter (the first one wins and
// the other cannot be reached from the keyboard: "Convert &CD to MP3", "&Clear" and
// "&Cancel"), a labelled control or menu item without a letter ("Priority"), in English
// and in German.
TEST_P(EachLanguage, EveryLabelledControlHasAMnemonicOfItsOwn) {
  Open(GetParam());
  std::vector<std::string> faults;
  for (const auto& [name, window] : Windows()) {
    for (std::string& fault : MnemonicFaults(name, AltControls(window))) faults.push_back(fault);
    if (auto* main = qobject_cast<QMainWindow*>(window))
      for (QAction* action : main->menuBar()->actions())
        if (action->menu() != nullptr) MenuFaults(name, action->menu(), faults);
  }
  EXPECT_TRUE(faults.empty()) << ::testing::PrintToString(faults);
}

// The caption and the hint a language file sets on a component, as TranslateForm applies
// them by kind (empty where the kind takes none).
std::pair<QString, QString> CaptionAndHint(QObject* component) {
  if (auto* action = qobject_cast<QAction*>(component)) return {action->text(), {}};
  auto* widget = qobject_cast<QWidget*>(component);
  if (widget == nullptr) return {};
  if (QWidget* stack = widget->parentWidget(); stack != nullptr)
    if (auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget()); tabs != nullptr && tabs->indexOf(widget) >= 0)
      return {tabs->tabText(tabs->indexOf(widget)), tabs->tabToolTip(tabs->indexOf(widget))};
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return {button->text(), button->toolTip()};
  if (auto* group = qobject_cast<QGroupBox*>(widget)) return {group->title(), group->toolTip()};
  if (auto* label = qobject_cast<QLabel*>(widget)) return {label->text(), label->toolTip()};
  if (qobject_cast<QLineEdit*>(widget) || qobject_cast<QComboBox*>(widget) || qobject_cast<QFrame*>(widget))
    return {{}, widget->toolTip()};
  if (widget->isWindow()) return {widget->windowTitle(), {}};
  return {};
}

// Catches a caption or hint that a language file could translate but that the shipped
// English file does not hold (the translations, made from it, then miss it and the window
// shows a mix of languages), or one the English file holds differently from the window.
TEST_F(WindowTexts, EveryTextTheLanguageFilesReachIsInTheEnglishFile) {
  Open("");
  auto english = IniFile::Load(kShippedFolder + "Language.DAT");
  ASSERT_TRUE(english.Ok());
  // Texts the windows write themselves, around or over what a file gives: the language
  // lines, and the hints of Start and Cancel, which the run sets by the operation.
  const std::set<std::string> composed = {"LanguageLabel", "TranslatorLabel", "StartButton", "CancelButton"};
  const std::vector<std::pair<std::string, std::vector<std::pair<QObject*, std::string>>>> windows = {
      {kMainFormSection, form->TranslatableComponents()},
      {kOptionsFormSection, form->OptionsForm()->Components()},
      {kCdInfoFormSection, form->CDInfoForm()->LanguageComponents()}};
  std::vector<std::string> faults;
  for (const auto& [section, components] : windows) {
    for (const auto& [component, name] : components) {
      if (name == "LanguageLabel" || name == "TranslatorLabel") continue;
      const auto [caption, hint] = CaptionAndHint(component);
      const bool runHint = section == kMainFormSection && composed.count(name) != 0;
      const std::pair<const char*, QString> texts[] = {{"TextOf_", caption.trimmed()},
                                                       {"HintOf_", runHint ? QString() : hint.trimmed()}};
      for (const auto& [prefix, text] : texts) {
        if (text.isEmpty()) continue;
        const std::string key = prefix + name;
        const std::string inFile = english.Value().ReadString(section, key, "");
        if (inFile != text.toStdString())
          faults.push_back("[" + section + "] " + key + ": the window shows \"" + text.toStdString() +
                           "\", the file has \"" + inFile + "\"");
      }
    }
  }
  EXPECT_TRUE(faults.empty()) << ::testing::PrintToString(faults);
}

// Catches texts the window writes while it works left in English in a German window: the
// status panels, "Track" in the track list, "Output Path:", the hint of Start and a CD
// to WAV run's log lines and status words; and texts not shown anew when the language
// changes.
TEST_F(WindowTexts, TextsWrittenAtRunTimeFollowTheLanguage) {
  const testcd::DiscImage image(dir.Path(), "disc", {testcd::Tone(75 * 3, 440, 8000)});
  settings.discImages = image.CuePath();
  Open("language_deutsch.txt");
  EXPECT_EQ(form->ReaderStatusPanel->Text().toStdString(), " CD-Leser: Bereit");
  EXPECT_EQ(form->EncoderStatusPanel->Text().toStdString(), " MP3-Kodierer: Bereit");
  ASSERT_EQ(form->TracksList->count(), 1);
  EXPECT_EQ(form->TracksList->item(0)->text().toStdString(), "+\tTitel 01\t00:03\t");
  EXPECT_EQ(form->SelectedOutputDirectoryLabel->FullText().toStdString(), "Ausgabeordner: " + dir.Path());
  EXPECT_EQ(form->StartButton->toolTip().toStdString(), "Lesen der CD starten");
  // The longest German status word ends before the track column.
  auto* delegate = dynamic_cast<TabbedListDelegate*>(form->TracksList->itemDelegate());
  ASSERT_NE(delegate, nullptr);
  const QFontMetrics metrics(form->TracksList->font());
  EXPECT_GT(delegate->TabStops(metrics).value(0).position, metrics.horizontalAdvance(QStringLiteral("Abgebrochen")));

  // A CD to WAV run: its log, row and panels in German.
  const testcd::ScopedEnv libraries("ZIMBAR_LIB_DIR", ZIMBAR_BIN_DIR);
  form->CD2WAVRadioButton->click();
  form->StartButton->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Pipeline().Busy(); }, 20000));
  const QString log = form->ReaderLogMemo->toPlainText();
  EXPECT_TRUE(log.contains(QStringLiteral("Lese: Titel 01\nNach: ") + QString::fromStdString(dir.Path())) &&
              log.contains(QStringLiteral("    Fertig (")))
      << log.toStdString();
  EXPECT_FALSE(log.contains(QStringLiteral("Track 0"))) << log.toStdString();
  EXPECT_EQ(form->TracksList->item(0)->text().toStdString(), "OK\tTitel 01\t00:03\t");
  EXPECT_EQ(form->ReaderStatusPanel->Text().toStdString(), " CD-Leser: Bereit");
  // With ZIMBAR_TEST_SHOTS naming a folder, the window is saved there for a person to see.
  if (const char* folder = std::getenv("ZIMBAR_TEST_SHOTS"); folder != nullptr && *folder != '\0')
    form->grab().save(QString::fromStdString(std::string(folder) + "/texts-de-run.png"));

  // Back to English, as Load Language does it.
  std::filesystem::copy_file(kShippedFolder + "Language.DAT", dir.Path() + "/home/Language.DAT",
                             std::filesystem::copy_options::overwrite_existing);
  form->Translate();
  EXPECT_EQ(form->ReaderStatusPanel->Text().toStdString(), " CD Reader: Idle");
  EXPECT_EQ(form->TracksList->item(0)->text().toStdString(), "OK\tTrack 01\t00:03\t");
  EXPECT_EQ(form->SelectedOutputDirectoryLabel->FullText().toStdString(), "Output Path: " + dir.Path());
  EXPECT_EQ(form->StartButton->toolTip().toStdString(), "Start Reading CD");
}

// The title and text of the next message box, which is then closed with No.
struct SeenBox {
  std::string title, text;
  std::vector<std::string> buttons;
};
void CloseNextBox(SeenBox& seen) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, &seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen = {box->windowTitle().toStdString(), box->text().toStdString(), {}};
    for (QAbstractButton* button : box->buttons()) seen.buttons.push_back(button->text().toStdString());
    box->done(QMessageBox::No);
    timer->deleteLater();
  });
  timer->start(10);
}

// Catches the drive list of a computer without a drive in English in a German window.
TEST_F(WindowTexts, NoDriveIsSaidInTheWindowsLanguage) {
  Open("language_deutsch.txt");
  ASSERT_FALSE(form->InputCDComboBox->isEnabled());
  EXPECT_EQ(form->InputCDComboBox->itemText(0).toStdString(), "Kein CD-Laufwerk gefunden");
}

// Catches a box of the German window (an error from core code, a question of a run, the
// question about existing outputs and its buttons) shown in English.
TEST_F(WindowTexts, BoxesSpeakTheWindowsLanguage) {
  Open("language_deutsch.txt", /*realBoxes=*/true);
  SeenBox seen;
  CloseNextBox(seen);
  EXPECT_FALSE(form->askYesNo(QStringLiteral("Overwrite existing file /x.mp3 ?"), QString::fromUtf8(kMakerConfirmCaption)));
  EXPECT_EQ(seen.title, "zbmaker Bestätigung");
  EXPECT_EQ(seen.text, "Die vorhandene Datei /x.mp3 überschreiben?");
  CloseNextBox(seen);
  form->showError(QStringLiteral("ERROR: No such disc image: /x.cue"), QString::fromUtf8(kMakerErrorCaption));
  EXPECT_EQ(seen.title, "zbmaker (Zimbar MP3 Maker) Fehler");
  EXPECT_EQ(seen.text, "FEHLER: Das CD-Abbild gibt es nicht: /x.cue");
  // The one question about the existing outputs of a run, and its buttons.
  CloseNextBox(seen);
  EXPECT_EQ(form->askReplaceExisting({QStringLiteral("/a.mp3"), QStringLiteral("/b.mp3")}), ReplaceAnswer::Cancel);
  EXPECT_EQ(seen.title, "zbmaker Bestätigung");
  EXPECT_EQ(seen.text, "2 Dateien gibt es schon:\n\n/a.mp3\n/b.mp3\n\n"
                       "Alle ersetzen, oder alle behalten und ihre Aufträge überspringen?");
  EXPECT_TRUE(std::find(seen.buttons.begin(), seen.buttons.end(), "Alle &ersetzen") != seen.buttons.end() &&
              std::find(seen.buttons.begin(), seen.buttons.end(), "Alle &behalten") != seen.buttons.end())
      << ::testing::PrintToString(seen.buttons);
}

// The controls of a window whose captions are cut: the control is narrower than its text
// needs. Only controls shown at the moment count.
std::vector<std::string> ClippedCaptions(const std::string& where, QWidget* window) {
  std::vector<std::string> faults;
  auto report = [&](QWidget* w, const QString& text, int needed) {
    faults.push_back(where + ": \"" + text.toStdString() + "\" (" + w->objectName().toStdString() + ") is " +
                     std::to_string(w->width()) + " pixels wide, its text needs " + std::to_string(needed));
  };
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (!w->isVisible() || w->window() != window) continue;
    if (auto* button = qobject_cast<QAbstractButton*>(w); button != nullptr && !button->text().isEmpty()) {
      if (button->width() < button->minimumSizeHint().width()) report(button, button->text(), button->minimumSizeHint().width());
    } else if (auto* label = qobject_cast<QLabel*>(w); label != nullptr && !label->objectName().isEmpty() &&
                                                        !label->text().isEmpty() && !label->wordWrap()) {
      if (label->width() < label->sizeHint().width()) report(label, label->text(), label->sizeHint().width());
    } else if (auto* group = qobject_cast<QGroupBox*>(w); group != nullptr && !group->title().isEmpty()) {
      const int needed = group->fontMetrics().horizontalAdvance(QString(group->title()).remove(QLatin1Char('&'))) + 16;
      if (group->width() < needed) report(group, group->title(), needed);
    } else if (auto* bar = qobject_cast<QTabBar*>(w)) {
      for (int i = 0; i < bar->count(); ++i) {
        const int needed = bar->fontMetrics().horizontalAdvance(QString(bar->tabText(i)).remove(QLatin1Char('&')));
        if (bar->tabRect(i).width() < needed) report(bar, bar->tabText(i), needed);
      }
    }
  }
  return faults;
}

// Catches a caption cut short in either language (the German texts are longer than the
// English ones the layouts were made for): every shown control is at least as wide as
// its text, in each state that shows other controls (the operations of the main window,
// the pages of the options window).
TEST_P(EachLanguage, NoCaptionIsClipped) {
  Open(GetParam());
  std::vector<std::string> faults;
  int shot = 0;
  auto check = [&](const std::string& where, QWidget* window) {
    QApplication::processEvents();
    for (std::string& fault : ClippedCaptions(where, window)) faults.push_back(fault);
    // With ZIMBAR_TEST_SHOTS naming a folder, each state is saved there for a person to see.
    if (const char* folder = std::getenv("ZIMBAR_TEST_SHOTS"); folder != nullptr && *folder != '\0')
      window->grab().save(QString::fromStdString(std::string(folder) + "/texts-" +
                                                 (*GetParam() ? "de-" : "en-") + std::to_string(++shot) + ".png"));
  };
  for (QRadioButton* operation : {form->CD2MP3RadioButton, form->WAV2MP3RadioButton}) {
    operation->click();
    check("main window, " + operation->text().toStdString(), form.get());
  }
  auto* options = form->OptionsForm();
  options->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(options));
  for (int page = 0; page < options->SettingsPageControl->count(); ++page) {
    options->SettingsPageControl->setCurrentIndex(page);
    check("options, " + options->SettingsPageControl->tabText(page).toStdString(), options);
  }
  options->hide();
  for (const auto& [name, window] : Windows()) {
    if (window == form.get() || window == options) continue;
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    check(name, window);
    window->hide();
  }
  EXPECT_TRUE(faults.empty()) << ::testing::PrintToString(faults);
}

INSTANTIATE_TEST_SUITE_P(Languages, EachLanguage, ::testing::Values("", "language_deutsch.txt"),
                         [](const auto& info) { return std::string(*info.param ? "German" : "English"); });

}  // namespace

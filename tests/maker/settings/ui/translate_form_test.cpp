// Tests of TranslateForm: what each kind of control takes from a language file, and the
// active file it reads.
#include "maker/settings/ui/translate_form.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "tests/common/temp_dir.h"

namespace {

struct KindCase {
  const char* kind;
  std::function<QObject*(QWidget* owner)> make;
  std::function<QString(QObject*)> caption;  // empty function: the kind has no caption
  bool takesCaption;
  bool takesHint;
};

QString TabText(QObject* page) {
  auto* widget = static_cast<QWidget*>(page);
  auto* tabs = qobject_cast<QTabWidget*>(widget->parentWidget()->parentWidget());
  return tabs->tabText(tabs->indexOf(widget));
}

QString TabHint(QObject* page) {
  auto* widget = static_cast<QWidget*>(page);
  auto* tabs = qobject_cast<QTabWidget*>(widget->parentWidget()->parentWidget());
  return tabs->tabToolTip(tabs->indexOf(widget));
}

std::vector<KindCase> Kinds() {
  auto text = [](QObject* o) { return qobject_cast<QAbstractButton*>(o)->text(); };
  return {
      {"QPushButton", [](QWidget* w) { return new QPushButton("Old", w); }, text, true, true},
      {"QCheckBox", [](QWidget* w) { return new QCheckBox("Old", w); }, text, true, true},
      {"QRadioButton", [](QWidget* w) { return new QRadioButton("Old", w); }, text, true, true},
      {"QGroupBox", [](QWidget* w) { return new QGroupBox("Old", w); },
       [](QObject* o) { return qobject_cast<QGroupBox*>(o)->title(); }, true, true},
      {"QLabel", [](QWidget* w) { return new QLabel("Old", w); },
       [](QObject* o) { return qobject_cast<QLabel*>(o)->text(); }, true, true},
      {"tab page",
       [](QWidget* w) {
         auto* tabs = new QTabWidget(w);
         auto* page = new QWidget;
         tabs->addTab(new QWidget, "First");
         tabs->addTab(page, "Old");
         return page;
       },
       TabText, true, true},
      {"QAction", [](QWidget* w) { return new QAction("Old", w); },
       [](QObject* o) { return qobject_cast<QAction*>(o)->text(); }, true, false},
      {"QMenu", [](QWidget* w) { return new QMenu("Old", w); },
       [](QObject* o) { return qobject_cast<QMenu*>(o)->title(); }, true, false},
      {"QLineEdit", [](QWidget* w) { return new QLineEdit("Old", w); },
       [](QObject* o) { return qobject_cast<QLineEdit*>(o)->text(); }, false, true},
      {"QComboBox",
       [](QWidget* w) {
         auto* box = new QComboBox(w);
         box->setEditable(true);
         box->setEditText("Old");
         return box;
       },
       [](QObject* o) { return qobject_cast<QComboBox*>(o)->currentText(); }, false, true},
      {"QListWidget", [](QWidget* w) { return new QListWidget(w); },
       [](QObject* o) { return qobject_cast<QListWidget*>(o)->count() == 0 ? QString("Old") : QString("changed"); },
       false, true},
      {"QPlainTextEdit", [](QWidget* w) { return new QPlainTextEdit("Old", w); },
       [](QObject* o) { return qobject_cast<QPlainTextEdit*>(o)->toPlainText(); }, false, true},
      {"QTextEdit", [](QWidget* w) { return new QTextEdit("Old", w); },
       [](QObject* o) { return qobject_cast<QTextEdit*>(o)->toPlainText(); }, false, true},
      {"QFrame (a panel)", [](QWidget* w) { return new QFrame(w); }, nullptr, false, true},
      {"QTabWidget", [](QWidget* w) { return new QTabWidget(w); }, nullptr, false, false},
      {"plain QWidget", [](QWidget* w) { return new QWidget(w); }, nullptr, false, false},
  };
}

QString HintOf(QObject* object, const KindCase& c) {
  if (std::string(c.kind) == "tab page") return TabHint(object);
  if (auto* action = qobject_cast<QAction*>(object)) return action->toolTip() == action->text() ? QString() : action->toolTip();
  return static_cast<QWidget*>(object)->toolTip();
}

}  // namespace

// Catches a kind of control that takes a caption it should not (the text of an edit or a
// list replaced), ignores one it should, or gets no tool tip from its hint; and leading
// blanks kept in a value.
TEST(TranslateForm, EachKindOfControlTakesWhatItsClassAllows) {
  const LanguageFile file = LanguageFile::FromText(
      "[W]\nTextOf_Control=   New\nHintOf_Control=   Hint\n");
  for (const KindCase& c : Kinds()) {
    SCOPED_TRACE(c.kind);
    QWidget owner;
    QObject* control = c.make(&owner);
    TranslateForm(file, "W", {{control, "Control"}});
    if (c.caption) {
      EXPECT_EQ(c.caption(control), c.takesCaption ? QString("New") : QString("Old"));
    }
    EXPECT_EQ(HintOf(control, c), c.takesHint ? QString("Hint") : QString());
  }
}

// Catches a TextOf_FileListBox that puts a row into the list, or a hint on the list that
// is ignored.
TEST(TranslateForm, TextOfAListBoxHasNoEffectButItsHintDoes) {
  QListWidget list;
  list.addItem("+\t/music/a.wav");
  TranslateForm(LanguageFile::FromText("[MP3 Maker Main]\nTextOf_FileListBox=Files\nHintOf_FileListBox=Dateiliste\n"),
                "MP3 Maker Main", {{&list, "FileListBox"}});
  ASSERT_EQ(list.count(), 1);
  EXPECT_EQ(list.item(0)->text(), QString("+\t/music/a.wav"));
  EXPECT_EQ(list.toolTip(), QString("Dateiliste"));
}

// Catches an empty value that blanks a caption, a key of another section applied, a
// missing or unreadable active file that changes anything, or the mnemonic marker lost.
TEST(TranslateForm, EmptyValuesOtherSectionsAndMissingFilesChangeNothing) {
  TempDir dir;
  ScopedEnv home("ZIMBAR_HOME", dir.File("home").c_str());
  ScopedEnv share("ZIMBAR_SHARE_DIR", dir.File("share").c_str());
  QPushButton start("&Start"), clear("&Clear");
  start.setToolTip("Start Reading CD");
  const TranslatableComponents components = {{&start, "StartButton"}, {&clear, "ClearButton"}};
  TranslateForm("MP3 Maker Main", components);  // no file at all
  EXPECT_EQ(start.text(), QString("&Start"));
  EXPECT_EQ(start.toolTip(), QString("Start Reading CD"));

  ::mkdir(dir.File("home").c_str(), 0755);
  ::mkdir(dir.File("home/Language.DAT").c_str(), 0755);  // unreadable: a folder
  TranslateForm("MP3 Maker Main", components);
  EXPECT_EQ(start.text(), QString("&Start"));
  ::rmdir(dir.File("home/Language.DAT").c_str());

  WriteText(dir.File("home/Language.DAT"),
            "[MP3 Maker Main]\nTextOf_StartButton=\nHintOf_StartButton=   \nTextOf_ClearButton=&Leeren\n"
            "[MP3 Maker Options]\nTextOf_StartButton=Wrong\n");
  TranslateForm("MP3 Maker Main", components);
  EXPECT_EQ(start.text(), QString("&Start"));
  EXPECT_EQ(start.toolTip(), QString("Start Reading CD"));
  EXPECT_EQ(clear.text(), QString("&Leeren"));
}

// Catches a dialog whose title stays in the old language: a window that offers itself
// takes its caption as its title, and a button without a parent stays a button.
TEST(TranslateForm, ADialogTakesItsCaptionAsItsTitle) {
  QDialog dialog;
  dialog.setWindowTitle("zbmaker Options");
  QPushButton lone("&OK");
  TranslateForm(LanguageFile::FromText("[W]\nTextOf_OptionsForm=zbmaker-Optionen\nTextOf_OKButton=&Gut\n"), "W",
                {{&dialog, "OptionsForm"}, {&lone, "OKButton"}});
  EXPECT_EQ(dialog.windowTitle(), QString("zbmaker-Optionen"));
  EXPECT_EQ(lone.text(), QString("&Gut"));
  EXPECT_EQ(lone.windowTitle(), QString());
}

// Tests of the play list window, the tag editor and the line prompt, offscreen.
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "common/id3v1_tag.h"
#include "player/playlist/ui/ask_line_form.h"
#include "player/playlist/ui/id3_form.h"
#include "player/playlist/ui/play_list_form.h"
#include "tests/common/temp_dir.h"

namespace {

struct PlayListFixture {
  PlayerSettings settings;
  TID3Form id3;
  TAskLineForm askLine;
  TPlayListForm form{settings, &id3, &askLine};
  std::vector<QString> errors;
  PlayListFixture() {
    TPlayListForm::Dialogs d;
    d.chooseFiles = [](QWidget*) { return QStringList(); };
    d.chooseFolder = [](QWidget*) { return QString(); };
    d.chooseListToLoad = [](QWidget*) { return QString(); };
    d.chooseListToSave = [](QWidget*) { return QString(); };
    d.showError = [this](QWidget*, const QString& caption, const QString& text) { errors.push_back(caption + ": " + text); };
    form.SetDialogs(d);
  }
  void SelectRows(std::initializer_list<int> rows) {
    form.FileListBox->clearSelection();
    for (int r : rows) form.FileListBox->item(r)->setSelected(true);
  }
  // Answers the next line prompt with text.
  void AnswerPrompt(const QString& text) {
    QTimer::singleShot(0, &askLine, [this, text] {
      askLine.LineEdit->setText(text);
      askLine.OKButton->click();
    });
  }
};

std::string TaggedFile(const TempDir& dir, const std::string& name, const std::string& title) {
  const std::string path = dir.File(name);
  const Id3v1Record record = EncodeId3v1Tag({title, "Artist", "Album", "1990"}, kId3v1MakerTextLimit);
  WriteText(path, std::string(600, '\xFF') + std::string(record.begin(), record.end()));
  return path;
}

}  // namespace

// Catches buttons enabled on an empty list or without a selection, and buttons that
// stay disabled once there is something to act on.
TEST(TPlayListForm, ButtonsFollowTheListAndTheSelection) {
  PlayListFixture f;
  f.form.SetList({});
  for (QPushButton* b : {f.form.RemoveButton, f.form.MoveUpButton, f.form.MoveDownButton, f.form.ClearButton,
                         f.form.SaveButton, f.form.EditID3Button})
    EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
  for (QPushButton* b : {f.form.AddButton, f.form.LoadButton, f.form.AddDirectoryButton, f.form.AddURLButton,
                         f.form.ShuffleButton, f.form.SortButtonButton, f.form.ReverseSortButton, f.form.OKButton})
    EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
  f.form.SetList({"/a.mp3", "/b.mp3"});
  EXPECT_TRUE(f.form.ClearButton->isEnabled());
  EXPECT_TRUE(f.form.SaveButton->isEnabled());
  EXPECT_FALSE(f.form.RemoveButton->isEnabled());
  EXPECT_FALSE(f.form.EditID3Button->isEnabled());
  f.SelectRows({1});
  EXPECT_TRUE(f.form.RemoveButton->isEnabled());
  EXPECT_TRUE(f.form.MoveUpButton->isEnabled());
  EXPECT_TRUE(f.form.EditID3Button->isEnabled());
  f.form.RemoveButton->click();
  EXPECT_EQ(f.form.List(), (std::vector<std::string>{"/a.mp3"}));
  EXPECT_FALSE(f.form.RemoveButton->isEnabled());
  EXPECT_EQ(f.form.AddButton->toolTip(), QStringLiteral("Add Files to Play List"));
  EXPECT_EQ(f.form.windowTitle(), QStringLiteral("Play List"));
}

// Catches Move Up moving an entry already at the top, a list box out of step with the
// model, and a selection lost on the way.
TEST(TPlayListForm, MoveUpAndDownThroughTheButtons) {
  PlayListFixture f;
  f.form.SetList({"a", "b", "c", "d"});
  f.SelectRows({0, 2});
  f.form.MoveUpButton->click();
  EXPECT_EQ(f.form.List(), (std::vector<std::string>{"a", "c", "b", "d"}));
  EXPECT_TRUE(f.form.FileListBox->item(0)->isSelected());
  EXPECT_TRUE(f.form.FileListBox->item(1)->isSelected());
  f.form.MoveDownButton->click();
  // a (selected) passes b; c (selected) passes b first, so the block keeps its gap.
  EXPECT_EQ(f.form.List(), (std::vector<std::string>{"b", "a", "c", "d"}));
  EXPECT_EQ(f.form.FileListBox->item(2)->text(), QStringLiteral("c"));
  EXPECT_TRUE(f.form.FileListBox->item(1)->isSelected());
  EXPECT_TRUE(f.form.FileListBox->item(2)->isSelected());
  EXPECT_FALSE(f.form.FileListBox->item(0)->isSelected());
}

// Catches leading spaces kept, an FTP address refused, and another scheme added or
// refused without the message.
TEST(TPlayListForm, AddUrlTakesHttpAndFtpOnly) {
  PlayListFixture f;
  f.form.SetList({"/a.mp3"});
  f.AnswerPrompt(QStringLiteral("  ftp://host/music/x.mp3"));
  f.form.AddURLButton->click();
  EXPECT_EQ(f.form.List(), (std::vector<std::string>{"/a.mp3", "ftp://host/music/x.mp3"}));
  EXPECT_EQ(f.askLine.windowTitle(), QStringLiteral("Add URL"));
  EXPECT_EQ(f.askLine.InstructionLabel->text(), QStringLiteral("Enter complete URL:"));
  f.AnswerPrompt(QStringLiteral("gopher://host/x"));
  f.form.AddURLButton->click();
  EXPECT_EQ(f.form.List().size(), 2u);
  EXPECT_EQ(f.errors, (std::vector<QString>{"Error: URL Must be HTTP or FTP"}));
  // The prompt keeps the line typed last.
  EXPECT_EQ(f.askLine.LineEdit->text(), QStringLiteral("gopher://host/x"));
}

// Catches OK reporting an entry as chosen, and a double click that does not choose the
// entry clicked.
TEST(TPlayListForm, DoubleClickChoosesOkChoosesNone) {
  PlayListFixture f;
  f.form.SetList({"a", "b", "c"});
  f.form.FileListBox->setCurrentRow(1);
  Q_EMIT f.form.FileListBox->itemDoubleClicked(f.form.FileListBox->item(1));
  EXPECT_EQ(f.form.ChosenIndex(), 1);
  EXPECT_EQ(f.form.result(), QDialog::Accepted);
  f.form.SetList({"a", "b", "c"});
  EXPECT_EQ(f.form.ChosenIndex(), -1);
  f.form.OKButton->click();
  EXPECT_EQ(f.form.ChosenIndex(), -1);
  EXPECT_EQ(f.form.result(), QDialog::Accepted);
}

// Catches Add Dir and Add Files that do not sort or that keep duplicates.
TEST(TPlayListForm, AddFilesAndAddDirSortWhatTheyAdd) {
  PlayListFixture f;
  TempDir dir;
  WriteText(dir.File("B.mp3"), "x");
  WriteText(dir.File("a.aac"), "x");
  WriteText(dir.File("c.wav"), "x");
  TPlayListForm::Dialogs d;
  d.chooseFiles = [&](QWidget*) {
    return QStringList{QString::fromStdString(dir.File("z.mp3")), QString::fromStdString(dir.File("Y.mp3")),
                       QString::fromStdString(dir.File("z.mp3"))};
  };
  d.chooseFolder = [&](QWidget*) { return QString::fromStdString(dir.Path()); };
  d.showError = [](QWidget*, const QString&, const QString&) {};
  f.form.SetDialogs(d);
  f.form.SetList({"/first.mp3"});
  f.form.AddButton->click();
  f.form.AddDirectoryButton->click();
  EXPECT_EQ(f.form.List(), (std::vector<std::string>{"/first.mp3", dir.File("Y.mp3"), dir.File("z.mp3"),
                                                     dir.File("a.aac"), dir.File("B.mp3")}));
}

// Catches the song field shown for several files, fields not filled from the first
// file's tag, and the check box not disabling the song field.
TEST(TID3Form, OneFileAndThreeFiles) {
  TempDir dir;
  const std::string one = TaggedFile(dir, "one.mp3", "First"), two = TaggedFile(dir, "two.mp3", "Second"),
                    three = TaggedFile(dir, "three.mp3", "Third");
  TID3Form form;
  std::vector<QString> errors;
  form.SetShowError([&](QWidget*, const QString& c, const QString& t) { errors.push_back(c + ": " + t); });
  form.Prepare({one});
  EXPECT_EQ(form.InstructionLabel->text(), QStringLiteral("Specify ID3 tag for: one.mp3"));
  EXPECT_FALSE(form.SongEdit->isHidden());
  EXPECT_EQ(form.SongEdit->text(), QStringLiteral("First"));
  EXPECT_EQ(form.TitleEdit->text(), QStringLiteral("Album"));
  EXPECT_EQ(form.YearEdit->text(), QStringLiteral("1990"));
  form.UseFNameAsSongNameCheckBox->click();
  EXPECT_FALSE(form.SongEdit->isEnabled());
  form.UseFNameAsSongNameCheckBox->click();
  EXPECT_TRUE(form.SongEdit->isEnabled());
  EXPECT_TRUE(form.GenreComboBox->isHidden());

  form.Prepare({one, two, three});
  EXPECT_EQ(form.InstructionLabel->text(), QStringLiteral("Specify ID3 tag for the selected files."));
  EXPECT_TRUE(form.SongEdit->isHidden());
  form.ArtistEdit->setText(QStringLiteral("New Artist"));
  form.Apply({one, two, three});
  EXPECT_TRUE(errors.empty());
  std::string album, artist, title, year;
  ASSERT_EQ(ReadId3v1Tag(two, &album, &artist, &title, &year), kId3Ok);
  EXPECT_EQ(title, "Second");
  EXPECT_EQ(artist, "New Artist");
  ASSERT_EQ(ReadId3v1Tag(three, &album, &artist, &title, &year), kId3Ok);
  EXPECT_EQ(title, "Third");

  form.Apply({dir.File("gone.mp3"), one});
  EXPECT_EQ(errors, (std::vector<QString>{"Error: Cannot write ID3 tag of: gone.mp3\nNo such file or directory"}));
}

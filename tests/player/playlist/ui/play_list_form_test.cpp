// Tests of the play list window, the tag editor and the line prompt, offscreen.
#include <sys/stat.h>

#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <chrono>

#include "common/id3v1_tag.h"
#include "common/tags/tag_file.h"
#include "player/playlist/ui/ask_line_form.h"
#include "tests/player/ui/fake_facade.h"
#include "player/playlist/ui/id3_form.h"
#include "player/playlist/play_list_file.h"
#include "player/playlist/ui/play_list_form.h"
#include "tests/common/special_files.h"
#include "tests/common/tags/format_test_files.h"
#include "tests/common/temp_dir.h"

namespace {

// A host that shows nothing.
struct QuietHost final : SessionHost {
  void ShowTitle(const std::string&) override {}
  void ShowInfo(const std::string&) override {}
  void ShowError(const std::string&, const std::string&) override {}
  void ShowTime(const std::string&) override {}
  void ShowVolumeLevel(int) override {}
  void ClearFields() override {}
  void StartEndOfTrackWait() override {}
  void StopEndOfTrackWait() override {}
  void OutputData(const void*, uint32_t) override {}
  void PrintNotice(const std::string&) override {}
  void ShowNotice(const std::string&) override {}
};

struct PlayListFixture {
  PlayerSettings settings;
  FacadeLog log;
  QtMainLoop loop;
  QuietHost host;
  PlayerSession session{settings, FakeFactory(log), loop, host};
  TID3Form id3;
  TAskLineForm askLine;
  TPlayListForm form{settings, session, &id3, &askLine};
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
  // The session's list becomes entries, nothing playing.
  void SetList(const std::vector<std::string>& entries) { session.EditList(entries, 0, false); }
  void SelectRows(std::initializer_list<int> rows) {
    form.FileListBox->clearSelection();
    for (int r : rows) form.FileListBox->SelectRow(r, true);
  }
  // Waits for a list being read on the window's worker to join the list.
  bool WaitForGathering() {
    return QTest::qWaitFor([this] { return !form.Gathering(); }, 10000);
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
  f.SetList({});
  for (QPushButton* b : {f.form.RemoveButton, f.form.MoveUpButton, f.form.MoveDownButton, f.form.ClearButton,
                         f.form.SaveButton, f.form.EditID3Button})
    EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
  for (QPushButton* b : {f.form.AddButton, f.form.LoadButton, f.form.AddDirectoryButton, f.form.AddURLButton,
                         f.form.ShuffleButton, f.form.SortButtonButton, f.form.ReverseSortButton, f.form.OKButton})
    EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
  f.SetList({"/a.mp3", "/b.mp3"});
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
  f.SetList({"a", "b", "c", "d"});
  f.SelectRows({0, 2});
  f.form.MoveUpButton->click();
  EXPECT_EQ(f.form.List(), (std::vector<std::string>{"a", "c", "b", "d"}));
  EXPECT_TRUE(f.form.FileListBox->IsRowSelected(0));
  EXPECT_TRUE(f.form.FileListBox->IsRowSelected(1));
  f.form.MoveDownButton->click();
  // a (selected) passes b; c (selected) passes b first, so the block keeps its gap.
  EXPECT_EQ(f.form.List(), (std::vector<std::string>{"b", "a", "c", "d"}));
  EXPECT_EQ(f.form.FileListBox->RowText(2), QStringLiteral("c"));
  EXPECT_TRUE(f.form.FileListBox->IsRowSelected(1));
  EXPECT_TRUE(f.form.FileListBox->IsRowSelected(2));
  EXPECT_FALSE(f.form.FileListBox->IsRowSelected(0));
}

// Catches leading spaces kept, an FTP address refused, and another scheme added or
// refused without the message.
TEST(TPlayListForm, AddUrlTakesHttpAndFtpOnly) {
  PlayListFixture f;
  f.SetList({"/a.mp3"});
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

// Catches a double click or Enter that does not play the entry, a window that closes
// when an entry plays, and the entry playing left unmarked.
TEST(TPlayListForm, DoubleClickAndEnterPlayTheEntryAndTheWindowStays) {
  PlayListFixture f;
  f.SetList({"a", "b", "c"});
  f.form.show();
  Q_EMIT f.form.FileListBox->doubleClicked(f.form.FileListBox->model()->index(1, 0));
  EXPECT_EQ(f.session.LoadedFile(), "b");
  EXPECT_EQ(f.session.State(), TransportState::Playing);
  EXPECT_TRUE(f.form.isVisible());
  const auto bold = [&](int row) { return f.form.FileListBox->model()->index(row, 0).data(Qt::FontRole).value<QFont>().bold(); };
  EXPECT_TRUE(bold(1));
  EXPECT_FALSE(bold(0));
  f.form.FileListBox->setFocus();
  f.form.FileListBox->SetCurrentRow(2);
  QTest::keyClick(f.form.FileListBox, Qt::Key_Return);
  EXPECT_EQ(f.session.LoadedFile(), "c");
  EXPECT_TRUE(bold(2));
  EXPECT_FALSE(bold(1));
  // The main window's Next moves the mark too.
  f.session.Next();
  EXPECT_TRUE(bold(0));
  f.form.OKButton->click();
  EXPECT_FALSE(f.form.isVisible());
  EXPECT_EQ(f.session.LoadedFile(), "a");
}

// Catches Add Dir and Add Files that do not sort or that keep duplicates.
TEST(TPlayListForm, AddFilesAndAddDirSortWhatTheyAdd) {
  PlayListFixture f;
  TempDir dir;
  WriteText(dir.File("B.mp3"), "x");
  WriteText(dir.File("a.aac"), "x");
  WriteText(dir.File("c.wav"), "x");
  WriteText(dir.File("D.Flac"), "x");
  TPlayListForm::Dialogs d;
  d.chooseFiles = [&](QWidget*) {
    return QStringList{QString::fromStdString(dir.File("z.mp3")), QString::fromStdString(dir.File("Y.mp3")),
                       QString::fromStdString(dir.File("z.mp3"))};
  };
  d.chooseFolder = [&](QWidget*) { return QString::fromStdString(dir.Path()); };
  d.showError = [](QWidget*, const QString&, const QString&) {};
  f.form.SetDialogs(d);
  f.SetList({"/first.mp3"});
  f.form.AddButton->click();
  f.form.AddDirectoryButton->click();
  ASSERT_TRUE(f.WaitForGathering());
  EXPECT_EQ(f.form.List(), (std::vector<std::string>{"/first.mp3", dir.File("Y.mp3"), dir.File("z.mp3"),
                                                     dir.File("a.aac"), dir.File("B.mp3"), dir.File("c.wav"),
                                                     dir.File("D.Flac")}));
}

// Catches a list of one widget per entry (100,000 entries kept the window's opening busy
// Catches an Add Files dialog that opens on a choice hiding a kind the player plays (FLAC,
// Ogg, Opus, M4A, in any case), that shows other files there, or that lost a choice of its own.
TEST(TPlayListForm, AddFilesOffersEveryPlayedKindFirst) {
  const QStringList choices = AddFilesFilter().split(QStringLiteral(";;"));
  ASSERT_FALSE(choices.isEmpty());
  const QString& first = choices.front();
  ASSERT_TRUE(first.startsWith(QStringLiteral("All playable files (")) && first.endsWith(QLatin1Char(')'))) << first.toStdString();
  const qsizetype open = first.indexOf(QLatin1Char('('));
  const QStringList patterns = first.mid(open + 1, first.size() - open - 2).split(QLatin1Char(' '));
  auto shown = [&](const QString& name) {
    for (const QString& p : patterns)
      if (QRegularExpression::fromWildcard(p, Qt::CaseInsensitive).match(name).hasMatch()) return true;
    return false;
  };
  for (const char* name : {"a.mp3", "a.mp2", "a.aac", "a.wav", "a.flac", "a.ogg", "a.oga", "a.opus", "a.m4a", "a.mp4",
                           "A.FLAC", "B.Opus"})
    EXPECT_TRUE(shown(QString::fromLatin1(name))) << name << " not in " << first.toStdString();
  for (const char* name : {"a.txt", "a.pls", "a.flac.part"})
    EXPECT_FALSE(shown(QString::fromLatin1(name))) << name << " in " << first.toStdString();
  for (const char* choice : {"MPEG Audio files (*.mp? *.aac)", "WAV files (*.wav)", "MP3 files (*.mp3)",
                             "AAC files (*.aac)", "FLAC files (*.flac)", "Ogg Vorbis files (*.ogg *.oga)",
                             "Opus files (*.opus)", "MP4 audio files (*.m4a *.mp4)",
                             "WAV and MPEG Audio files (*.wav *.mp? *.aac)"})
    EXPECT_TRUE(choices.contains(QString::fromLatin1(choice))) << choice;
}

// for half a minute) and a selection that the buttons and keys do not see among them.
TEST(TPlayListForm, AHundredThousandEntriesAreRowsOfAModel) {
  PlayListFixture f;
  std::vector<std::string> entries;
  for (int i = 0; i < 100000; ++i) entries.push_back("/music/" + std::to_string(i) + ".mp3");
  f.SetList(entries);
  f.form.show();
  EXPECT_EQ(f.form.FileListBox->Count(), 100000);
  EXPECT_LT(f.form.findChildren<QObject*>().size(), 200) << "objects made per entry";
  // Shift+End from the first row selects every entry; Remove takes them all but the last
  // one deselected with Ctrl+Space.
  f.form.FileListBox->setFocus();
  f.form.FileListBox->SetCurrentRow(0);
  QTest::keyClick(f.form.FileListBox, Qt::Key_Space);
  QTest::keyClick(f.form.FileListBox, Qt::Key_End, Qt::ShiftModifier);
  EXPECT_EQ(f.form.Model().SelectedCount(), 100000u);
  QTest::keyClick(f.form.FileListBox, Qt::Key_Space, Qt::ControlModifier);
  EXPECT_EQ(f.form.Model().SelectedCount(), 99999u);
  EXPECT_TRUE(f.form.RemoveButton->isEnabled());
  f.form.RemoveButton->click();
  EXPECT_EQ(f.form.List(), std::vector<std::string>{"/music/99999.mp3"});
  EXPECT_EQ(f.session.List().Entries(), std::vector<std::string>{"/music/99999.mp3"});
  f.SetList(entries);
  f.form.FileListBox->SetCurrentRow(99998);
  QTest::keyClick(f.form.FileListBox, Qt::Key_Return);
  EXPECT_EQ(f.session.LoadedFile(), "/music/99998.mp3");
  EXPECT_EQ(f.session.List().Index(), 99998);
}

// Catches Load that reads on the window's thread, takes a line longer than a path, or
// leaves the refusal unsaid; and a chosen FIFO that blocks the window.
TEST(TPlayListForm, LoadReadsOnAWorkerAndNamesTheRefusedLines) {
  PlayListFixture f;
  TempDir dir;
  const std::string list = dir.File("l.pls"), fifo = dir.File("f.pls");
  WriteText(list, "/m/a.mp3\r\n" + std::string(100 * 1024, 'x') + "\r\n/m/b.mp3\r\n");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  FifoRescue rescue(fifo);
  std::string chosen = list;
  TPlayListForm::Dialogs d;
  d.chooseListToLoad = [&](QWidget*) { return QString::fromStdString(chosen); };
  d.showError = [&](QWidget*, const QString& caption, const QString& text) { f.errors.push_back(caption + ": " + text); };
  f.form.SetDialogs(d);
  f.SetList({"/first.mp3"});
  f.form.LoadButton->click();
  EXPECT_TRUE(f.form.Gathering());
  EXPECT_FALSE(f.form.AddButton->isEnabled()) << "the list changes only when what is read joins it";
  EXPECT_TRUE(f.form.CancelButton->isEnabled());
  ASSERT_TRUE(f.WaitForGathering());
  EXPECT_EQ(f.form.List(), (std::vector<std::string>{"/first.mp3", "/m/a.mp3", "/m/b.mp3"}));
  EXPECT_TRUE(f.form.OKButton->isEnabled());
  ASSERT_EQ(f.errors.size(), 1u);
  EXPECT_EQ(f.errors[0].toStdString(), "Error: " + list +
                                           ", line 2: an entry of 102400 bytes is longer than a path can be (at most "
                                           "4095 bytes); it was left out");
  chosen = fifo;
  f.form.LoadButton->click();
  ASSERT_TRUE(f.WaitForGathering()) << "a FIFO chosen for Load held the window's worker";
  ASSERT_EQ(f.errors.size(), 2u);
  EXPECT_EQ(f.errors[1].toStdString(), "Error: Cannot read play list " + fifo + ": it is not a regular file");
  EXPECT_EQ(f.form.List().size(), 3u);
}

// Catches a typed address too long for a list taken without a word.
TEST(TPlayListForm, AddUrlRefusesAnAddressLongerThanAPath) {
  PlayListFixture f;
  f.SetList({});
  f.AnswerPrompt(QStringLiteral("http://host/") + QString(int(kMaxEntryBytes), QLatin1Char('a')));
  f.form.AddURLButton->click();
  EXPECT_TRUE(f.form.List().empty());
  EXPECT_EQ(f.errors, (std::vector<QString>{QStringLiteral("Error: ") + QString::fromLatin1(kUrlTooLongMessage)}));
}

// Catches PlayListFormWidth=100000 applied as it is (a 384 MB window) and a stored place
// off the screen.
TEST(TPlayListForm, StoredGeometryIsFittedToTheScreen) {
  PlayerSettings settings;
  settings.playListFormWidth = 100000;
  settings.playListFormHeight = 100000;
  settings.playListFormLeft = -40000;
  settings.playListFormTop = 2000000000;
  FacadeLog log;
  QtMainLoop loop;
  QuietHost host;
  PlayerSession session{settings, FakeFactory(log), loop, host};
  TID3Form id3;
  TAskLineForm askLine;
  TPlayListForm form{settings, session, &id3, &askLine};
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(screen.contains(form.geometry())) << form.geometry().x() << "," << form.geometry().y() << " "
                                                << form.width() << "x" << form.height();
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
  EXPECT_FALSE(form.GenreComboBox->isHidden());

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

// Catches the editor cutting a long ID3v2 title to 30 characters when the user only
// presses OK, the first file's album and artist written to all files of a selection,
// and a year that is not a number accepted.
TEST(TID3Form, OkWithoutChangesKeepsLongTextsAndEachFilesOwnValues) {
  TempDir dir;
  const std::string longTitle(56, 'T');
  const std::string one = TaggedFile(dir, "one.mp3", "First"), two = TaggedFile(dir, "two.mp3", "Second");
  TagFileUpdate update;
  update.id3v2 = Id3v2Update{.title = longTitle, .artist = "An artist whose name is longer than thirty bytes"};
  ASSERT_TRUE(WriteTagFile(one, update));
  update.id3v2 = Id3v2Update{.artist = "Second Artist", .album = "Second Album"};
  update.id3v1 = Id3v1Update{.artist = "Second Artist", .album = "Second Album"};
  ASSERT_TRUE(WriteTagFile(two, update));

  TID3Form form;
  std::vector<QString> errors;
  form.SetShowError([&](QWidget*, const QString& c, const QString& t) { errors.push_back(c + ": " + t); });
  form.Prepare({one});
  EXPECT_EQ(form.SongEdit->text(), QString::fromStdString(longTitle));
  form.Apply({one});
  EXPECT_EQ(ReadId3v2Tag(one)->title, longTitle);

  form.Prepare({one, two});
  form.YearEdit->setText(QStringLiteral("2001"));
  form.Apply({one, two});
  EXPECT_TRUE(errors.empty());
  const auto first = ReadId3v2Tag(one), second = ReadId3v2Tag(two);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->artist, "An artist whose name is longer than thirty bytes");
  EXPECT_EQ(first->title, longTitle);
  EXPECT_EQ(second->artist, "Second Artist");
  EXPECT_EQ(second->album, "Second Album");
  EXPECT_EQ(second->year, "2001");
  EXPECT_EQ(first->year, "2001");

  // An AAC file keeps the ID3v1 record alone: no field it cannot hold is offered.
  form.Prepare({TaggedFile(dir, "x.aac", "Stream")});
  EXPECT_FALSE(form.TrackEdit->isEnabled());
  EXPECT_FALSE(form.GenreComboBox->isEnabled());
  form.Prepare({one});
  EXPECT_TRUE(form.CommentEdit->isEnabled());

  // A year that is not a number: a message, and the window stays open.
  form.Prepare({two});
  form.show();
  form.YearEdit->setText(QStringLiteral("late 90s"));
  form.OKButton->click();
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(errors, std::vector<QString>{"Error: The year must be a number, such as 1999."});
  form.YearEdit->clear();
  form.OKButton->click();
  EXPECT_FALSE(form.isVisible());
}

// Catches rows that show paths instead of the tags, playing times that never appear or
// block the window while read, Sort by path, and rows dragged in the view that the session
// does not get.
TEST(TPlayListForm, RowsShowTagsAndTimesSortByThemAndDragReorders) {
  PlayListFixture f;
  TempDir dir;
  const std::string zulu = dir.File("a.wav"), alpha = dir.File("b.wav"), plain = dir.File("c.wav");
  // Three seconds of 8 kHz mono silence each, the first two tagged.
  for (const std::string& path : {zulu, alpha, plain}) {
    std::string wav = std::string("RIFF") + std::string(4, '\0') + "WAVEfmt " + std::string("\x10\0\0\0\x01\0\x01\0", 8) +
                      std::string("\x40\x1f\0\0\x80\x3e\0\0\x02\0\x10\0", 12) + "data" + std::string("\x00\x77\x01\0", 4) +
                      std::string(48000, '\0');
    WriteText(path, wav);
  }
  for (const auto& [path, artist] : {std::pair{zulu, "Zulu"}, std::pair{alpha, "Alpha"}}) {
    TagFileUpdate update;
    update.id3v1 = Id3v1Update{.title = "Song", .artist = artist};
    ASSERT_TRUE(WriteTagFile(path, update));
  }
  f.SetList({zulu, alpha, plain});
  f.form.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !f.form.ReadingInfo(); }, 10000));
  EXPECT_EQ(f.form.FileListBox->RowText(0), QStringLiteral("Zulu \u2013 Song"));
  EXPECT_EQ(f.form.FileListBox->RowText(2), QStringLiteral("c.wav"));
  EXPECT_EQ(f.form.FileListBox->RowDuration(1), QStringLiteral("0:03"));

  // "Alpha – Song", "c.wav", "Zulu – Song": by path it would be a, b, c.
  f.form.SortButtonButton->click();
  EXPECT_EQ(f.session.List().Entries(), (std::vector<std::string>{alpha, plain, zulu}));
  f.form.ReverseSortButton->click();
  EXPECT_EQ(f.session.List().Entries(), (std::vector<std::string>{zulu, plain, alpha}));

  // Rows 0 and 2 dragged to the end: the view hands the drop to the model.
  QAbstractItemModel* model = f.form.FileListBox->model();
  std::unique_ptr<QMimeData> dragged(model->mimeData({model->index(0, 0), model->index(2, 0)}));
  model->dropMimeData(dragged.get(), Qt::MoveAction, 3, 0, QModelIndex());
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.session.List().Entries().front() == plain; }, 2000));
  EXPECT_EQ(f.session.List().Entries(), (std::vector<std::string>{plain, zulu, alpha}));
  EXPECT_EQ(f.form.List(), (std::vector<std::string>{plain, zulu, alpha}));
}

// Catches OK that leaves a list made while stopped silent, and OK that restarts an entry
// the user stopped.
TEST(TPlayListForm, OkPlaysANewCurrentEntryCloseOnlyHides) {
  PlayListFixture f;
  f.form.show();
  f.SetList({"a", "b"});
  f.form.CancelButton->click();
  EXPECT_FALSE(f.form.isVisible());
  EXPECT_EQ(f.session.State(), TransportState::Stopped);
  f.form.show();
  f.form.OKButton->click();
  EXPECT_FALSE(f.form.isVisible());
  EXPECT_EQ(f.session.LoadedFile(), "a");
  EXPECT_EQ(f.session.State(), TransportState::Playing);
  f.session.Stop();
  f.form.show();
  f.form.OKButton->click();
  EXPECT_EQ(f.session.State(), TransportState::Stopped);
}

// Catches the titles and lengths of a loaded M3U lost on the way into the rows and out of
// Save.
TEST(TPlayListForm, ALoadedListsTitlesShowAndAreSaved) {
  PlayListFixture f;
  TempDir dir;
  const std::string m3u = dir.File("in.m3u"), saved = dir.File("out.m3u");
  WriteText(m3u, "#EXTM3U\n#EXTINF:245,Radio Night – Live\nhttp://radio.example/live\n");
  TPlayListForm::Dialogs d;
  d.chooseListToLoad = [&](QWidget*) { return QString::fromStdString(m3u); };
  d.chooseListToSave = [&](QWidget*) { return QString::fromStdString(saved); };
  d.showError = [&](QWidget*, const QString& caption, const QString& text) { f.errors.push_back(caption + ": " + text); };
  f.form.SetDialogs(d);
  f.form.show();
  f.form.LoadButton->click();
  ASSERT_TRUE(f.WaitForGathering());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !f.form.ReadingInfo(); }, 10000));
  EXPECT_EQ(f.form.FileListBox->RowText(0), QStringLiteral("Radio Night – Live"));
  EXPECT_EQ(f.form.FileListBox->RowDuration(0), QStringLiteral("4:05"));
  f.form.SaveButton->click();
  EXPECT_TRUE(f.errors.empty());
  EXPECT_NE(ReadText(saved).find("#EXTINF:245,Radio Night – Live"), std::string::npos) << ReadText(saved);
}

// Catches the editor offering only the ID3v1 fields for a FLAC or M4A file, showing
// their own tags wrongly, and an OK that writes an ID3 tag into them or loses their
// other fields; and a read-only one refused without the editor's message.
TEST(TID3Form, EditsTheOwnTagsOfFlacAndM4aFiles) {
  TempDir dir;
  const std::string flac = format_test_files::MakeTaggedFile(
      dir, format_test_files::kFormats[0], "one", 0.5,
      {{"TITLE", "Eins \xe2\x99\xab"}, {"ARTIST", "Band"}, {"TRACKNUMBER", "2"}, {"GENRE", "Jazz"}});
  const std::string m4a = format_test_files::MakeTaggedFile(dir, format_test_files::kFormats[3], "two", 0.5,
                                                            {{"TITLE", "Zwei"}, {"COMMENT", "Note"}});
  ASSERT_FALSE(flac.empty());
  ASSERT_FALSE(m4a.empty());
  TID3Form form;
  std::vector<QString> errors;
  form.SetShowError([&](QWidget*, const QString& c, const QString& t) { errors.push_back(c + ": " + t); });
  form.Prepare({flac});
  EXPECT_EQ(form.SongEdit->text(), QStringLiteral("Eins \u266b"));
  EXPECT_EQ(form.TrackEdit->text(), QStringLiteral("2"));
  EXPECT_EQ(form.GenreComboBox->currentText(), QStringLiteral("Jazz"));
  EXPECT_TRUE(form.TrackEdit->isEnabled());
  EXPECT_TRUE(form.CommentEdit->isEnabled());
  form.CommentEdit->setText(QStringLiteral("Kommentar"));
  form.Apply({flac});
  EXPECT_TRUE(errors.empty());

  form.Prepare({flac, m4a});
  form.TitleEdit->setText(QStringLiteral("Shared Album"));
  form.Apply({flac, m4a});
  EXPECT_TRUE(errors.empty());
  const TagEditFields one = ReadFieldsForEditing(flac), two = ReadFieldsForEditing(m4a);
  EXPECT_EQ(one.title, "Eins \xe2\x99\xab");
  EXPECT_EQ(one.comment, "Kommentar");
  EXPECT_EQ(one.trackNumber, "2");
  EXPECT_EQ(one.album, "Shared Album");
  EXPECT_EQ(two.title, "Zwei");
  EXPECT_EQ(two.comment, "Note");
  EXPECT_EQ(two.album, "Shared Album");
  EXPECT_EQ(ReadText(flac).substr(0, 4), "fLaC") << "no ID3v2 tag in front";

  ASSERT_EQ(::chmod(m4a.c_str(), 0444), 0);
  form.Prepare({m4a});
  form.ArtistEdit->setText(QStringLiteral("Locked"));
  form.Apply({m4a});
  EXPECT_EQ(errors, std::vector<QString>{"Error: Cannot write ID3 tag of: two.m4a\nThe file is read-only"});
}

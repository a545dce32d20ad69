// The maker's main window, offscreen: size, layout, list commands, Start, closing.
#include "maker/jobs/ui/main_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "common/ui/qt_main_loop.h"
#include "common/ui/window_closer.h"
#include "maker/cd/cd_device.h"
#include "maker/jobs/job_rows.h"
#include "maker/jobs/ui/about_form.h"
#include "maker/jobs/ui/directory_select_form.h"
#include "maker/jobs/ui/maker_application.h"
#include "maker/jobs/ui/tabbed_list_delegate.h"
#include "maker/metadata/ui/cd_info_form.h"
#include "maker/settings/ui/options_form.h"
#include "tests/cdaccess/disc_image_builder.h"
#include "tests/common/temp_dir.h"
#include "tests/maker/settings/ui/load_language.h"

using maker::TMainForm;
using maker::TOptionsForm;

namespace {

void Touch(const std::string& path) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path) << "x";
}

std::vector<std::string> Rows(QListWidget* list) {
  std::vector<std::string> rows;
  for (int i = 0; i < list->count(); ++i) rows.push_back(list->item(i)->text().toStdString());
  return rows;
}

// A window over settings of its own, with the dialogs answered by the test.
class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = std::make_unique<testcd::ScopedEnv>("ZIMBAR_HOME", dir.Path() + "/home");
    userHome_ = std::make_unique<testcd::ScopedEnv>("HOME", dir.Path());
    settings.outputPath = dir.Path();
    settings.version = 0x010341;  // no desktop shortcut from these tests
  }
  void TearDown() override {
    form.reset();
    errors.clear();
  }
  // Creates and shows the window with `args` on its command line.
  void Open(const std::vector<std::string>& args = {}) {
    form = std::make_unique<TMainForm>(settings, loop);
    form->showError = [this](const QString& text, const QString&) { errors.push_back(text.toStdString()); };
    form->askYesNo = [](const QString&, const QString&) { return true; };
    form->execDialog = [this](QDialog* dialog) { return answerDialog ? answerDialog(dialog) : false; };
    form->FormCreate(args, dir.Path());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QApplication::processEvents();
  }
  void Select(QRadioButton* button) {
    button->click();
    QApplication::processEvents();
  }

  testcd::TempDir dir;
  std::unique_ptr<testcd::ScopedEnv> home_;
  std::unique_ptr<testcd::ScopedEnv> userHome_;
  SettingsTable settings;
  QtMainLoop loop;
  std::unique_ptr<TMainForm> form;
  std::vector<std::string> errors;
  std::function<bool(QDialog*)> answerDialog;
};

// Catches a window that can be made smaller than 550 x 450 (its lists then overlap the
// buttons), and a snap that changes a size that is large enough.
TEST_F(MainFormTest, ResizeBelowTheMinimumSnapsBack) {
  Open();
  form->resize(400, 300);
  QApplication::processEvents();
  EXPECT_EQ(form->width(), 550);
  EXPECT_EQ(form->height(), 450);
  form->resize(700, 520);
  QApplication::processEvents();
  EXPECT_EQ(form->size(), QSize(700, 520));
}

// Catches the wrong panels after an operation change: the track list and reader log left
// visible for a file operation, the file list shown for CD to MP3, the encoder panel shown
// for CD to WAV, the priority menu enabled for CD to WAV, and stale Start hints.
TEST_F(MainFormTest, LayoutFollowsTheOperation) {
  Open();
  EXPECT_TRUE(form->CD2MP3RadioButton->isChecked());
  EXPECT_TRUE(form->TracksList->isVisible());
  EXPECT_TRUE(form->ReaderLogMemo->isVisible());
  EXPECT_TRUE(form->EncoderLogMemo->isVisible());
  EXPECT_FALSE(form->FileListBox->isVisible());
  EXPECT_TRUE(form->CDTargetGroupBox->isVisible());
  EXPECT_FALSE(form->FileTargetGroupBox->isVisible());
  // The reader panel takes two thirds of the window's height, the track list half of it.
  EXPECT_NEAR(form->ReaderPanel->height(), form->centralWidget()->height() * 2 / 3, 2);
  EXPECT_NEAR(form->TracksList->height(), form->ReaderPanel->height() / 2, 2);

  Select(form->WAV2MP3RadioButton);
  EXPECT_FALSE(form->TracksList->isVisible());
  EXPECT_FALSE(form->ReaderLogMemo->isVisible());
  EXPECT_TRUE(form->FileListBox->isVisible());
  EXPECT_TRUE(form->FileTargetGroupBox->isVisible());
  EXPECT_FALSE(form->CDTargetGroupBox->isVisible());
  EXPECT_EQ(form->StartButton->toolTip(), QStringLiteral("Start Encoding"));
  EXPECT_NEAR(form->FileListBox->height(), form->EncoderPanel->height() / 2, 2);

  Select(form->CD2WAVRadioButton);
  EXPECT_TRUE(form->TracksList->isVisible());
  EXPECT_FALSE(form->EncoderPanel->isVisible());
  EXPECT_FALSE(form->MenuOptionsPriority->isEnabled());
  EXPECT_EQ(form->StartButton->toolTip(), QStringLiteral("Start Reading CD"));
  // The reader panel fills the list area.
  EXPECT_GT(form->ReaderPanel->height(), form->centralWidget()->height() * 3 / 4);

  Select(form->MP32WAVRadioButton);
  EXPECT_TRUE(form->MenuOptionsPriority->isEnabled());
  EXPECT_EQ(form->StartButton->toolTip(), QStringLiteral("Start Decoding"));
}

// Catches Start enabled with nothing to do: an empty file list in the file operations,
// no selected track in the CD operations; and Remove enabled without a selection.
TEST_F(MainFormTest, StartIsEnabledOnlyWithSomethingToDo) {
  Open();
  EXPECT_FALSE(form->StartButton->isEnabled());  // no drive, no tracks
  EXPECT_FALSE(form->InputCDComboBox->isEnabled());
  EXPECT_EQ(form->InputCDComboBox->itemText(0), QStringLiteral("No CD-ROM Drive Found"));
  Select(form->WAV2MP3RadioButton);
  EXPECT_FALSE(form->StartButton->isEnabled());
  EXPECT_FALSE(form->ClearButton->isEnabled());
  Touch(dir.Path() + "/a.wav");
  form->chooseFiles = [&](const QString& filter) {
    EXPECT_EQ(filter.toStdString().rfind("PCM WAV files", 0), 0u) << filter.toStdString();
    return QStringList{QString::fromStdString(dir.Path() + "/a.wav")};
  };
  form->AddButton->click();
  EXPECT_TRUE(form->StartButton->isEnabled());
  EXPECT_TRUE(form->ClearButton->isEnabled());
  EXPECT_FALSE(form->RemoveButton->isEnabled());
  form->FileListBox->item(0)->setSelected(true);
  EXPECT_TRUE(form->RemoveButton->isEnabled());
  form->RemoveButton->click();
  EXPECT_EQ(form->FileListBox->count(), 0);
  EXPECT_FALSE(form->StartButton->isEnabled());
  Select(form->CD2MP3RadioButton);
  EXPECT_FALSE(form->StartButton->isEnabled());
}

// Catches Add Files that adds a file the list has already, appends in the dialog's order
// instead of sorted without case, offers the WAV filter for decoding, or lists a file of
// the wrong kind (typed into the dialog) without a word.
TEST_F(MainFormTest, AddFilesSortsAndAddsAFileOnce) {
  Open();
  Select(form->MP32WAVRadioButton);
  const std::string m = dir.Path() + "/m";
  for (const char* name : {"/b.mp3", "/A.mp3", "/c.wav"}) Touch(m + name);
  QString offered;
  QStringList answer{QString::fromStdString(m + "/b.mp3"), QString::fromStdString(m + "/A.mp3")};
  form->chooseFiles = [&](const QString& filter) {
    offered = filter;
    return answer;
  };
  form->AddButton->click();
  form->AddButton->click();
  for (const char* pattern : {"*.mp?", "*.aac", "*.flac", "*.ogg", "*.oga", "*.opus", "*.m4a"})
    EXPECT_TRUE(offered.contains(QString::fromLatin1(pattern) + QLatin1Char(' ')) ||
                offered.contains(QString::fromLatin1(pattern) + QLatin1Char(')')))
        << pattern << " in " << offered.toStdString();
  EXPECT_EQ(Rows(form->FileListBox), (std::vector<std::string>{"+\t" + m + "/A.mp3", "+\t" + m + "/b.mp3"}));
  EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
  answer = {QString::fromStdString(m + "/c.wav")};
  form->AddButton->click();
  EXPECT_EQ(form->FileListBox->count(), 2);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("decoding takes MP3, AAC, FLAC, Ogg, Opus and M4A files"), std::string::npos) << errors[0];
  EXPECT_NE(errors[0].find(m + "/c.wav (not an MP3, AAC, FLAC, Ogg, Opus or M4A file)"), std::string::npos) << errors[0];
  form->ClearButton->click();
  EXPECT_EQ(form->FileListBox->count(), 0);
}

// Catches Add Directory in MP3 to WAV mixing ".aac" files into the ".mp3" pass, passing
// over the FLAC, Ogg, Opus and M4A files, and dropped folders collected otherwise than
// Add Directory collects them.
TEST_F(MainFormTest, AddDirectoryTakesMp3FilesThenAacThenTheOtherFormats) {
  Open();
  const std::string d = dir.Path() + "/music";
  Touch(d + "/a.MP3");
  Touch(d + "/b.aac");
  Touch(d + "/sub/c.mp3");
  Touch(d + "/d.FLAC");
  Touch(d + "/sub/e.opus");
  Touch(d + "/f.ogg");
  Touch(d + "/g.m4a");
  Touch(d + "/h.txt");
  Select(form->MP32WAVRadioButton);
  form->chooseFolder = [&] { return QString::fromStdString(d); };
  form->AddDirButton->click();
  const std::vector<std::string> expected = {"+\t" + d + "/a.MP3", "+\t" + d + "/sub/c.mp3", "+\t" + d + "/b.aac",
                                             "+\t" + d + "/d.FLAC", "+\t" + d + "/f.ogg", "+\t" + d + "/g.m4a",
                                             "+\t" + d + "/sub/e.opus"};
  EXPECT_EQ(Rows(form->FileListBox), expected);
  EXPECT_TRUE(form->StartButton->isEnabled());

  form->ClearButton->click();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(d))});
  QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form.get(), &drop);
  EXPECT_EQ(Rows(form->FileListBox), expected);
}

// "Open with" and the command line: catches MP3 files put on the encode list, the other
// kind listed (and encoded into errors) instead of named in the log, and a folder taken for
// a missing file instead of collected as Add Directory collects it.
TEST_F(MainFormTest, CommandLineFilesChooseTheOperationByTheirKind) {
  const std::string m = dir.Path() + "/m";
  for (const char* name : {"/a.mp3", "/b.wav", "/tree/c.aac", "/tree/d.wav"}) Touch(m + name);
  Open({m + "/a.mp3", m + "/b.wav", m + "/tree"});
  EXPECT_TRUE(form->MP32WAVRadioButton->isChecked());
  ASSERT_EQ(form->FileListBox->count(), 2);
  EXPECT_EQ(FileRowPath(form->FileListBox->item(0)->text().toStdString()), m + "/a.mp3");
  EXPECT_EQ(FileRowPath(form->FileListBox->item(1)->text().toStdString()), m + "/tree/c.aac");
  const std::string log = form->EncoderLogMemo->toPlainText().toStdString();
  EXPECT_NE(log.find("Warning: not added: " + m + "/b.wav (not an MP3, AAC, FLAC, Ogg, Opus or M4A file)"), std::string::npos) << log;
  EXPECT_EQ(log.find("no such file"), std::string::npos) << log;
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Pipeline().Busy(); }, 10000));
}

// Catches a switch of the file operation that leaves files the new operation cannot take
// (each would end in an error), one that does not say how many it took off, and a switch
// to a CD operation that empties the file list.
TEST_F(MainFormTest, SwitchingTheOperationRemovesFilesThatDoNotFit) {
  Open();
  const std::string m = dir.Path() + "/m";
  for (const char* name : {"/a.wav", "/b.wav", "/c.mp3"}) Touch(m + name);
  Select(form->WAV2MP3RadioButton);
  ASSERT_EQ(form->AddPaths({m + "/a.wav", m + "/b.wav"}), 2);
  Select(form->CD2MP3RadioButton);
  Select(form->WAV2MP3RadioButton);
  EXPECT_EQ(form->FileListBox->count(), 2);
  Select(form->MP32WAVRadioButton);
  EXPECT_EQ(form->FileListBox->count(), 0);
  EXPECT_FALSE(form->StartButton->isEnabled());
  EXPECT_TRUE(form->EncoderLogMemo->toPlainText().endsWith(
      QStringLiteral("Removed 2 files from the list: decoding takes MP3, AAC, FLAC, Ogg, Opus and M4A files.")))
      << form->EncoderLogMemo->toPlainText().toStdString();
  ASSERT_EQ(form->AddPaths({m + "/c.mp3"}), 1);
  const QString before = form->EncoderLogMemo->toPlainText();
  Select(form->MP32WAVRadioButton);
  EXPECT_EQ(form->FileListBox->count(), 1);
  EXPECT_EQ(form->EncoderLogMemo->toPlainText(), before);  // nothing removed, nothing said
  EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
}

// Catches a dropped file of the wrong kind listed (its job would fail) or refused without
// a word, a dropped file listed twice, and a drop on a CD operation that chooses the
// operation by a later file than the first.
TEST_F(MainFormTest, ADroppedFileOfTheWrongKindIsRefusedWithAMessage) {
  Open();
  const std::string m = dir.Path() + "/m";
  for (const char* name : {"/a.wav", "/b.mp3"}) Touch(m + name);
  auto drop = [&](const std::vector<std::string>& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const auto& path : paths) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent event(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &event);
  };
  drop({m + "/b.mp3", m + "/a.wav"});  // from CD to MP3: the first file decides
  EXPECT_TRUE(form->MP32WAVRadioButton->isChecked());
  EXPECT_EQ(Rows(form->FileListBox), std::vector<std::string>{"+\t" + m + "/b.mp3"});
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find(m + "/a.wav (not an MP3, AAC, FLAC, Ogg, Opus or M4A file)"), std::string::npos) << errors[0];
  errors.clear();
  drop({m + "/b.mp3"});
  EXPECT_EQ(form->FileListBox->count(), 1);
  EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
  form->ClearButton->click();
  Select(form->WAV2MP3RadioButton);
  drop({m + "/b.mp3"});
  EXPECT_EQ(form->FileListBox->count(), 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "This was not added: encoding takes WAV files.\n\n" + m + "/b.mp3 (not a WAV file)");
}

// Catches command-line files not listed as bare full paths, relative paths taken from
// another folder than the one the program started in, and WAV2MP3 not selected for them.
TEST_F(MainFormTest, CommandLineFilesAreListedForEncoding) {
  Touch(dir.Path() + "/x.wav");
  const std::string cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  Open({"-js", "x.wav"});
  std::filesystem::current_path(cwd);
  EXPECT_TRUE(form->WAV2MP3RadioButton->isChecked());
  ASSERT_EQ(form->FileListBox->count(), 1);
  EXPECT_EQ(FileRowPath(form->FileListBox->item(0)->text().toStdString()), dir.Path() + "/x.wav");
  EXPECT_EQ(settings.channels, 2);
  // The first show pressed Start (x.wav is no WAV file, so its row ends in error).
  EXPECT_FALSE(form->Pipeline().AutoStart());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Pipeline().Busy(); }, 10000));
  EXPECT_EQ(RowStatus(form->FileListBox->item(0)->text().toStdString()), "Error:");
}

// Catches a chooser that accepts a file for a folder, one that does not make missing
// levels, and a chosen folder that does not reach the setting and the panel.
TEST_F(MainFormTest, OutputFolderChooserCreatesLevelsAndRefusesFiles) {
  Open();
  TDirectorySelectForm* chooser = form->DirectorySelectForm();
  std::vector<std::string> chooserErrors;
  chooser->showError = [&](const QString& text, const QString& caption) {
    chooserErrors.push_back(text.toStdString());
    EXPECT_EQ(caption, QStringLiteral("Directory Selection Error"));
  };
  Touch(dir.Path() + "/file");
  const std::string made = dir.Path() + "/new/deeper/out";
  answerDialog = [&](QDialog* dialog) {
    EXPECT_EQ(dialog, chooser);
    EXPECT_EQ(chooser->DirectoryEdit->text().toStdString(), dir.Path());
    chooser->DirectoryEdit->setText(QString::fromStdString(dir.Path() + "/file"));
    chooser->OKButtonClick();
    EXPECT_EQ(chooserErrors.size(), 1u);
    chooser->DirectoryEdit->setText(QString::fromStdString(made + "/"));
    chooser->OKButtonClick();
    return chooser->result() == QDialog::Accepted;
  };
  form->OutputPathButton->click();
  ASSERT_EQ(chooserErrors.size(), 1u);
  EXPECT_EQ(chooserErrors[0], "ERROR: Specified directory name is invalid or cannot be created.");
  EXPECT_TRUE(std::filesystem::is_directory(made));
  EXPECT_EQ(settings.outputPath.str(), made);
  EXPECT_EQ(form->SelectedOutputDirectoryLabel->text().toStdString(), "Output Path: " + made);
}

// Catches a priority menu whose items do not check one at a time, and a start-up that
// does not check Normal.
TEST_F(MainFormTest, PriorityMenuChecksOneItem) {
  Open();
  EXPECT_TRUE(form->MenuOptionsPriorityNormal->isChecked());
  form->MenuOptionsPriorityIdle->trigger();
  int checked = 0;
  for (QAction* item : form->MenuOptionsPriority->actions()) checked += item->isChecked() ? 1 : 0;
  EXPECT_EQ(checked, 1);
  EXPECT_TRUE(form->MenuOptionsPriorityIdle->isChecked());
  EXPECT_EQ(form->Pipeline().CheckedPriority(), ThreadPriority::Idle);
}

// Catches an output folder that defaults to the folder the program was started in (`/`
// from a desktop launcher) and is then saved as if chosen, and a chosen folder that is
// gone kept: with OutputPath empty the window shows the user's music folder, the first CD
// run creates it and writes there, and OutputPath stays empty in the saved settings.
TEST_F(MainFormTest, OutputFolderDefaultsToTheMusicFolderAndIsNeverSaved) {
  std::filesystem::create_directories(dir.Path() + "/config");
  std::ofstream(dir.Path() + "/config/user-dirs.dirs") << "XDG_MUSIC_DIR=\"$HOME/Musik\"\n";
  const testcd::ScopedEnv xdg("XDG_CONFIG_HOME", dir.Path() + "/config");
  const testcd::DiscImage image(dir.Path(), "disc", {testcd::Tone(75, 440, 8000)});
  settings.discImages = image.CuePath();
  settings.useWinNtRawRead = 1;
  settings.outputPath = "";
  const testcd::ScopedEnv libraries("ZIMBAR_LIB_DIR", ZIMBAR_BIN_DIR);
  const std::string music = dir.Path() + "/Musik";
  Open();
  EXPECT_EQ(form->SelectedOutputDirectoryLabel->text().toStdString(), "Output Path: " + music);
  EXPECT_EQ(form->OutputDirectory(), music);
  EXPECT_TRUE(settings.outputPath.empty()) << settings.outputPath.str();
  EXPECT_FALSE(std::filesystem::exists(music)) << "made before a run needed it";

  Select(form->CD2WAVRadioButton);
  form->StartButton->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Pipeline().Busy() && !form->Pipeline().HasLiveWorkers(); }, 20000));
  EXPECT_TRUE(std::filesystem::exists(music + "/Track01.wav")) << form->ReaderLogMemo->toPlainText().toStdString();
  EXPECT_TRUE(settings.outputPath.empty()) << settings.outputPath.str();
  ASSERT_TRUE(settings.Save(dir.Path() + "/saved.INI"));
  std::ifstream saved(dir.Path() + "/saved.INI");
  EXPECT_NE(std::string(std::istreambuf_iterator<char>(saved), {}).find("\nOutputPath=\n"), std::string::npos);

  form.reset();
  settings.outputPath = dir.Path() + "/gone";
  Open();
  EXPECT_EQ(form->SelectedOutputDirectoryLabel->text().toStdString(), "Output Path: " + music);
  EXPECT_TRUE(settings.outputPath.empty()) << settings.outputPath.str();
}

// A disc image as the drive: the track list with lengths, CD to WAV, and closing the
// window in the middle of the run. Catches rows without their lengths, a close that
// leaves workers running (a crash or a write after the window is gone under ASan), and
// a close that does not give the cancelled outcome.
TEST_F(MainFormTest, ClosingDuringACdRunCancelsAndWaits) {
  const testcd::DiscImage image(dir.Path(), "disc", {testcd::Tone(75 * 3, 440, 8000), testcd::Noise(75 * 200, 7)});
  settings.discImages = image.CuePath();
  settings.useWinNtRawRead = 1;
  settings.outputPath = dir.Path() + "/out";
  std::filesystem::create_directories(dir.Path() + "/out");
  const testcd::ScopedEnv libraries("ZIMBAR_LIB_DIR", ZIMBAR_BIN_DIR);
  const testcd::ScopedEnv slow("ZIMBAR_CD_SIMULATE", "delay=20");
  Open();
  ASSERT_TRUE(form->InputCDComboBox->isEnabled());
  ASSERT_EQ(form->TracksList->count(), 2);
  EXPECT_EQ(form->TracksList->item(0)->text().toStdString(), "+\tTrack 01\t00:03\t");
  EXPECT_EQ(form->TracksList->item(1)->text().toStdString(), "+\tTrack 02\t03:20\t");
  EXPECT_TRUE(form->StartButton->isEnabled());
  Select(form->CD2WAVRadioButton);
  form->TracksList->item(0)->setSelected(false);
  form->StartButton->click();
  ASSERT_TRUE(form->Pipeline().Busy()) << ::testing::PrintToString(errors);
  EXPECT_TRUE(form->CancelButton->isVisibleTo(form.get()));
  EXPECT_FALSE(form->StartButton->isVisibleTo(form.get()));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return form->ReaderLogMemo->toPlainText().contains(QStringLiteral("Reading: ")); }, 10000));
  QTest::qWait(300);
  form->close();
  EXPECT_FALSE(form->Pipeline().Busy());
  EXPECT_FALSE(form->Pipeline().HasLiveWorkers());
  EXPECT_EQ(RowStatus(form->TracksList->item(1)->text().toStdString()), "Cancelled");
  EXPECT_TRUE(form->ReaderLogMemo->toPlainText().endsWith(QStringLiteral("    Cancelled.")))
      << form->ReaderLogMemo->toPlainText().toStdString();
  form.reset();
  EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/out/Track01.wav"));
}

// Catches a disc image of the settings that is gone listed as a drive (it moves every
// drive after it), Open Disc Image that does not list and choose the image (or lists it
// twice), Eject offered for an image, and a run that leaves no track selected (Start
// disabled, the tracks to choose again).
TEST_F(MainFormTest, OpenDiscImageListsItAndARunKeepsTheSelection) {
  const testcd::DiscImage first(dir.Path(), "first", {testcd::Tone(75, 440, 8000)});
  const testcd::DiscImage second(dir.Path(), "second", {testcd::Tone(40, 440, 8000), testcd::Noise(30, 7),
                                                         testcd::Tone(20, 220, 8000)});
  const std::string gone = dir.Path() + "/gone.cue";
  settings.discImages = gone + "|" + first.CuePath();
  settings.outputPath = dir.Path() + "/out";
  std::filesystem::create_directories(dir.Path() + "/out");
  const testcd::ScopedEnv libraries("ZIMBAR_LIB_DIR", ZIMBAR_BIN_DIR);
  Open();
  const int firstDrive = first.DriveIndex();
  ASSERT_EQ(form->InputCDComboBox->count(), firstDrive + 1);
  EXPECT_EQ(form->InputCDComboBox->itemText(firstDrive), QStringLiteral("Image first.cue"));
  EXPECT_TRUE(form->ReaderLogMemo->toPlainText().contains(QString::fromStdString("not listed as a drive: " + gone)));

  QString offered = QString::fromStdString(second.CuePath());
  form->chooseDiscImage = [&] { return offered; };
  for (int twice = 0; twice < 2; ++twice) {
    form->MenuFileOpenDiscImage->trigger();
    ASSERT_EQ(form->InputCDComboBox->count(), firstDrive + 2);
    EXPECT_EQ(form->InputCDComboBox->currentIndex(), firstDrive + 1);
    EXPECT_EQ(form->InputCDComboBox->currentText(), QStringLiteral("Image second.cue"));
    EXPECT_EQ(form->TracksList->count(), 3);
  }
  QMetaObject::invokeMethod(form->MenuFile, "aboutToShow");
  EXPECT_TRUE(form->MenuFileOpenDiscImage->isEnabled());
  EXPECT_FALSE(form->MenuFileEject->isEnabled());
  offered = QString::fromStdString(gone);
  form->MenuFileOpenDiscImage->trigger();
  EXPECT_EQ(errors, std::vector<std::string>{"ERROR: No such disc image: " + gone});
  EXPECT_EQ(form->InputCDComboBox->count(), firstDrive + 2);
  errors.clear();

  Select(form->CD2WAVRadioButton);
  form->TracksList->item(1)->setSelected(false);
  form->StartButton->click();
  ASSERT_TRUE(form->Pipeline().Busy()) << ::testing::PrintToString(errors);
  QMetaObject::invokeMethod(form->MenuFile, "aboutToShow");
  EXPECT_FALSE(form->MenuFileOpenDiscImage->isEnabled());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Pipeline().Busy(); }, 20000));
  EXPECT_TRUE(form->TracksList->item(0)->isSelected());
  EXPECT_FALSE(form->TracksList->item(1)->isSelected());
  EXPECT_TRUE(form->TracksList->item(2)->isSelected());
  EXPECT_TRUE(form->StartButton->isEnabled());
  EXPECT_TRUE(std::filesystem::exists(dir.Path() + "/out/Track03.wav"));
  EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
}

// The CD information window closed with OK: catches rows that keep the old status or lose
// their selection, names taken from the wrong column of the window's rows, and Cancel
// that rebuilds the rows anyway.
TEST_F(MainFormTest, RowsAreRebuiltAfterTheCdWindowsOk) {
  const testcd::DiscImage image(dir.Path(), "disc",
                                {testcd::Tone(75 * 2, 440, 8000), testcd::Tone(75 * 2, 660, 8000), testcd::Tone(75 * 2, 880, 8000)});
  settings.discImages = image.CuePath();
  settings.useWinNtRawRead = 1;
  Open();
  ASSERT_EQ(form->TracksList->count(), 3);
  form->TracksList->item(0)->setText(QStringLiteral("OK\tTrack 01\t00:02\t"));
  form->TracksList->clearSelection();
  TCDInfoForm* cd = form->CDInfoForm();
  answerDialog = [&](QDialog* dialog) {
    EXPECT_EQ(dialog, cd);
    EXPECT_TRUE(cd->LoadFromCDDBButton->isEnabled());
    cd->TracksListBox->item(1)->setText(QStringLiteral(" 02\tAC/DC: Live?"));
    return false;
  };
  form->CDInfoButton->click();
  EXPECT_EQ(form->TracksList->item(0)->text(), QStringLiteral("OK\tTrack 01\t00:02\t"));
  EXPECT_EQ(form->TracksList->item(1)->text(), QStringLiteral("+\tTrack 02\t00:02\t"));
  EXPECT_TRUE(form->TracksList->selectedItems().isEmpty());
  answerDialog = [&](QDialog*) {
    cd->TracksListBox->item(1)->setText(QStringLiteral(" 02\tSecond Song"));
    return true;
  };
  form->CDInfoButton->click();
  EXPECT_EQ(form->TracksList->item(0)->text(), QStringLiteral("+\tTrack 01\t00:02\t"));
  EXPECT_EQ(form->TracksList->item(1)->text(), QStringLiteral("+\tTrack 02\t00:02\tSecond Song"));
  EXPECT_EQ(form->TracksList->selectedItems().size(), 3);
  EXPECT_TRUE(form->StartButton->isEnabled());
  EXPECT_EQ(form->Pipeline().TrackOutputPath(2, ".wav"), dir.Path() + "/Second Song.wav");
}

// Catches a disc image's titles not reaching the CD window, the track rows and the file
// names; anything of the previous disc (its titles, what the user typed for it) kept when
// another disc is chosen; and a disc chosen again that does not get back what was typed
// for it, in the CD window, the track rows and the file names.
TEST_F(MainFormTest, EachDiscShowsItsOwnInformation) {
  const testcd::DiscImage first(dir.Path(), "first", {testcd::Tone(75 * 2, 440, 8000), testcd::Tone(75 * 2, 660, 8000)},
                                {"PERFORMER \"Café – Ünïcödé\"\nTITLE \"First Album\"\n",
                                 {"    TITLE \"夜に駆ける\"\n", "    TITLE \"Two/Parts\"\n"}});
  // The same table of contents as the first: another image is another disc all the same.
  const testcd::DiscImage second(dir.Path(), "second", {testcd::Tone(75 * 2, 440, 8000), testcd::Tone(75 * 2, 660, 8000)},
                                 {"TITLE \"Second Album\"\n", {"    TITLE \"Other\"\n"}});
  settings.discImages = first.CuePath() + "|" + second.CuePath();
  settings.useWinNtRawRead = 1;
  Open();
  TCDInfoForm* cd = form->CDInfoForm();
  auto choose = [&](const QString& drive) {
    form->InputCDComboBox->setCurrentIndex(form->InputCDComboBox->findText(drive));
    form->InputCDComboBoxChange();
  };
  ASSERT_EQ(form->InputCDComboBox->currentText(), QStringLiteral("Image first.cue"));
  ASSERT_EQ(form->TracksList->count(), 2);
  EXPECT_EQ(form->TracksList->item(0)->text(), QStringLiteral("+\tTrack 01\t00:02\t夜に駆ける"));
  EXPECT_EQ(cd->TitleEdit->text(), QStringLiteral("First Album"));
  EXPECT_EQ(cd->ArtistEdit->text(), QStringLiteral("Café – Ünïcödé"));
  EXPECT_EQ(cd->TrackRowText(1), " 02\tTwo/Parts");
  EXPECT_EQ(form->Pipeline().TrackOutputPath(2, ".wav"), dir.Path() + "/Two-Parts.wav");

  // Typed for the first disc: artist, year, genre and the name of track 2.
  cd->ArtistEdit->setText(QStringLiteral("Typed"));
  cd->YearEdit->setText(QStringLiteral("1999"));
  cd->GenreComboBox->setCurrentText(QStringLiteral("Jazz"));
  cd->TracksListBox->item(1)->setText(QStringLiteral(" 02\tTyped Two"));
  choose(QStringLiteral("Image second.cue"));
  const CdInfo fresh;
  EXPECT_EQ(cd->TitleEdit->text(), QStringLiteral("Second Album"));
  EXPECT_EQ(cd->ArtistEdit->text(), QString());
  EXPECT_EQ(cd->YearEdit->text().toStdString(), fresh.year);
  EXPECT_EQ(cd->GenreComboBox->currentText().toStdString(), fresh.genre);
  EXPECT_EQ(cd->TrackRowText(0), " 01\tOther");
  EXPECT_EQ(CdTrackRowName(cd->TrackRowText(1)), "");
  EXPECT_EQ(form->TracksList->item(1)->text(), QStringLiteral("+\tTrack 02\t00:02\t"));
  const CdInfo secondInfo = form->CdInformation();
  EXPECT_EQ(secondInfo.artist, "");
  EXPECT_EQ(secondInfo.KnownYear(), "");
  EXPECT_EQ(form->Pipeline().TrackOutputPath(2, ".wav"), dir.Path() + "/Track02.wav");
  cd->ArtistEdit->setText(QStringLiteral("Second Typed"));

  // Back to the first disc: what it showed when it was left.
  choose(QStringLiteral("Image first.cue"));
  EXPECT_EQ(cd->TitleEdit->text(), QStringLiteral("First Album"));
  EXPECT_EQ(cd->ArtistEdit->text(), QStringLiteral("Typed"));
  EXPECT_EQ(cd->YearEdit->text(), QStringLiteral("1999"));
  EXPECT_EQ(cd->GenreComboBox->currentText(), QStringLiteral("Jazz"));
  EXPECT_EQ(cd->TrackRowText(0), " 01\t夜に駆ける");
  EXPECT_EQ(cd->TrackRowText(1), " 02\tTyped Two");
  EXPECT_EQ(form->TracksList->item(1)->text(), QStringLiteral("+\tTrack 02\t00:02\tTyped Two"));
  EXPECT_EQ(form->Pipeline().TrackOutputPath(2, ".wav"), dir.Path() + "/Typed Two.wav");
  // The same disc read again keeps what was typed; the second disc kept its own.
  choose(QStringLiteral("Image first.cue"));
  EXPECT_EQ(cd->ArtistEdit->text(), QStringLiteral("Typed"));
  choose(QStringLiteral("Image second.cue"));
  EXPECT_EQ(cd->ArtistEdit->text(), QStringLiteral("Second Typed"));
  EXPECT_EQ(cd->TitleEdit->text(), QStringLiteral("Second Album"));
}

// Catches a computer without a CD drive greeted by an error box (normal on Linux, and the
// box held the whole program), a drive list that does not say so or stays usable, CD
// operations that can start, and a drive list rebuilt after the options window that
// disables Start of a file operation with files listed.
TEST_F(MainFormTest, NoDriveIsNoErrorAndTheFileOperationsStayUsable) {
  Open();
  QTest::qWait(50);  // a box would come from the loop, once the window is up
  EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
  ASSERT_EQ(form->InputCDComboBox->count(), 1);
  EXPECT_EQ(form->InputCDComboBox->itemText(0), QStringLiteral("No CD-ROM Drive Found"));
  EXPECT_FALSE(form->InputCDComboBox->isEnabled());
  for (QRadioButton* cd : {form->CD2MP3RadioButton, form->CD2WAVRadioButton}) {
    Select(cd);
    EXPECT_FALSE(form->StartButton->isEnabled());
  }
  Select(form->WAV2MP3RadioButton);
  Touch(dir.Path() + "/a.wav");
  ASSERT_EQ(form->AddPaths({dir.Path() + "/a.wav"}), 1);
  EXPECT_TRUE(form->StartButton->isEnabled());
  answerDialog = [&](QDialog*) {
    settings.useWinNtRawRead = settings.useWinNtRawRead == 0 ? 1 : 0;  // the drive list anew
    return true;
  };
  form->MenuOptionsSettingsClick();
  QTest::qWait(50);
  EXPECT_TRUE(form->StartButton->isEnabled());
  EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
}

// Catches a language file whose leading blanks stay in front of a caption, a caption that
// puts a row into a list box or changes its rows, a list box's hint that is ignored, and a
// menu item or group box left untranslated.
TEST_F(MainFormTest, LanguageFileDropsLeadingBlanksAndGivesListBoxesOnlyHints) {
  std::filesystem::create_directories(dir.Path() + "/home");
  WriteText(dir.Path() + "/home/Language.DAT",
            "[MP3 Maker Main]\nTextOf_AddButton=   &Dateien\nHintOf_AddButton=  Dateien hinzuf\u00fcgen\n"
            "TextOf_FileListBox=Dateien\nHintOf_FileListBox=   Dateiliste\nTextOf_TracksList=Titel\n"
            "HintOf_TracksList=Titelliste\nTextOf_MenuFileExit=  &Beenden\nTextOf_OperationsGroupBox=Schritt 1: Vorgang\n");
  Open();
  EXPECT_EQ(form->AddButton->text(), QStringLiteral("&Dateien"));
  EXPECT_EQ(form->AddButton->toolTip(), QStringLiteral("Dateien hinzuf\u00fcgen"));
  EXPECT_EQ(form->MenuFileExit->text(), QStringLiteral("&Beenden"));
  EXPECT_EQ(form->OperationsGroupBox->title(), QStringLiteral("Schritt 1: Vorgang"));
  EXPECT_EQ(form->TracksList->count(), 0);
  EXPECT_EQ(form->TracksList->toolTip(), QStringLiteral("Titelliste"));
  // Translated again (as Load Language does) with a row in the list.
  Select(form->WAV2MP3RadioButton);
  Touch(dir.Path() + "/a.wav");
  ASSERT_EQ(form->AddPaths({dir.Path() + "/a.wav"}), 1);
  form->Translate();
  EXPECT_EQ(Rows(form->FileListBox), std::vector<std::string>{"+\t" + dir.Path() + "/a.wav"});
  EXPECT_EQ(form->FileListBox->toolTip(), QStringLiteral("Dateiliste"));
}

// Catches Load Language that does not translate the main window; a second language
// without a key that blanks the control, shows the key, or drops the first language's text
// before the next start; and a start with that file that does not show the English text.
TEST_F(MainFormTest, ASecondLanguageWithoutAKeyLeavesThatControlsText) {
  WriteText(dir.Path() + "/language_first.txt",
            "[MP3 Maker Main]\nTextOf_AddButton=&Dateien\nTextOf_ClearButton=&Leeren\n");
  WriteText(dir.Path() + "/language_second.txt", "[MP3 Maker Main]\nTextOf_ClearButton=&Vider\n");
  Open();
  EXPECT_EQ(form->AddButton->text(), QStringLiteral("&Add Files"));
  std::vector<std::string> optionErrors;
  auto load = [&](const std::string& file) {
    TOptionsForm* options = form->OptionsForm();
    options->show();
    LoadLanguageFromOptions(*options, dir.Path() + "/" + file,
                            [&](QWidget*, const QString&, const QString& text) { optionErrors.push_back(text.toStdString()); });
    options->hide();
  };
  load("language_first.txt");
  EXPECT_EQ(form->AddButton->text(), QStringLiteral("&Dateien"));
  EXPECT_EQ(form->ClearButton->text(), QStringLiteral("&Leeren"));
  load("language_second.txt");
  EXPECT_TRUE(optionErrors.empty()) << ::testing::PrintToString(optionErrors);
  EXPECT_EQ(form->AddButton->text(), QStringLiteral("&Dateien"));
  EXPECT_EQ(form->ClearButton->text(), QStringLiteral("&Vider"));

  form.reset();
  Open();
  EXPECT_EQ(form->AddButton->text(), QStringLiteral("&Add Files"));
  EXPECT_EQ(form->ClearButton->text(), QStringLiteral("&Vider"));
}

// Catches a termination signal or a close from outside that is lost while a box is up (Qt
// drops a close for a window a modal box blocks), a box left up, and a close that leaves
// the run going or does not wait for its worker.
TEST_F(MainFormTest, ASignalWhileABoxIsUpCancelsTheRunAndClosesTheWindow) {
  const testcd::DiscImage image(dir.Path(), "disc", {testcd::Tone(75 * 3, 440, 8000), testcd::Noise(75 * 200, 7)});
  settings.discImages = image.CuePath();
  settings.useWinNtRawRead = 1;
  settings.outputPath = dir.Path() + "/out";
  std::filesystem::create_directories(dir.Path() + "/out");
  const testcd::ScopedEnv libraries("ZIMBAR_LIB_DIR", ZIMBAR_BIN_DIR);
  const testcd::ScopedEnv slow("ZIMBAR_CD_SIMULATE", "delay=20");
  Open();
  WindowCloser closer(*form);
  closer.CloseOnTerminationSignals(loop);
  Select(form->CD2WAVRadioButton);
  form->TracksList->item(0)->setSelected(false);
  form->StartButton->click();
  ASSERT_TRUE(form->Pipeline().Busy()) << ::testing::PrintToString(errors);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return form->ReaderLogMemo->toPlainText().contains(QStringLiteral("Reading: ")); }, 10000));
  bool boxReturned = false;
  QTimer::singleShot(0, form.get(), [&] {
    QTimer::singleShot(50, [] { ::raise(SIGTERM); });
    QMessageBox::critical(form.get(), QStringLiteral("zbmaker (Zimbar MP3 Maker) Error"), QStringLiteral("ERROR: a box"));
    boxReturned = true;
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 15000));
  EXPECT_TRUE(boxReturned);
  EXPECT_EQ(closer.TerminationSignal(), SIGTERM);
  EXPECT_FALSE(form->Pipeline().Busy());
  EXPECT_FALSE(form->Pipeline().HasLiveWorkers());
  EXPECT_EQ(RowStatus(form->TracksList->item(1)->text().toStdString()), "Cancelled");
}

// Catches a close during a run that stops it without asking, a No that stops the run
// anyway or closes the window, and a termination signal that waits for an answer
// (nobody may be there to give one).
TEST_F(MainFormTest, ACloseDuringARunAsksFirstButASignalDoesNot) {
  const testcd::DiscImage image(dir.Path(), "disc",
                                {testcd::Tone(75 * 2, 440, 8000), testcd::Tone(75 * 2, 660, 8000), testcd::Noise(75 * 200, 7)});
  settings.discImages = image.CuePath();
  settings.useWinNtRawRead = 1;
  settings.outputPath = dir.Path() + "/out";
  std::filesystem::create_directories(dir.Path() + "/out");
  const testcd::ScopedEnv libraries("ZIMBAR_LIB_DIR", ZIMBAR_BIN_DIR);
  const testcd::ScopedEnv slow("ZIMBAR_CD_SIMULATE", "delay=20");
  Open();
  std::vector<std::string> questions;
  form->askYesNo = [&](const QString& text, const QString&) {
    questions.push_back(text.toStdString());
    return false;
  };
  Select(form->CD2WAVRadioButton);
  form->TracksList->item(2)->setSelected(false);
  form->StartButton->click();
  ASSERT_TRUE(form->Pipeline().Busy()) << ::testing::PrintToString(errors);
  EXPECT_FALSE(form->close());
  EXPECT_EQ(questions, std::vector<std::string>{"A run is in progress. Stop it and close?"});
  EXPECT_TRUE(form->isVisible());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Pipeline().Busy() && !form->Pipeline().HasLiveWorkers(); }, 20000));
  EXPECT_EQ(RowStatus(form->TracksList->item(0)->text().toStdString()), "OK");
  EXPECT_EQ(RowStatus(form->TracksList->item(1)->text().toStdString()), "OK");

  WindowCloser closer(*form);
  closer.CloseOnTerminationSignals(loop);
  form->closeWithoutAsking = [&] { return closer.TerminationSignal() != 0; };
  form->TracksList->clearSelection();  // the run left its tracks selected
  form->TracksList->item(2)->setSelected(true);
  form->StartButton->click();
  ASSERT_TRUE(form->Pipeline().Busy()) << ::testing::PrintToString(errors);
  ::raise(SIGTERM);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 15000));
  EXPECT_EQ(questions.size(), 1u);
  EXPECT_FALSE(form->Pipeline().Busy());
  EXPECT_FALSE(form->Pipeline().HasLiveWorkers());
  EXPECT_EQ(RowStatus(form->TracksList->item(2)->text().toStdString()), "Cancelled");
}

// Catches an exception thrown in a window's handler that ends the program (it ran into
// the event loop), one that is not shown in the maker's error box, a window that takes
// no events after it, and a failure while the box is up that opens a second box.
TEST_F(MainFormTest, AnExceptionInAHandlerIsShownAndTheWindowGoesOn) {
  auto* app = dynamic_cast<MakerApplication*>(QApplication::instance());
  ASSERT_NE(app, nullptr);
  Open();
  Select(form->WAV2MP3RadioButton);
  Touch(dir.Path() + "/a.wav");
  int asked = 0;
  form->chooseFiles = [&](const QString&) -> QStringList {
    if (++asked == 1) throw std::runtime_error("ERROR: the folder could not be listed");
    return {QString::fromStdString(dir.Path() + "/a.wav")};
  };
  QTest::mouseClick(form->AddButton, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return app->HandlerErrorBox() != nullptr; }, 5000)) << "no error box";
  QMessageBox* box = app->HandlerErrorBox();
  EXPECT_EQ(box->text(), QStringLiteral("ERROR: the folder could not be listed"));
  EXPECT_EQ(box->windowTitle(), QStringLiteral("zbmaker (Zimbar MP3 Maker) Error"));
  EXPECT_EQ(box->icon(), QMessageBox::Critical);
  // A handler fails again while the box is up: no second box.
  QTimer::singleShot(0, form.get(), [] { throw std::runtime_error("ERROR: again"); });
  QTest::qWait(50);
  EXPECT_EQ(app->HandlerErrorBox(), box);
  int boxes = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) boxes += qobject_cast<QMessageBox*>(w) && w->isVisible() ? 1 : 0;
  EXPECT_EQ(boxes, 1);
  box->accept();
  ASSERT_TRUE(QTest::qWaitFor([&] { return app->HandlerErrorBox() == nullptr; }, 5000));

  // The loop went on: the next click is handled in full.
  QTest::mouseClick(form->AddButton, Qt::LeftButton);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(form->FileListBox->count(), 1);
  EXPECT_TRUE(form->StartButton->isEnabled());
}

// Catches a title that shows the progress of the track instead of the run (100 % when a
// short first track is read), that does not say which job of how many it is at, a run
// bar that is not shown during the run or stays after it, and status panels that lose
// their per-job texts.
TEST_F(MainFormTest, TheTitleAndTheRunBarShowTheWholeRun) {
  // Long enough for the reader to report its share (every two seconds) in each track.
  const testcd::DiscImage image(dir.Path(), "disc",
                                {testcd::Tone(75 * 30, 440, 8000), testcd::Tone(75 * 60, 660, 8000)});
  settings.discImages = image.CuePath();
  settings.useWinNtRawRead = 1;
  settings.outputPath = dir.Path() + "/out";
  std::filesystem::create_directories(dir.Path() + "/out");
  const testcd::ScopedEnv libraries("ZIMBAR_LIB_DIR", ZIMBAR_BIN_DIR);
  const testcd::ScopedEnv slow("ZIMBAR_CD_SIMULATE", "delay=10");
  Open();
  const QString idle = form->windowTitle();
  EXPECT_EQ(idle, QStringLiteral("zbmaker (v1.3A)"));
  std::vector<QString> titles;
  bool barShown = false;
  bool readerTextSeen = false;
  QObject::connect(form.get(), &QWidget::windowTitleChanged, form.get(), [&](const QString& t) {
    titles.push_back(t);
    barShown = barShown || form->RunProgressBar->isVisible();
    readerTextSeen = readerTextSeen || form->ReaderStatusPanel->Text().contains(QStringLiteral("%, Track 0"));
  });
  QString titleWhenTrack1Ended;
  QObject::connect(form->TracksList, &QListWidget::itemChanged, form.get(), [&](QListWidgetItem* item) {
    if (item == form->TracksList->item(0) && item->text().startsWith(QStringLiteral("OK\t")) && titleWhenTrack1Ended.isEmpty())
      titleWhenTrack1Ended = form->windowTitle();
  });
  Select(form->CD2WAVRadioButton);
  form->StartButton->click();
  ASSERT_TRUE(form->Pipeline().Busy()) << ::testing::PrintToString(errors);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Pipeline().Busy() && !form->Pipeline().HasLiveWorkers(); }, 30000));
  EXPECT_EQ(form->windowTitle(), idle);
  EXPECT_FALSE(form->RunProgressBar->isVisible());
  EXPECT_TRUE(barShown);
  EXPECT_TRUE(readerTextSeen);

  static const QRegularExpression progress(QStringLiteral("^Track ([12]) of 2 \u2013 (\\d+) %( \u2013 .* left)?$"));
  int last = -1;
  for (const QString& title : titles) {
    if (title == idle) continue;
    const QRegularExpressionMatch m = progress.match(title);
    ASSERT_TRUE(m.hasMatch()) << title.toStdString();
    EXPECT_GE(m.captured(2).toInt(), last) << title.toStdString();
    last = m.captured(2).toInt();
  }
  EXPECT_GE(last, 99);
  // Shares within the second track came from the reader's panel.
  EXPECT_TRUE(std::any_of(titles.begin(), titles.end(), [](const QString& t) {
    const QRegularExpressionMatch m = progress.match(t);
    return m.hasMatch() && m.captured(2).toInt() > 34 && m.captured(2).toInt() < 99;
  })) << ::testing::PrintToString(titles.size());
  // The first track is a third of the run.
  const QRegularExpressionMatch atEnd = progress.match(titleWhenTrack1Ended);
  ASSERT_TRUE(atEnd.hasMatch()) << titleWhenTrack1Ended.toStdString();
  EXPECT_EQ(atEnd.captured(1), QStringLiteral("2"));
  EXPECT_GE(atEnd.captured(2).toInt(), 33);
  EXPECT_LT(atEnd.captured(2).toInt(), 50);
}

// Catches an About window that gives two versions (the maker's and the toolkit's), or
// another one than the title.
TEST_F(MainFormTest, AboutGivesTheVersionOfTheTitle) {
  Open();
  EXPECT_EQ(form->AboutForm()->VersionLabel->text(), QStringLiteral("Version 1.3A"));
  EXPECT_TRUE(form->windowTitle().contains(QStringLiteral("1.3A"))) << form->windowTitle().toStdString();
}

// Catches logs that open scrolled to the right by a long line (the beginnings of the lines,
// where each says what it is about, out of sight), a status word that runs into the track
// column ("CancelledTrack 03"), and a long output folder cut at its end without a tooltip.
TEST_F(MainFormTest, LogsShowTheStartOfTheirLinesAndRowsKeepTheirColumnsApart) {
  const testcd::DiscImage image(dir.Path(), "disc", {testcd::Tone(75 * 2, 440, 8000)});
  settings.discImages = image.CuePath();
  settings.useWinNtRawRead = 1;
  const std::string deep = dir.Path() + "/out/" + std::string(150, 'x') + "/end";
  std::filesystem::create_directories(deep);
  settings.outputPath = deep;
  const testcd::ScopedEnv libraries("ZIMBAR_LIB_DIR", ZIMBAR_BIN_DIR);
  Open();
  const QString shown = form->SelectedOutputDirectoryLabel->text();
  EXPECT_TRUE(shown.startsWith(QStringLiteral("Output Path: /"))) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith(QStringLiteral("/end"))) << shown.toStdString();
  EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
  EXPECT_EQ(form->SelectedOutputDirectoryLabel->toolTip(), QString::fromStdString("Output Path: " + deep));

  Select(form->CD2WAVRadioButton);
  form->StartButton->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Pipeline().Busy() && !form->Pipeline().HasLiveWorkers(); }, 20000));
  QApplication::processEvents();
  ASSERT_TRUE(form->ReaderLogMemo->toPlainText().contains(QString::fromStdString(deep)));
  EXPECT_GT(form->ReaderLogMemo->horizontalScrollBar()->maximum(), 0) << "the line is not longer than the log";
  EXPECT_EQ(form->ReaderLogMemo->horizontalScrollBar()->value(), 0);

  // Every status word ends two characters before the track column starts.
  const QFontMetrics metrics(form->TracksList->font());
  const auto* delegate = dynamic_cast<TabbedListDelegate*>(form->TracksList->itemDelegate());
  ASSERT_NE(delegate, nullptr);
  const qreal trackColumn = delegate->TabStops(metrics).front().position;
  for (const char* word : {"+", "Read", "Read/W", "OK", "OK/W", "Error", "Cancelled", "Kept"})
    EXPECT_LE(metrics.horizontalAdvance(QString::fromLatin1(word)) + 2 * metrics.averageCharWidth(), trackColumn) << word;

  // A file row too long for the list keeps its status word and the path's start and end;
  // a short one is drawn whole.
  const QString longRow = QStringLiteral("OK:\t") + QString::fromStdString(deep + "/song.wav");
  const QString fitted = delegate->Fitted(longRow, metrics, 300);
  EXPECT_TRUE(fitted.startsWith(QStringLiteral("OK:\t/"))) << fitted.toStdString();
  EXPECT_TRUE(fitted.endsWith(QStringLiteral("/song.wav"))) << fitted.toStdString();
  EXPECT_TRUE(fitted.contains(QChar(0x2026))) << fitted.toStdString();
  EXPECT_LE(metrics.horizontalAdvance(fitted.mid(4)) + delegate->TabStops(metrics).front().position, 300);
  EXPECT_EQ(delegate->Fitted(QStringLiteral("OK:\t/a.wav"), metrics, 300), QStringLiteral("OK:\t/a.wav"));
}

}  // namespace

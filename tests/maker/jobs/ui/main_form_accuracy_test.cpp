// The main window's side of verified ripping, offscreen: what proves each track row's rip
// beside the row, the disc and drive the run asks for, and Find Read Offset with its
// progress window, its question and its boxes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/ui/qt_main_loop.h"
#include "maker/cd/cd_device.h"
#include "maker/jobs/ui/main_form.h"
#include "maker/jobs/ui/main_form_host.h"
#include "maker/jobs/ui/tabbed_list_delegate.h"
#include "maker/settings/ui/accuracy_page.h"
#include "maker/settings/ui/options_form.h"
#include "tests/cdaccess/disc_image_builder.h"
#include "tests/fakes/accuraterip/accuraterip_server.h"
#include "tests/maker/accuracy/accuraterip_reference.h"

using maker::TMainForm;

namespace {

const std::string kShippedFolder = std::string(ZIMBAR_SOURCE_DIR) + "/lang/";

// A window over a disc image of three tracks, with its boxes answered by the test.
class MainFormAccuracyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = std::make_unique<testcd::ScopedEnv>("ZIMBAR_HOME", dir.Path() + "/home");
    userHome_ = std::make_unique<testcd::ScopedEnv>("HOME", dir.Path());
    share_ = std::make_unique<testcd::ScopedEnv>("ZIMBAR_SHARE_DIR", dir.Path() + "/share");
    std::filesystem::create_directories(dir.Path() + "/home");
    settings.outputPath = dir.Path();
    settings.version = 0x010341;  // no desktop shortcut from these tests
    settings.useWinNtRawRead = 1;
  }
  void TearDown() override { form.reset(); }
  // What the CD layer says the disc image's drive is.
  CdDriveIdentity ImageIdentity() const {
    CdLayer layer;
    layer.SetDiscImages({image.CuePath()});
    layer.Initialize();
    layer.SelectApi(true);
    const CdDriveIdentity identity = layer.DriveIdentity(image.DriveIndex());
    layer.Shutdown();
    return identity;
  }
  void Open(const std::string& language = {}, const std::string& cue = {}) {
    if (!language.empty())
      std::filesystem::copy_file(kShippedFolder + language, dir.Path() + "/home/Language.DAT",
                                 std::filesystem::copy_options::overwrite_existing);
    settings.discImages = cue.empty() ? image.CuePath() : cue;
    form = std::make_unique<TMainForm>(settings, loop);
    form->showError = [this](const QString& text, const QString&) { errors.push_back(text.toStdString()); };
    form->askYesNo = [this](const QString& text, const QString&) {
      questions.push_back(text.toStdString());
      return answer;
    };
    form->execDialog = [](QDialog*) { return false; };
    form->FormCreate({}, dir.Path());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QApplication::processEvents();
    if (cue.empty()) {
      ASSERT_EQ(form->TracksList->count(), 3);
    }
  }

  testcd::TempDir dir;
  testcd::DiscImage image{dir.Path(), "disc",
                          {testcd::Tone(75 * 2, 440, 8000), testcd::Tone(75 * 3, 660, 8000), testcd::Noise(75, 3)}};
  std::unique_ptr<testcd::ScopedEnv> home_, userHome_, share_;
  SettingsTable settings;
  QtMainLoop loop;
  std::unique_ptr<TMainForm> form;
  std::vector<std::string> errors, questions;
  bool answer = true;
};

// Counts the pixels of `row` in the list's right half that are clearly green and clearly
// red.
std::pair<int, int> GreenAndRed(QListWidget* list, int row) {
  const QRect rect = list->visualItemRect(list->item(row));
  const QImage shot = list->viewport()->grab().toImage();
  int green = 0, red = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    for (int x = rect.center().x(); x <= rect.right(); ++x) {
      const QColor c = shot.pixelColor(x, y);
      green += c.green() > 90 && c.red() < 60 && c.blue() < 60;
      red += c.red() > 130 && c.green() < 60 && c.blue() < 60;
    }
  return {green, red};
}

}  // namespace

// Catches a verification that is not shown beside its row (or beside another row), words
// replaced by colours, a proven rip not told apart from one in doubt, the row's own text
// changed (its name feeds the file names), a verification left from an earlier rip after
// the rows are rebuilt, and the disc or drive the run asks for missing.
TEST_F(MainFormAccuracyTest, EachTrackRowShowsWhatProvesItsRip) {
  Open();
  MainFormHost& host = form->Host();
  const QString before = form->TracksList->item(1)->text();
  host.SetRowVerification(0, "Accurate (12)");
  host.SetRowVerification(1, "Not accurate");
  host.SetRowVerification(2, "Suspicious");
  form->TracksList->clearSelection();
  QApplication::processEvents();
  auto shown = [&](int row) { return form->TracksList->item(row)->data(kVerificationTextRole).toString(); };
  EXPECT_EQ(shown(0), QStringLiteral("Accurate (12)"));
  EXPECT_EQ(shown(1), QStringLiteral("Not accurate"));
  EXPECT_EQ(shown(2), QStringLiteral("Suspicious"));
  EXPECT_EQ(form->TracksList->item(1)->text(), before);
  EXPECT_EQ(host.TrackName(1), "");

  const auto [green0, red0] = GreenAndRed(form->TracksList, 0);
  const auto [green1, red1] = GreenAndRed(form->TracksList, 1);
  EXPECT_GT(green0, 0);
  EXPECT_EQ(red0, 0);
  EXPECT_GT(red1, 0);
  EXPECT_EQ(green1, 0);
  // The words are drawn at the row's right end, where the row's own columns are not.
  const auto* delegate = dynamic_cast<TabbedListDelegate*>(form->TracksList->itemDelegate());
  ASSERT_NE(delegate, nullptr);
  const QRect row = form->TracksList->visualItemRect(form->TracksList->item(0));
  const QRect words = TabbedListDelegate::VerificationArea(row, form->TracksList->fontMetrics(), shown(0));
  EXPECT_EQ(words.right(), row.right());
  EXPECT_GE(words.width(), form->TracksList->fontMetrics().horizontalAdvance(shown(0)));

  host.SetRowVerification(0, "");
  EXPECT_TRUE(shown(0).isEmpty());
  EXPECT_EQ(GreenAndRed(form->TracksList, 0).first, 0);

  // What the run reads the disc and the drive from.
  ASSERT_NE(host.DiscTable(), nullptr);
  EXPECT_EQ(host.DiscTable()->trackCount, 3);
  EXPECT_EQ(host.DiscTable()->length[2], 75 * 3);
  EXPECT_EQ(host.SelectedDriveIdentity().Key(), ImageIdentity().Key());

  // The rows rebuilt for another disc (or the same one again) carry no verification.
  form->RefreshTrackList();
  EXPECT_TRUE(shown(1).isEmpty());
}

// Catches verification words that stay English in a translated window, or that keep the
// language they were shown in when another one is loaded.
TEST_F(MainFormAccuracyTest, VerificationWordsFollowTheLanguage) {
  Open("language_deutsch.txt");
  form->Host().SetRowVerification(0, "Accurate (7)");
  form->Host().SetRowVerification(1, "Not in database");
  EXPECT_EQ(form->TracksList->item(0)->data(kVerificationTextRole).toString(), QStringLiteral("Genau (7)"));
  EXPECT_EQ(form->TracksList->item(1)->data(kVerificationTextRole).toString(), QStringLiteral("Nicht in der Datenbank"));
  std::filesystem::copy_file(kShippedFolder + "Language.DAT", dir.Path() + "/home/Language.DAT",
                             std::filesystem::copy_options::overwrite_existing);
  form->Translate();
  EXPECT_EQ(form->TracksList->item(0)->data(kVerificationTextRole).toString(), QStringLiteral("Accurate (7)"));
}

namespace {

ReadOffsetOutcome Found(int offset, int tracks, int confidence) {
  ReadOffsetOutcome finding;
  finding.kind = ReadOffsetOutcome::Kind::Found;
  finding.offset = offset;
  finding.tracks = tracks;
  finding.confidence = confidence;
  return finding;
}

}  // namespace

// Catches a search run on the window's thread (the window would freeze for minutes), one
// given another drive or disc than the chosen one or the settings' server where a test or
// mirror server is set, an offset saved although the person said No (or not saved on
// Yes, or under another key), and a question without the sign of the offset or the drive.
TEST_F(MainFormAccuracyTest, FindReadOffsetSavesTheOffsetOnlyWhenThePersonAgrees) {
  const testcd::ScopedEnv server("ZIMBAR_ACCURATERIP_SERVER", "http://127.0.0.1:9");
  Open();
  const CdDriveIdentity identity = ImageIdentity();
  std::vector<ReadOffsetQuest> quests;
  std::atomic<bool> onMainThread{true};
  const auto mainThread = std::this_thread::get_id();
  form->findReadOffset = [&](const ReadOffsetQuest& quest, const std::function<void(ReadOffsetStage)>& stage,
                             const std::function<bool()>&) {
    onMainThread = std::this_thread::get_id() == mainThread;
    quests.push_back(quest);
    stage(ReadOffsetStage::FetchingRecord);
    stage(ReadOffsetStage::ReadingTracks);
    return Found(667, 3, 30);
  };
  ASSERT_FALSE(identity.model.empty());
  QMetaObject::invokeMethod(form->MenuFile, "aboutToShow");
  ASSERT_TRUE(form->MenuFileFindReadOffset->isEnabled());

  answer = false;
  form->MenuFileFindReadOffset->trigger();
  ASSERT_EQ(quests.size(), 1u);
  EXPECT_FALSE(onMainThread);
  EXPECT_EQ(quests[0].drive, image.DriveIndex());
  EXPECT_EQ(quests[0].identity.Key(), identity.Key());
  EXPECT_EQ(quests[0].table.trackCount, 3);
  EXPECT_EQ(quests[0].lookup.server, "http://127.0.0.1:9");
  const AccurateRipDiscIds ids = ComputeAccurateRipDiscIds(form->Tracks());
  EXPECT_EQ(quests[0].lookup.ids.RecordPath(), ids.RecordPath());
  const std::string drive = identity.vendor + " " + identity.model;
  EXPECT_EQ(questions, std::vector<std::string>{"Save read offset +667 for " + drive +
                                                "?\n\n3 tracks agree with AccurateRip at this offset (confidence 30)."});
  EXPECT_TRUE(settings.readOffsets.empty());
  EXPECT_EQ(form->FindReadOffsetForm(), nullptr);

  answer = true;
  form->MenuFileFindReadOffset->trigger();
  EXPECT_EQ(settings.readOffsets, (std::map<std::string, int>{{identity.Key(), 667}}));
  EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);

  // From the options window's accuracy page: the page shows the saved offset at once.
  form->findReadOffset = [](const ReadOffsetQuest&, const std::function<void(ReadOffsetStage)>&,
                            const std::function<bool()>&) { return Found(-48, 2, 9); };
  maker::TOptionsForm* options = form->OptionsForm();
  options->SetDrive(identity.Key(), drive);
  options->show();
  QApplication::processEvents();
  QTest::mouseClick(options->AccuracyTabSheet->FindReadOffsetButton, Qt::LeftButton);
  EXPECT_EQ(options->AccuracyTabSheet->ReadOffsetSpinBox->value(), -48);
  EXPECT_EQ(settings.ReadOffsetFor(identity.Key()), -48);
  EXPECT_EQ(questions.back(), "Save read offset -48 for " + drive +
                                  "?\n\n2 tracks agree with AccurateRip at this offset (confidence 9).");
  options->hide();
}

// Catches a progress window that cannot stop the search (or that closes while the search
// still runs), a cancelled search that still asks or shows a box, and Find Read Offset
// left unusable afterwards.
TEST_F(MainFormAccuracyTest, CancelStopsTheSearchAtAnyMoment) {
  Open();
  ASSERT_FALSE(ImageIdentity().model.empty());
  std::atomic<bool> sawCancel{false};
  form->findReadOffset = [&](const ReadOffsetQuest&, const std::function<void(ReadOffsetStage)>& stage,
                             const std::function<bool()>& cancelled) {
    stage(ReadOffsetStage::ReadingTracks);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!cancelled() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    sawCancel = cancelled();
    ReadOffsetOutcome finding;
    finding.kind = ReadOffsetOutcome::Kind::Cancelled;
    return finding;
  };
  QStringList texts;
  bool modal = false;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    TFindReadOffsetForm* progress = form->FindReadOffsetForm();
    if (progress == nullptr || !progress->isVisible()) return;
    texts << progress->StageLabel->text();
    if (!texts.contains(QStringLiteral("Reading tracks and trying offsets..."))) return;
    modal = progress->isModal();
    // Escape asks the search to stop; the window stays until the search has ended.
    QTest::keyClick(progress, Qt::Key_Escape);
    EXPECT_EQ(form->FindReadOffsetForm(), progress);
    EXPECT_FALSE(progress->CancelButton->isEnabled());
    watcher.stop();
  });
  watcher.start(10);
  form->MenuFileFindReadOffset->trigger();
  EXPECT_TRUE(sawCancel);
  EXPECT_TRUE(modal);
  EXPECT_TRUE(texts.contains(QStringLiteral("Reading tracks and trying offsets..."))) << texts.join('|').toStdString();
  EXPECT_EQ(form->FindReadOffsetForm(), nullptr);
  EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
  EXPECT_TRUE(questions.empty()) << ::testing::PrintToString(questions);
  EXPECT_TRUE(settings.readOffsets.empty());
  QMetaObject::invokeMethod(form->MenuFile, "aboutToShow");
  EXPECT_TRUE(form->MenuFileFindReadOffset->isEnabled());
}

// Catches a search that found nothing and says nothing, or says it in words that do not
// tell the disc missing from the database from a disc no offset fits, and a lookup's
// problem that is lost.
TEST_F(MainFormAccuracyTest, ASearchThatFindsNoOffsetSaysWhyInABox) {
  Open();
  ASSERT_FALSE(ImageIdentity().model.empty());
  ReadOffsetOutcome finding;
  form->findReadOffset = [&](const ReadOffsetQuest&, const std::function<void(ReadOffsetStage)>&,
                             const std::function<bool()>&) { return finding; };
  finding.kind = ReadOffsetOutcome::Kind::NotInDatabase;
  form->MenuFileFindReadOffset->trigger();
  finding.kind = ReadOffsetOutcome::Kind::NoMatch;
  form->MenuFileFindReadOffset->trigger();
  finding.kind = ReadOffsetOutcome::Kind::Failed;
  finding.problem = "Cannot reach 127.0.0.1: connection refused";
  form->MenuFileFindReadOffset->trigger();
  EXPECT_EQ(errors, (std::vector<std::string>{
                        "The disc is not in the AccurateRip database: find the offset with a disc that it knows.",
                        "No offset matched: no track of this disc agrees with the AccurateRip database at any offset tried.",
                        "The read offset could not be found: Cannot reach 127.0.0.1: connection refused"}));
  EXPECT_TRUE(questions.empty());
  EXPECT_TRUE(settings.readOffsets.empty());
}

// Catches the window's own search asking another server than the one set, reading the
// disc with other settings than a rip's, or offering another offset than the drive's: a
// drive that reads 667 samples late (the image holds the disc's audio shifted so), against
// a record of the disc's true audio; and a disc the server does not know, said so.
TEST_F(MainFormAccuracyTest, FindReadOffsetFindsTheDrivesOffsetThroughTheDatabase) {
  constexpr int kDriveOffset = 667;
  const std::vector<int> sectors = {31, 26, 29, 24, 33};
  size_t frames = 0;
  for (const int count : sectors) frames += size_t(count) * kCdFramesPerSector;
  const std::vector<int16_t> truth = arref::Noise(frames, 5);
  std::vector<testcd::Audio> tracks, trueTracks;
  size_t at = 0;
  for (const int count : sectors) {
    testcd::Audio track, trueTrack;
    for (size_t i = 0; i < size_t(count) * kCdFramesPerSector; ++i) {
      const int64_t source = int64_t(at + i) - kDriveOffset;
      const bool inside = source >= 0 && source < int64_t(frames);
      for (int channel = 0; channel < 2; ++channel) {
        track.push_back(inside ? truth[2 * size_t(source) + channel] : 0);
        trueTrack.push_back(truth[2 * (at + i) + channel]);
      }
    }
    at += size_t(count) * kCdFramesPerSector;
    tracks.push_back(std::move(track));
    trueTracks.push_back(std::move(trueTrack));
  }
  const testcd::DiscImage shifted(dir.Path(), "shifted", tracks);
  FakeAccurateRipServer server;
  ASSERT_TRUE(server.Listening());
  const testcd::ScopedEnv serverEnv("ZIMBAR_ACCURATERIP_SERVER", server.Url());
  const testcd::ScopedEnv libraries("ZIMBAR_LIB_DIR", ZIMBAR_BIN_DIR);
  Open({}, shifted.CuePath());
  ASSERT_EQ(form->TracksList->count(), 5);
  const CdDriveIdentity identity = form->Host().SelectedDriveIdentity();
  ASSERT_EQ(identity.Key(), ImageIdentity().Key());

  // Not known to the server yet.
  form->MenuFileFindReadOffset->trigger();
  EXPECT_EQ(errors, std::vector<std::string>{
                        "The disc is not in the AccurateRip database: find the offset with a disc that it knows."});
  errors.clear();

  const AccurateRipDiscIds ids = ComputeAccurateRipDiscIds(form->Tracks());
  AccurateRipRecord record;
  for (const bool v2 : {false, true}) {
    AccurateRipPressing pressing{ids.id1, ids.id2, ids.cddb, {}};
    for (size_t t = 0; t < trueTracks.size(); ++t) {
      const arref::Sums sums = arref::Checksums(trueTracks[t], t == 0, t + 1 == trueTracks.size());
      pressing.tracks.push_back({uint8_t(v2 ? 5 : 2), v2 ? sums.v2 : sums.v1, 0});
    }
    record.pressings.push_back(pressing);
  }
  server.ServeRecord(ids, record);
  form->MenuFileFindReadOffset->trigger();
  EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
  EXPECT_EQ(questions, std::vector<std::string>{"Save read offset +667 for " + identity.vendor + " " + identity.model +
                                                "?\n\n3 tracks agree with AccurateRip at this offset (confidence 21)."});
  EXPECT_EQ(settings.ReadOffsetFor(identity.Key()), kDriveOffset);
  const std::vector<FakeHttpRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].path, ids.RecordPath());
  // The finder tells in the reader log what it read and found.
  EXPECT_TRUE(form->ReaderLogMemo->toPlainText().contains(QStringLiteral("Read offset +667")))
      << form->ReaderLogMemo->toPlainText().toStdString();
}

// Catches the options window opened from the menu without the chosen drive (its offset
// could not be set, or would be kept under another model's key).
TEST_F(MainFormAccuracyTest, TheOptionsWindowKeepsTheOffsetOfTheChosenDrive) {
  Open();
  const CdDriveIdentity identity = ImageIdentity();
  ASSERT_FALSE(identity.model.empty());
  settings.SetReadOffset(identity.Key(), 102);
  bool shown = false;
  form->execDialog = [&](QDialog* dialog) {
    auto* options = qobject_cast<maker::TOptionsForm*>(dialog);
    if (options == nullptr) return false;
    shown = true;
    options->show();
    TAccuracyPage* page = options->AccuracyTabSheet;
    EXPECT_EQ(page->ReadOffsetDriveLabel->text().toStdString(), identity.vendor + " " + identity.model);
    EXPECT_TRUE(page->ReadOffsetSpinBox->isEnabled());
    EXPECT_EQ(page->ReadOffsetSpinBox->value(), 102);
    page->ReadOffsetSpinBox->setValue(-6);
    QTest::mouseClick(options->OKButton, Qt::LeftButton);
    return true;
  };
  form->MenuOptionsSettings->trigger();
  EXPECT_TRUE(shown);
  EXPECT_EQ(settings.readOffsets, (std::map<std::string, int>{{identity.Key(), -6}}));
}

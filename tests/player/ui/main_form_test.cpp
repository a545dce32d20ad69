// Tests of the main window, offscreen, against a fake playback facade: transport logic,
// the end-of-track timer, seek and volume limits, notifications, keys and menus.
#include <sys/stat.h>

#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "common/audio/output_volume.h"
#include "common/paths.h"
#include "player/playlist/bounded_text.h"
#include "player/playlist/play_list_file.h"
#include "player/playlist/ui/play_list_form.h"
#include "player/control/task_bar_title.h"
#include "player/engines/gapless_mode.h"
#include "player/ui/equalizer_form.h"
#include "player/ui/gposition_slider.h"
#include "player/ui/marquee_label.h"
#include "player/ui/visualization.h"
#include "player/ui/gvtrack.h"
#include "player/ui/image_window.h"
#include "player/ui/main_form.h"
#include "player/ui/mpris_service.h"
#include "player/ui/options_form.h"
#include "tests/common/small_disk.h"
#include "tests/common/special_files.h"
#include "tests/common/temp_dir.h"
#include "tests/player/ui/fake_facade.h"

using player::TMainForm;

namespace {

struct MainFormFixture : testing::Test {
  TempDir dir;
  ScopedEnv home{"ZIMBAR_HOME", dir.File("home").c_str()};
  PlayerSettings settings;
  FacadeLog log;
  std::unique_ptr<TMainForm> form;

  void SetUp() override {
    PlayerVolume().Set(kVolumeFull, kVolumeFull);
    settings.eqVisible = 0;
    form = std::make_unique<TMainForm>(settings, FakeFactory(log));
    form->ApplySkinFolder(QStringLiteral(ZIMBAR_SOURCE_DIR "/skins/default"));
    form->EndOfTrackTimer()->setInterval(1);
  }
  void TearDown() override {
    form.reset();
    PlayerVolume().Set(kVolumeFull, kVolumeFull);
  }
  // Lets the queued notifications reach the window.
  static void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  QString Label(SkinTextField field) const { return form->TextField(field)->text(); }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(form.get(), &press);
  }
  // Waits for the default list, read on a worker at start-up.
  bool WaitForStartupList() {
    return QTest::qWaitFor([&] { return !form->StartupListPending(); }, 10000);
  }
  void EndTrack() {
    log.handlers.state(nullptr, 3);
    Settle();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->EndOfTrackTimer()->isActive(); }, 2000));
    Settle();
  }
};

}  // namespace

// Catches a facade reused across Stop, a Stop that forgets the loaded file (Play would
// restart elsewhere), and Next opening the old entry.
TEST_F(MainFormFixture, PlayStopAndNextOpenOneFacadePerFile) {
  form->Start({"/m/a.mp3", "/m/b.mp3"});
  EXPECT_EQ(log.calls, (std::vector<std::string>{"new 1", "dsound 1 0", "open 1 /m/a.mp3", "play 1"}));
  EXPECT_EQ(form->LoadedFile(), "/m/a.mp3");
  log.Clear();
  form->Next();
  EXPECT_EQ(log.calls, (std::vector<std::string>{"stop 1", "delete 1", "new 2", "dsound 2 0", "open 2 /m/b.mp3", "play 2"}));
  log.Clear();
  form->Stop();
  EXPECT_EQ(log.calls, (std::vector<std::string>{"stop 2", "delete 2"}));
  EXPECT_FALSE(form->HasFacade());
  EXPECT_EQ(form->LoadedFile(), "/m/b.mp3");
  EXPECT_EQ(form->PlaybackStatus(), TMainForm::Status::Stopped);
  log.Clear();
  form->Play();
  EXPECT_EQ(log.calls, (std::vector<std::string>{"new 3", "dsound 3 0", "open 3 /m/b.mp3", "play 3"}));
  log.Clear();
  form->Pause();
  EXPECT_EQ(form->PlaybackStatus(), TMainForm::Status::Paused);
  form->Pause();
  EXPECT_EQ(form->PlaybackStatus(), TMainForm::Status::Playing) << "Pause while paused resumes";
  form->Pause();
  form->Play();
  EXPECT_EQ(log.calls, (std::vector<std::string>{"pause 3", "play 3", "pause 3", "play 3"}));
  EXPECT_EQ(log.alive, 1);
  form->Previous();
  EXPECT_EQ(form->LoadedFile(), "/m/a.mp3");
  form->Previous();
  EXPECT_EQ(form->LoadedFile(), "/m/b.mp3") << "the first entry wraps to the last";
}

// Catches an end of track that does not wait for the timer, continuous play ignored, and
// a list that starts over by itself after its last entry.
TEST_F(MainFormFixture, EndOfTrackMovesOnAndStopsAfterTheLastEntry) {
  settings.gaplessPlayback = 0;
  form->Session().GaplessSettingChanged();
  form->Start({"/m/a.mp3", "/m/b.mp3"});
  log.handlers.state(nullptr, 3);
  Settle();
  EXPECT_TRUE(form->EndOfTrackTimer()->isActive());
  EXPECT_EQ(form->EndOfTrackTimer()->isSingleShot(), true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->LoadedFile() == "/m/b.mp3"; }, 2000));
  EXPECT_TRUE(form->HasFacade());
  EndTrack();
  EXPECT_EQ(form->List().Index(), 0);
  EXPECT_FALSE(form->HasFacade()) << "without continuous play nothing plays after the last entry";
  settings.continuousPlay = 1;
  form->Next();
  EndTrack();
  EXPECT_EQ(form->List().Index(), 0);
  EXPECT_TRUE(form->HasFacade());
  EXPECT_EQ(form->LoadedFile(), "/m/a.mp3");
}

// Catches seeks past the ends, a seek in a stream without length, and Reverse with
// nothing playing.
TEST_F(MainFormFixture, ReverseAndForwardStayInsideTheInput) {
  form->Reverse();
  form->Start({"/m/a.mp3"});
  log.Clear();
  log.handlers.position(nullptr, 95, 100);
  Settle();
  form->Forward();
  log.handlers.position(nullptr, 4, 100);
  Settle();
  form->Reverse();
  log.handlers.position(nullptr, 40, 100);
  Settle();
  form->Forward();
  form->Reverse();
  log.handlers.position(nullptr, 40, 0);
  Settle();
  form->Forward();
  form->Reverse();
  EXPECT_EQ(log.calls, (std::vector<std::string>{"seek 1 99 100", "seek 1 0 100", "seek 1 50 100", "seek 1 30 100", "seek 1 30 0"}));
}

// Catches a wheel over the window that leaves the volume alone, a step per event rather
// than per notch (a touch pad sends many small ones), and the wrong direction.
TEST_F(MainFormFixture, TheWheelOverTheWindowTurnsTheVolume) {
  auto wheel = [&](int eighths) {
    const QPointF at(300, 110);
    QWheelEvent event(at, QPointF(form->mapToGlobal(at)), QPoint(), QPoint(0, eighths), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(form.get(), &event);
  };
  ASSERT_EQ(form->VolumeLevel(), 10);
  wheel(-120);
  EXPECT_EQ(form->VolumeLevel(), 9);
  wheel(-240);
  EXPECT_EQ(form->VolumeLevel(), 7);
  for (int i = 0; i < 3; ++i) wheel(40);
  EXPECT_EQ(form->VolumeLevel(), 8) << "three thirds of a notch make one step";
  wheel(60);
  EXPECT_EQ(form->VolumeLevel(), 8);
  EXPECT_EQ(Label(SkinTextField::WavVolume), QStringLiteral("8"));
}

// Catches volume levels past 0 and 10, a level not shown, and the player volume not set.
TEST_F(MainFormFixture, VolumeStaysBetweenZeroAndTen) {
  EXPECT_EQ(form->VolumeLevel(), 10);
  form->VolumeUp();
  EXPECT_EQ(form->VolumeLevel(), 10);
  for (int i = 0; i < 12; ++i) form->VolumeDown();
  EXPECT_EQ(form->VolumeLevel(), 0);
  EXPECT_EQ(PlayerVolume().Left(), 0u);
  EXPECT_EQ(Label(SkinTextField::WavVolume), QStringLiteral("0"));
  form->VolumeUp();
  EXPECT_EQ(PlayerVolume().Right(), kVolumeStep);
  EXPECT_EQ(Label(SkinTextField::WavVolume), QStringLiteral("1"));
}

// Catches texts not shown, the info text shown more than once in two seconds, the time
// not reaching the title, errors kept silent, and a stream title not shown.
TEST_F(MainFormFixture, NotificationsReachTheTextFields) {
  form->Start({"http://radio.example/live"});
  EXPECT_EQ(Label(SkinTextField::File), QStringLiteral("http://radio.example/live"));
  log.handlers.streamInfo(nullptr, 1, 3, 128, 44100, 1);
  log.handlers.streamInfo(nullptr, 1, 3, 64, 22050, 0);
  log.handlers.timecode(nullptr, 0, 1, 5, 0);
  Settle();
  EXPECT_EQ(Label(SkinTextField::Info), QStringLiteral("128Kbps 44Khz JS"));
  EXPECT_EQ(Label(SkinTextField::Progress), QStringLiteral("01:05"));
  EXPECT_EQ(form->windowTitle(), QStringLiteral("live – zbplayer"));
  log.handlers.inputName(nullptr, "http://radio.example/live");
  Settle();
  EXPECT_EQ(Label(SkinTextField::File), QStringLiteral("http://radio.example/live"));
  log.handlers.inputName(nullptr, "Band - Song");
  Settle();
  EXPECT_EQ(Label(SkinTextField::File), QStringLiteral("Band - Song"));
  EXPECT_EQ(form->Now().title, "Band - Song");
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Band - Song – zbplayer"));
  log.handlers.error(nullptr, "Cannot open stream: Connection refused");
  Settle();
  EXPECT_EQ(Label(SkinTextField::Info), QStringLiteral("Cannot open stream: Connection refused"));
  form->Play();
  // A message naming the entry shows its reason; the tool tip keeps the whole message.
  log.handlers.error(nullptr, "Cannot open http://radio.example/live: no answer within 10.0 s");
  Settle();
  EXPECT_EQ(Label(SkinTextField::Info), QStringLiteral("No answer within 10.0 s"));
  EXPECT_EQ(form->TextField(SkinTextField::Info)->toolTip(),
            QStringLiteral("Cannot open http://radio.example/live: no answer within 10.0 s"));
}

// Catches a title wider than its field that is cut off at an edge (mid-glyph) instead of
// scrolling through it, a short title that moves, and a new title that starts scrolling
// in the middle.
TEST_F(MainFormFixture, ATitleWiderThanItsFieldScrolls) {
  form->show();
  auto* title = qobject_cast<TMarqueeLabel*>(form->TextField(SkinTextField::File));
  ASSERT_NE(title, nullptr);
  form->Start({"/m/Short.mp3", "/m/Zimbar Ensemble - A Very Long Night Train to the Harbour Lights and Back Again.mp3"});
  EXPECT_FALSE(title->Scrolling());
  for (int i = 0; i < TMarqueeLabel::kRestSteps + 20; ++i) title->Step();
  EXPECT_EQ(title->Offset(), 0);
  form->Next();
  ASSERT_TRUE(title->Scrolling());
  const QImage start = title->grab().toImage();
  for (int i = 0; i < TMarqueeLabel::kRestSteps; ++i) title->Step();
  EXPECT_EQ(title->Offset(), 0) << "it rests at its start first";
  for (int i = 0; i < 30; ++i) title->Step();
  EXPECT_EQ(title->Offset(), 30);
  EXPECT_NE(title->grab().toImage(), start);
  // By itself, on its timer.
  ASSERT_TRUE(QTest::qWaitFor([&] { return title->Offset() > 31; }, 3000));
  form->Previous();
  EXPECT_EQ(title->Offset(), 0);
  EXPECT_FALSE(title->Scrolling());
}

// Catches a gapless setting changed in Setup that the engines do not follow until the
// next start.
TEST_F(MainFormFixture, GaplessPlaybackChangedInSetupAppliesAtOnce) {
  ASSERT_TRUE(GaplessPlayback());
  auto setGapless = [&](bool on) {
    form->execDialog = [on](QDialog* dialog) {
      auto* setup = static_cast<player::TOptionsForm*>(dialog);
      setup->show();
      setup->GaplessPlaybackCheckBox->setChecked(on);
      QTest::mouseClick(setup->OKButton, Qt::LeftButton);
      return setup->result() == QDialog::Accepted;
    };
    form->ShowSetup();
  };
  setGapless(false);
  EXPECT_EQ(settings.gaplessPlayback, 0);
  EXPECT_FALSE(GaplessPlayback());
  setGapless(true);
  EXPECT_EQ(settings.gaplessPlayback, 1);
  EXPECT_TRUE(GaplessPlayback());
}

// Catches a task-bar title that shows the time instead of what plays, and one that still
// names an entry once playback has stopped.
TEST_F(MainFormFixture, TheTaskBarTitleNamesWhatPlaysAndOnlyWhileItPlays) {
  EXPECT_EQ(form->windowTitle(), QStringLiteral("zbplayer"));
  form->Start({"/m/Night Train.mp3", "/m/Lanterns.mp3"});
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Night Train.mp3 – zbplayer"));
  log.handlers.timecode(nullptr, 0, 0, 7, 0);
  Settle();
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Night Train.mp3 – zbplayer"));
  form->Pause();
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Night Train.mp3 – zbplayer"));
  form->Next();
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Lanterns.mp3 – zbplayer"));
  form->Stop();
  EXPECT_EQ(form->windowTitle(), QStringLiteral("zbplayer"));
  NowPlaying tagged;
  tagged.entry = "/m/a.mp3";
  tagged.title = "Night Train";
  tagged.artist = "Zimbar Ensemble";
  EXPECT_EQ(TaskBarTitle(tagged, /*stopped=*/false), "Zimbar Ensemble – Night Train – zbplayer");
  EXPECT_EQ(TaskBarTitle(tagged, /*stopped=*/true), "zbplayer");
  tagged.title = "Line\nbreak";
  tagged.title = "Line\nbreak";
}

// Catches a knob that does not follow playback, a click or a drag on the slider that
// does not seek there (or seeks while still dragged), a stream without length that can
// be sought, a knob left where it was after Stop, and a length not shown beside the time.
TEST_F(MainFormFixture, ThePositionSliderFollowsPlaybackAndSeeks) {
  TGPositionSlider* slider = form->PositionSlider();
  ASSERT_TRUE(slider->isVisibleTo(form.get())) << "the shipped skin has a position slider";
  EXPECT_FALSE(slider->isEnabled());
  const int travel = slider->Travel();
  ASSERT_GT(travel, 100);
  form->Start({"/m/a.mp3", "http://radio.example/live"});
  log.Clear();
  log.handlers.position(nullptr, 75, 300);
  log.handlers.timecode(nullptr, 0, 1, 15, 0);
  Settle();
  ASSERT_TRUE(QTest::qWaitFor([&] { return slider->KnobOffset() == KnobOffsetOf(75, 300, travel); }, 2000));
  EXPECT_TRUE(slider->isEnabled());
  EXPECT_EQ(Label(SkinTextField::Progress), QStringLiteral("01:15 / 05:00"));
  // A click on the track, right of the knob: the knob's middle goes there and playback
  // follows.
  const int knobWidth = slider->width() - travel;
  const int clickX = travel / 2 + knobWidth / 2;
  QTest::mouseClick(slider, Qt::LeftButton, Qt::NoModifier, QPoint(clickX, slider->height() / 2));
  EXPECT_EQ(log.calls, (std::vector<std::string>{"seek 1 " + std::to_string(PositionOfKnob(travel / 2, travel, 300)) + " 300"}));
  EXPECT_EQ(slider->KnobOffset(), travel / 2) << "the knob waits there for the engine";
  log.Clear();
  // A drag: nothing is sought until the knob is let go, and the engine's reports do not
  // pull the knob away from the pointer meanwhile.
  const int grip = slider->KnobOffset() + 2;
  QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, QPoint(grip, slider->height() / 2));
  QMouseEvent drag(QEvent::MouseMove, QPointF(grip + 40, slider->height() / 2), QPointF(slider->mapToGlobal(QPoint(grip + 40, 1))),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(slider, &drag);
  log.handlers.position(nullptr, 10, 300);
  Settle();
  QTest::qWait(300);
  EXPECT_TRUE(log.calls.empty());
  EXPECT_EQ(slider->KnobOffset(), travel / 2 + 40);
  QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, QPoint(grip + 40, slider->height() / 2));
  EXPECT_EQ(log.calls, (std::vector<std::string>{"seek 1 " + std::to_string(PositionOfKnob(travel / 2 + 40, travel, 300)) + " 300"}));
  // A stream has no length: the slider is disabled and a click seeks nothing.
  form->Next();
  log.Clear();
  log.handlers.position(nullptr, 40, 0);
  log.handlers.timecode(nullptr, 0, 0, 40, 0);
  Settle();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !slider->isEnabled(); }, 2000));
  EXPECT_EQ(slider->KnobOffset(), 0);
  QTest::mouseClick(slider, Qt::LeftButton, Qt::NoModifier, QPoint(travel / 2, slider->height() / 2));
  EXPECT_TRUE(log.calls.empty());
  EXPECT_FALSE(Label(SkinTextField::Progress).contains(QLatin1Char('/'))) << "a stream has no length to show";
  form->Previous();
  log.handlers.position(nullptr, 200, 300);
  Settle();
  ASSERT_TRUE(QTest::qWaitFor([&] { return slider->KnobOffset() > 0; }, 2000));
  form->Stop();
  EXPECT_EQ(slider->KnobOffset(), 0);
  EXPECT_FALSE(slider->isEnabled());
  EXPECT_EQ(Label(SkinTextField::Progress), QStringLiteral("00:00"));
}

// Catches a trace left on the screen after Stop or a failure (the player looked as if it
// still played), and a drawing queued before Stop that draws after it.
TEST_F(MainFormFixture, TheOscilloscopeIsClearedOnStopAndOnAFailure) {
  TVisualization* scope = form->Visualization();
  const QImage blank = scope->Picture();
  ASSERT_FALSE(blank.isNull());
  std::vector<int16_t> loud;
  for (int i = 0; i < 64; ++i) loud.insert(loud.end(), {int16_t(i % 2 ? 20000 : -20000), 0});
  auto play = [&] {
    QSignalSpy drawn(scope, &TVisualization::Drawn);
    log.handlers.outputData(nullptr, loud.data(), uint32_t(loud.size() * 2));
    ASSERT_TRUE(drawn.wait(2000));
    ASSERT_NE(scope->Picture(), blank);
  };
  form->Start({"/m/a.mp3", "/m/b.mp3"});
  ASSERT_NO_FATAL_FAILURE(play());
  form->Stop();
  EXPECT_EQ(scope->Picture(), blank);
  form->Play();
  ASSERT_NO_FATAL_FAILURE(play());
  log.handlers.error(nullptr, "Cannot play /m/a.mp3: it is not an MPEG audio file");
  Settle();
  EXPECT_EQ(scope->Picture(), blank);
  // Queued, not yet drawn, when playback stops.
  ASSERT_NO_FATAL_FAILURE(play());
  log.handlers.outputData(nullptr, loud.data(), uint32_t(loud.size() * 2));
  form->Stop();
  Settle();
  EXPECT_EQ(scope->Picture(), blank);
}

// Catches notifications of a stopped facade still acting on the window (an old end of
// stream skipping the new track).
TEST_F(MainFormFixture, NotificationsOfAStoppedFacadeAreDropped) {
  form->Start({"/m/a.mp3", "/m/b.mp3"});
  const FacadeHandlers first = log.handlers;
  form->Next();
  first.state(nullptr, 3);
  first.position(nullptr, 7, 9);
  Settle();
  EXPECT_FALSE(form->EndOfTrackTimer()->isActive());
  EXPECT_EQ(form->Range(), 0u);
}

// Catches keys that act with Ctrl or Alt held, and a key mapped to the wrong action.
TEST_F(MainFormFixture, KeysDriveTheActions) {
  form->Start({"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"});
  Key(Qt::Key_B);
  EXPECT_EQ(form->LoadedFile(), "/m/b.mp3");
  Key(Qt::Key_B, Qt::ControlModifier);
  Key(Qt::Key_B, Qt::AltModifier);
  EXPECT_EQ(form->LoadedFile(), "/m/b.mp3");
  Key(Qt::Key_Z);
  EXPECT_EQ(form->LoadedFile(), "/m/a.mp3");
  Key(Qt::Key_V);
  EXPECT_FALSE(form->HasFacade());
  Key(Qt::Key_X);
  EXPECT_TRUE(form->HasFacade());
  Key(Qt::Key_C);
  EXPECT_EQ(form->PlaybackStatus(), TMainForm::Status::Paused);
  Key(Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(form->VolumeLevel(), 9);
  Key(Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_EQ(form->VolumeLevel(), 10);
  // The equalizer window's keys go to the same handler.
  QKeyEvent next(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier);
  QApplication::sendEvent(form->EqualizerForm(), &next);
  EXPECT_EQ(form->LoadedFile(), "/m/b.mp3");
}

// Catches menu items in another order, with other ids or captions, and Shuffle given an
// item.
TEST_F(MainFormFixture, ContextMenuHasTheSystemMenuItems) {
  form->Start({});
  std::vector<QString> items;
  for (QAction* a : form->SystemMenu()->actions()) {
    if (a->isSeparator()) items.push_back(QStringLiteral("-"));
    else if (a->data().isValid()) items.push_back(QStringLiteral("%1 %2").arg(a->data().toInt()).arg(a->text()));
  }
  EXPECT_EQ(items, (std::vector<QString>{"-", "516 Play", "512 Previous", "513 Next", "514 Pause", "515 Stop", "517 Reverse",
                                         "518 Forward", "-", "520 Play List", "519 Equalizer", "523 Volume Up",
                                         "524 Volume Down", "-", "522 About zbplayer"}));
}

// Catches popup captions with folders, ".mp3" shown, or other extensions hidden, two
// entries of the same name that cannot be told apart, an "&" taken as a shortcut mark,
// and a choice of the current entry restarting it.
TEST_F(MainFormFixture, FileListPopupNamesTheEntries) {
  form->Start({"/m/Song.mp3", "/m/Tone.wav", "http://radio/live", "/n/Song.mp3", "/m/R&B.mp3"});
  QMenu* popup = form->BuildFileListPopupMenu();
  std::vector<QString> captions;
  for (QAction* a : popup->actions()) captions.push_back(a->text());
  EXPECT_EQ(captions, (std::vector<QString>{"1. Song", "2. Tone.wav", "3. live", "4. Song", "5. R&&B"}));
  log.Clear();
  popup->actions()[0]->trigger();
  EXPECT_TRUE(log.calls.empty());
  popup->actions()[1]->trigger();
  EXPECT_EQ(form->LoadedFile(), "/m/Tone.wav");
}

// Catches a popup of every entry of a long list (100,000 items laid out before it shows)
// and one that leaves out the current entry.
TEST_F(MainFormFixture, FileListPopupOfALongListShowsTheEntriesAroundTheCurrentOne) {
  std::vector<std::string> entries;
  for (int i = 0; i < 100000; ++i) entries.push_back("/m/" + std::to_string(i) + ".mp3");
  form->Start(entries);
  form->Next();
  QMenu* popup = form->BuildFileListPopupMenu();
  EXPECT_LE(popup->actions().size(), 102);
  EXPECT_EQ(popup->actions().front()->text(), QStringLiteral("1. 0"));
  EXPECT_EQ(popup->actions().back()->text(), QStringLiteral("\u2026"));
  // Entry 60001 played from the play list window with Enter.
  form->ShowPlayList();
  TPlayListForm* list = form->PlayListForm();
  list->FileListBox->SetCurrentRow(60001);
  QTest::keyClick(list->FileListBox, Qt::Key_Return);
  EXPECT_EQ(form->LoadedFile(), "/m/60001.mp3");
  popup = form->BuildFileListPopupMenu();
  EXPECT_LE(popup->actions().size(), 102);
  int checked = -1;
  for (QAction* a : popup->actions())
    if (a->isChecked()) checked = a->data().toInt();
  EXPECT_EQ(checked, 60001);
  EXPECT_FALSE(popup->actions().front()->isEnabled());
}

// Catches a shuffle that loses the current entry, and a default list not used or not
// written back at the end.
TEST_F(MainFormFixture, DefaultListAtStartAndShutDown) {
  ASSERT_TRUE(CreateDirectories(dir.File("home")));
  ASSERT_TRUE(WritePlayListFile(dir.File("home/zbplayerdef.pls"), {"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"}));
  settings.playListIndex = 2;
  form->Start({});
  ASSERT_TRUE(WaitForStartupList());
  EXPECT_EQ(form->LoadedFile(), "/m/c.mp3");
  form->Shuffle();
  EXPECT_EQ(*form->List().Current(), "/m/c.mp3");
  const std::vector<std::string> shuffled = form->List().Entries();
  form->ShutDown();
  EXPECT_EQ(settings.playListIndex, form->List().Index());
  EXPECT_EQ(ReadPlayListFile(dir.File("home/zbplayerdef.pls")).Value(), shuffled);
  EXPECT_EQ(log.alive, 0);
}

// Catches a stored index past the end used as it is.
TEST_F(MainFormFixture, StoredIndexOutOfRangeStartsAtTheFirstEntry) {
  ASSERT_TRUE(CreateDirectories(dir.File("home")));
  ASSERT_TRUE(WritePlayListFile(dir.File("home/zbplayerdef.pls"), {"/m/a.mp3", "/m/b.mp3"}));
  settings.playListIndex = 5;
  form->Start({});
  ASSERT_TRUE(WaitForStartupList());
  EXPECT_EQ(form->LoadedFile(), "/m/a.mp3");
}

// Catches a default list read on the window's thread, a refused line not told, and a
// shut-down before the list is whole that writes the part read over the whole list.
TEST_F(MainFormFixture, TheDefaultListIsReadOnAWorkerAndKeptWhole) {
  ASSERT_TRUE(CreateDirectories(dir.File("home")));
  WriteText(dir.File("home/zbplayerdef.pls"), "/m/a.mp3\r\n" + std::string(100 * 1024, 'x') + "\r\n/m/b.mp3\r\n");
  std::vector<std::string> notices;
  form->printNotice = [&](const std::string& text) { notices.push_back(text); };
  form->StartWithArguments({});
  EXPECT_TRUE(form->StartupListPending());
  EXPECT_TRUE(form->List().Empty()) << "the list was read before the window could answer";
  ASSERT_TRUE(WaitForStartupList());
  EXPECT_EQ(form->List().Entries(), (std::vector<std::string>{"/m/a.mp3", "/m/b.mp3"}));
  EXPECT_EQ(form->LoadedFile(), "/m/a.mp3");
  EXPECT_EQ(notices, std::vector<std::string>{dir.File("home/zbplayerdef.pls") +
                                              ", line 2: an entry of 102400 bytes is longer than a path can be (at "
                                              "most 4095 bytes); it was left out"});
  // A second window that ends before its list is read leaves the file alone.
  const std::string before = ReadText(dir.File("home/zbplayerdef.pls"));
  PlayerSettings other;
  auto early = std::make_unique<TMainForm>(other, FakeFactory(log));
  early->StartWithArguments({});
  early->ShutDown();
  EXPECT_EQ(ReadText(dir.File("home/zbplayerdef.pls")), before);
}

// Catches the tag of a FIFO entry read on the window's thread: the open waits for a
// writer, for ever when none comes.
TEST_F(MainFormFixture, AFifoEntryIsNotOpenedByTheWindow) {
  const std::string fifo = dir.File("live.mp3");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  FifoRescue rescue(fifo);
  const auto start = std::chrono::steady_clock::now();
  form->Start({fifo});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "the window opened the FIFO";
  EXPECT_TRUE(log.Has("open 1 " + fifo)) << "the engine decides about the FIFO";
}

// Catches texts measured and drawn whole however long they are (a 100 KB title froze the
// player for half a minute): the fields, their tool tips, the popup and what the desktop
// is told are cut first, the title field keeping the end.
TEST_F(MainFormFixture, LongTextsAreCutBeforeTheyAreShown) {
  const std::string title = "Band - " + std::string(1 << 20, 'y') + " - The End";
  form->Start({"http://radio.example/" + std::string(4000, 's')});
  log.handlers.inputName(nullptr, title);
  log.handlers.error(nullptr, "Cannot open stream: " + title);
  Settle();
  const QString shown = Label(SkinTextField::File);
  EXPECT_LE(shown.size(), int(kFieldTextChars));
  EXPECT_TRUE(shown.endsWith(QStringLiteral(" - The End"))) << "the field shows the end of a long title";
  EXPECT_LE(form->TextField(SkinTextField::File)->toolTip().size(), int(kToolTipChars));
  EXPECT_LE(Label(SkinTextField::Info).size(), int(kFieldTextChars));
  EXPECT_LE(form->TextField(SkinTextField::Info)->toolTip().size(), int(kToolTipChars));
  QMenu* popup = form->BuildFileListPopupMenu();
  ASSERT_EQ(popup->actions().size(), 1);
  EXPECT_LE(popup->actions()[0]->text().size(), int(kMenuCaptionChars));
  TMprisService mpris(form.get());
  EXPECT_LE(mpris.Metadata().value(QStringLiteral("xesam:title")).toString().size(), int(kMetadataChars));
}

// Catches a stored place off the screen applied as it is: the window, and the equalizer
// window placed under it, would show where nobody sees them.
TEST_F(MainFormFixture, StoredPlacesOffTheScreenAreFitted) {
  PlayerSettings far;
  far.playerFormLeft = -100000;
  far.playerFormTop = 2000000000;
  far.eqFormLeft = 900000;
  far.eqFormTop = 900000;
  TMainForm other(far, FakeFactory(log));
  other.ApplySkinFolder(QStringLiteral(ZIMBAR_SOURCE_DIR "/skins/default"));
  other.show();
  other.Start({});
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(screen.contains(other.geometry()));
  EXPECT_TRUE(screen.contains(other.EqualizerForm()->geometry()));
  other.ShutDown();
}

// Catches a failed save of the default list at the end that nobody hears of, or that
// cuts the list saved before.
TEST_F(MainFormFixture, AFailedSaveOfTheDefaultListIsToldAndTheOldListKept) {
  SmallDisk disk(dir, 64 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << "needs root to mount a small file system: " << disk.Why();
  ScopedEnv home("ZIMBAR_HOME", disk.Path().c_str());
  ASSERT_TRUE(WritePlayListFile(disk.File("zbplayerdef.pls"), {"/m/a.mp3"}));
  ASSERT_TRUE(disk.Fill());
  std::vector<std::string> many;
  for (int i = 0; i < 5000; ++i) many.push_back("/music/track " + std::to_string(i) + ".mp3");
  form->Start(many);
  form->ShutDown();
  EXPECT_EQ(form->ListSaveError(), "Cannot write play list " + disk.File("zbplayerdef.pls") + ": No space left on device");
  EXPECT_EQ(ReadPlayListFile(disk.File("zbplayerdef.pls")).Value(), std::vector<std::string>{"/m/a.mp3"});
}

// Catches an equalizer that does not reach the facade while dragging, and a disabled
// equalizer that still sends the sliders' record.
TEST_F(MainFormFixture, EqualizerChangesReachThePlayingFacade) {
  form->Start({"/m/a.mp3"});
  EXPECT_EQ(log.lastEqualizer, std::vector<int8_t>(64, 0));
  TEqualizerForm* eq = form->EqualizerForm();
  eq->Track(11)->SetPosition(0);
  Q_EMIT eq->TrackChanged(11);
  EXPECT_EQ(log.lastEqualizer[31], 50);
  EXPECT_EQ(log.lastEqualizer[63], 50);
  eq->EnableCheckBox()->click();
  EXPECT_EQ(settings.eqEnabled, 0);
  EXPECT_EQ(log.lastEqualizer, std::vector<int8_t>(64, 0));
  eq->EnableCheckBox()->click();
  EXPECT_EQ(log.lastEqualizer[22], 50);
}

// Catches a start whose per-user skin has a bitmap that does not decode: the window took
// the broken skin and had no face (it stayed unmapped while the audio played). The
// shipped default must be applied instead, and why told on stderr and in a message box.
TEST_F(MainFormFixture, StartWithAnUnshowableUserSkinShowsTheShippedDefault) {
  const std::string shipped = std::string(ZIMBAR_SOURCE_DIR) + "/skins/default";
  ScopedEnv share("ZIMBAR_SHARE_DIR", dir.File("share").c_str());
  ASSERT_TRUE(CreateDirectories(dir.File("share/skins")));
  std::filesystem::copy(shipped, dir.File("share/skins/default"));
  ASSERT_TRUE(CreateDirectories(dir.File("home")));
  std::filesystem::copy(shipped, dir.File("home/skin"));
  WriteText(dir.File("home/skin/eq.bmp"), "BM" + std::string(100, '\x01'));
  // Another face first, so that the default applied anew is told apart from the fixture's.
  form->ApplySkin(DisplayIni{}, QImage(10, 30, QImage::Format_RGB32));
  const QString said = form->ApplyStartSkin();
  EXPECT_TRUE(said.contains(QString::fromStdString(dir.File("home/skin/eq.bmp")))) << said.toStdString();
  EXPECT_TRUE(said.contains(QStringLiteral("The default skin is shown instead"))) << said.toStdString();
  EXPECT_EQ(form->size(), QSize(400, 130));
  EXPECT_EQ(form->EqualizerForm()->size(), QSize(400, 150));
  EXPECT_EQ(form->Face()->Face().pixel(200, 60),
            QImage(QString::fromStdString(shipped + "/main.bmp")).pixel(200, 60));
  QMessageBox* box = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    box = form->findChild<QMessageBox*>(QStringLiteral("SkinNotice"));
    return box != nullptr && box->isVisible();
  }, 2000));
  EXPECT_EQ(box->text(), said);
  box->close();
}

// Catches a modal play list window (the main window's Pause did nothing while it was
// open) and edits thrown away when it is closed with Escape or its title bar's button.
TEST_F(MainFormFixture, ThePlayListWindowIsLiveAndLeavesThePlayerWorking) {
  form->Start({"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"});
  form->show();
  form->ShowPlayList();
  TPlayListForm* list = form->PlayListForm();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(list));
  EXPECT_FALSE(list->isModal());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  // The main window's keys and buttons work while the list is open.
  log.Clear();
  QTest::keyClick(form.get(), Qt::Key_C);
  EXPECT_TRUE(log.Has("pause 1"));
  EXPECT_EQ(form->PlaybackStatus(), TransportState::Paused);

  // Remove the last entry, then close with Escape: the edit stays.
  list->FileListBox->clearSelection();
  list->FileListBox->SelectRow(2, true);
  list->FileListBox->setFocus();
  QTest::keyClick(list->FileListBox, Qt::Key_Delete);
  EXPECT_EQ(form->List().Entries(), (std::vector<std::string>{"/m/a.mp3", "/m/b.mp3"}));
  QTest::keyClick(list, Qt::Key_Escape);
  EXPECT_FALSE(list->isVisible());
  EXPECT_EQ(form->List().Entries(), (std::vector<std::string>{"/m/a.mp3", "/m/b.mp3"}));
  // The title bar's button: the same.
  form->ShowPlayList();
  list->FileListBox->clearSelection();
  list->FileListBox->SelectRow(1, true);
  list->RemoveButton->click();
  list->close();
  EXPECT_FALSE(list->isVisible());
  EXPECT_EQ(form->List().Entries(), std::vector<std::string>{"/m/a.mp3"});
  EXPECT_EQ(form->LoadedFile(), "/m/a.mp3");
  EXPECT_EQ(form->PlaybackStatus(), TransportState::Paused) << "an edit that keeps the entry playing does not stop it";

  // A drop on the main window appears in the open list.
  form->ShowPlayList();
  EXPECT_TRUE(form->Session().AddAndPlay({"/m/d.mp3"}));
  EXPECT_EQ(list->List(), (std::vector<std::string>{"/m/a.mp3", "/m/d.mp3"}));
  EXPECT_TRUE(list->FileListBox->model()->index(1, 0).data(Qt::FontRole).value<QFont>().bold());
}

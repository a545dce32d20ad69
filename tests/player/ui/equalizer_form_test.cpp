// Tests of the equalizer window, offscreen: knobs from stored values, dragging, the
// enable box, closing, placement and what it stores.
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "player/ui/equalizer_form.h"
#include "tests/common/temp_dir.h"
#include "player/ui/gslider.h"
#include "player/ui/gvtrack.h"
#include "player/ui/skin_image.h"

namespace {

void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
  QMouseEvent event(type, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::LeftButton, held, Qt::NoModifier);
  QApplication::sendEvent(w, &event);
}

struct EqFixture {
  PlayerSettings settings;
  std::unique_ptr<TEqualizerForm> form;
  int changes = 0;
  explicit EqFixture(std::array<int, 12> values) {
    settings.eq = values;
    form = std::make_unique<TEqualizerForm>(settings);
    const LoadedSkin skin = ReadSkinFolder(QStringLiteral(ZIMBAR_SOURCE_DIR "/skins/default"));
    form->ApplyEqualizerSkin(skin.display, skin.eqBitmap);
    form->onChange = [this] { ++changes; };
  }
};

}  // namespace

// Catches knobs not set from the stored values, a stored 255 that does not give −51, and
// a record not built before the first move.
TEST(TEqualizerForm, KnobsAndRecordFollowStoredValues) {
  EqFixture f({255, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 0});
  const int range = f.form->Track(0)->Range();
  ASSERT_GT(range, 0);
  EXPECT_EQ(f.form->Track(0)->Position(), range);
  EXPECT_EQ(f.form->Track(11)->Position(), 0);
  EXPECT_EQ(f.form->Record()[0], -51);
  EXPECT_EQ(f.form->Record()[22], 50);
  EXPECT_EQ(f.form->Record()[12], 0);
}

// Catches a drag that does not change the record while it goes on, a knob dragged past
// its travel, and values not stored at the end.
TEST(TEqualizerForm, DraggingAKnobChangesTheRecordAsItGoes) {
  EqFixture f({127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127});
  TGVTrack* track = f.form->Track(3);
  TGSlider* knob = track->Knob();
  Mouse(knob, QEvent::MouseButtonPress, QPoint(2, 2), Qt::LeftButton);
  Mouse(knob, QEvent::MouseMove, QPoint(2, 2 - 1000), Qt::LeftButton);
  EXPECT_EQ(track->Position(), 0);
  EXPECT_EQ(f.form->Record()[3], 50);
  EXPECT_EQ(f.changes, 1);
  Mouse(knob, QEvent::MouseMove, QPoint(2, 2 + 1000), Qt::LeftButton);
  Mouse(knob, QEvent::MouseButtonRelease, QPoint(2, 2), Qt::NoButton);
  EXPECT_EQ(track->Position(), track->Range() - 1);
  EXPECT_LT(f.form->Values()[3], 255);
  EXPECT_EQ(f.form->Record()[3], BandValueOf(f.form->Values()[3]));
  EXPECT_EQ(f.changes, 2);
  const int stored = f.form->Values()[3];
  f.form.reset();
  EXPECT_EQ(f.settings.eq[3], stored);
  EXPECT_EQ(f.settings.eq[0], 127) << "an untouched slider keeps its value exactly";
}

// Catches an enable box that does not reach the settings, a close that leaves EQVisible
// set, and a window not placed under the main window by default.
TEST(TEqualizerForm, EnableBoxCloseButtonAndPlacement) {
  EqFixture f({127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127});
  f.form->EnableCheckBox()->click();
  EXPECT_EQ(f.settings.eqEnabled, 0);
  EXPECT_EQ(f.form->Applied(), EqualizerRecord{});
  EXPECT_EQ(f.changes, 1);
  QWidget main;
  main.setGeometry(40, 60, 300, 100);
  f.form->PlaceUnder(&main);
  EXPECT_EQ(f.form->pos(), QPoint(40, 60 + main.height() + 5));
  f.settings.eqFormTop = 300;
  f.settings.eqFormLeft = 7;
  f.form->PlaceUnder(&main);
  EXPECT_EQ(f.form->pos(), QPoint(7, 300));
  f.form->show();
  EXPECT_EQ(f.settings.eqVisible, 1);
  Q_EMIT f.form->CloseClicked();
  EXPECT_EQ(f.settings.eqVisible, 0);
  EXPECT_FALSE(f.form->isVisible());
}

namespace {

QAction* ActionNamed(QMenu* menu, const QString& text) {
  for (QAction* a : menu->actions()) {
    if (a->text() == text) return a;
  }
  return nullptr;
}

QMenu* DeleteMenu(QMenu* menu) { return menu->findChild<QMenu*>(QStringLiteral("DeletePresetMenu")); }

}  // namespace

// Catches a context menu without the shipped presets, a preset that moves the knobs but
// not the record (or not while the equalizer is off), a save that is not kept, a refused
// name that is not explained and asked again, and a delete that leaves the preset listed.
TEST(TEqualizerForm, PresetMenuLoadsSavesAndDeletes) {
  TempDir dir;
  EqFixture f({127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127});
  f.form->SetPresetFile(dir.File("zbplayer.ini"));
  std::vector<QString> answers;
  int asked = 0;
  f.form->askPresetName = [&](const QString&) -> std::optional<QString> {
    if (size_t(asked) >= answers.size()) return std::nullopt;
    return answers[size_t(asked++)];
  };
  std::vector<QString> errors;
  f.form->showPresetError = [&](const QString& text) { errors.push_back(text); };

  // The equalizer is off; choosing Rock switches it on with Rock's sliders.
  f.form->EnableCheckBox()->click();
  ASSERT_EQ(f.settings.eqEnabled, 0);
  f.changes = 0;
  QMenu* menu = f.form->BuildPresetMenu();
  for (const EqualizerPreset& p : BuiltInEqualizerPresets())
    EXPECT_NE(ActionNamed(menu, QString::fromStdString(p.name)), nullptr) << p.name;
  EXPECT_FALSE(DeleteMenu(menu)->isEnabled()) << "no user presets yet";
  const EqualizerPreset& rock = BuiltInEqualizerPresets()[1];
  ASSERT_EQ(rock.name, "Rock");
  ActionNamed(menu, QStringLiteral("Rock"))->trigger();
  EXPECT_EQ(f.form->Values(), rock.values);
  EXPECT_EQ(f.form->Applied(), BuildEqualizerRecord(rock.values));
  EXPECT_TRUE(f.form->EnableCheckBox()->isChecked());
  EXPECT_EQ(f.settings.eqEnabled, 1);
  EXPECT_EQ(f.changes, 1);
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(f.form->Track(i)->Position(), KnobTopOfValue(rock.values[size_t(i)], f.form->Track(i)->Range()));

  // Saved under a name the file refuses, then under a good one.
  answers = {QStringLiteral("Flat"), QStringLiteral("My rock")};
  ActionNamed(f.form->BuildPresetMenu(), QStringLiteral("Save Preset..."))->trigger();
  EXPECT_EQ(asked, 2);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0].contains(QStringLiteral("Flat"))) << errors[0].toStdString();
  menu = f.form->BuildPresetMenu();
  ASSERT_NE(ActionNamed(menu, QStringLiteral("My rock")), nullptr);
  ASSERT_TRUE(DeleteMenu(menu)->isEnabled());

  // Back to Flat, then the user's preset.
  ActionNamed(menu, QStringLiteral("Flat"))->trigger();
  EXPECT_EQ(f.form->Applied(), EqualizerRecord{});
  ActionNamed(f.form->BuildPresetMenu(), QStringLiteral("My rock"))->trigger();
  EXPECT_EQ(f.form->Values(), rock.values);

  menu = f.form->BuildPresetMenu();
  ActionNamed(DeleteMenu(menu), QStringLiteral("My rock"))->trigger();
  menu = f.form->BuildPresetMenu();
  EXPECT_EQ(ActionNamed(menu, QStringLiteral("My rock")), nullptr);
  EXPECT_FALSE(DeleteMenu(menu)->isEnabled());
  EXPECT_EQ(errors.size(), 1u);
}

// Catches a right click on the face that opens nothing.
TEST(TEqualizerForm, RightClickOpensThePresetMenu) {
  TempDir dir;
  EqFixture f({127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127});
  f.form->SetPresetFile(dir.File("zbplayer.ini"));
  f.form->show();
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(30, 10), f.form->mapToGlobal(QPoint(30, 10)));
  QApplication::sendEvent(f.form.get(), &event);
  QWidget* popup = QApplication::activePopupWidget();
  ASSERT_NE(popup, nullptr);
  auto* menu = qobject_cast<QMenu*>(popup);
  ASSERT_NE(menu, nullptr);
  EXPECT_NE(ActionNamed(menu, QStringLiteral("Bass boost")), nullptr);
  menu->close();
}

// Tests of the equalizer window, offscreen: knobs from stored values, dragging, the
// enable box, closing, placement and what it stores.
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "player/ui/equalizer_form.h"
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

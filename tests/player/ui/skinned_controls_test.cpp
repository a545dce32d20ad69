// Tests of the skinned controls, offscreen: button looks and clicks, slider limits,
// window shapes, the equalizer tracks and the visualization's drawing.
#include <QCursor>
#include <QDialog>
#include <QTimer>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <thread>

#include "player/ui/equalizer_skin_face.h"
#include "player/ui/gbutton.h"
#include "player/ui/gslider.h"
#include "player/ui/gvtrack.h"
#include "player/ui/image_window.h"
#include "player/ui/main_skin_face.h"
#include "player/ui/visualization.h"
#include "tests/player/ui/skin_test_bitmaps.h"

namespace {

void SendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
  QMouseEvent event(type, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::LeftButton, held, Qt::NoModifier);
  QApplication::sendEvent(w, &event);
}
void Press(QWidget* w, QPoint at) { SendMouse(w, QEvent::MouseButtonPress, at, Qt::LeftButton); }
void Move(QWidget* w, QPoint at) { SendMouse(w, QEvent::MouseMove, at, Qt::LeftButton); }
void Release(QWidget* w, QPoint at) { SendMouse(w, QEvent::MouseButtonRelease, at, Qt::NoButton); }
void Enter(QWidget* w) {
  QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(w->mapToGlobal(QPoint(1, 1))));
  QApplication::sendEvent(w, &event);
}
void Leave(QWidget* w) {
  QEvent event(QEvent::Leave);
  QApplication::sendEvent(w, &event);
}
// The colour the widget shows in its middle.
QRgb Shown(QWidget* w) { return w->grab().toImage().pixel(w->width() / 2, w->height() / 2) | 0xFF000000; }

struct ButtonFixture {
  QWidget window;
  TGButton* button = new TGButton(&window);
  ButtonFixture(bool withFocus) {
    window.resize(100, 40);
    const int bands = withFocus ? 4 : 3;
    button->Skin(SkinRect{10, 5, 20, 10}, BandedBitmap(100, 40, bands), BandLayout(100, 40 * bands, bands),
                 /*hasPressedImage=*/true, QStringLiteral("Play"));
  }
};

}  // namespace

// Catches a button that keeps its mouse-over look after its click ran a dialog: the
// pointer left for the dialog, and no leave notice reached the button meanwhile.
TEST(TGButton, TheHoverLookEndsWhenTheDialogItOpenedHasClosed) {
  ButtonFixture f(/*withFocus=*/true);
  f.window.show();
  Enter(f.button);
  QObject::connect(f.button, &TGButton::Clicked, [&] {
    // A modal dialog (Setup, About); the pointer goes over to it, and it is closed there.
    QDialog dialog(&f.window);
    QTimer::singleShot(0, &dialog, [&] {
      EXPECT_FALSE(f.button->Hover()) << "the pointer is over the dialog";
      QCursor::setPos(f.window.mapToGlobal(QPoint(95, 38)));
      dialog.accept();
    });
    dialog.exec();
  });
  Press(f.button, QPoint(5, 5));
  Release(f.button, QPoint(5, 5));
  EXPECT_FALSE(f.button->Hover());
  EXPECT_EQ(Shown(f.button), kAwayColour);
  // A dialog closed with the pointer back over the button shows the mouse-over look.
  QObject::disconnect(f.button, &TGButton::Clicked, nullptr, nullptr);
  QObject::connect(f.button, &TGButton::Clicked, [&] {
    QDialog dialog(&f.window);
    QTimer::singleShot(0, &dialog, [&] {
      QCursor::setPos(f.button->mapToGlobal(QPoint(5, 5)));
      dialog.accept();
    });
    dialog.exec();
  });
  Enter(f.button);
  Press(f.button, QPoint(5, 5));
  Release(f.button, QPoint(5, 5));
  EXPECT_EQ(Shown(f.button), kFaceColour);
}

// Catches the desktop's move asked for at the press (a window manager that grabs after a
// quick release keeps moving the window with no button held), a press and release that
// leave the window following the pointer, and a drag that does not move the window.
TEST(FaceDrag, OnlyAPointerMovedWithTheButtonHeldMovesTheWindow) {
  TMainSkinFace face;
  face.ApplySkin(DisplayIni{}, BandedBitmap(200, 60, 3));
  face.move(100, 100);
  int systemMoves = 0;
  bool desktopTakes = false;
  face.Drag().startSystemMove = [&] {
    ++systemMoves;
    return desktopTakes;
  };
  QWidget* surface = face.Face();
  for (int click = 0; click < 6; ++click) {
    Press(surface, QPoint(50, 20));
    Release(surface, QPoint(50, 20));
  }
  EXPECT_EQ(systemMoves, 0) << "a click is no move";
  SendMouse(surface, QEvent::MouseMove, QPoint(90, 40), Qt::NoButton);
  EXPECT_EQ(face.pos(), QPoint(100, 100));
  Press(surface, QPoint(50, 20));
  Move(surface, QPoint(51, 20));
  EXPECT_EQ(systemMoves, 0) << "a tremble of the hand is still a click";
  EXPECT_EQ(face.pos(), QPoint(100, 100));
  // The desktop refuses (no window manager): the window follows the pointer itself.
  Move(surface, QPoint(70, 30));
  EXPECT_EQ(systemMoves, 1);
  EXPECT_EQ(face.pos(), QPoint(120, 110));
  Release(surface, QPoint(50, 20));
  EXPECT_FALSE(face.Drag().Following());
  const QPoint stays = face.pos();
  // A desktop that takes the move over moves the window itself.
  desktopTakes = true;
  Press(surface, QPoint(50, 20));
  Move(surface, QPoint(80, 20));
  EXPECT_EQ(systemMoves, 2);
  EXPECT_EQ(face.pos(), stays);
  EXPECT_FALSE(face.Drag().Pressed());
}

// Catches a wrong image after enter, leave, press and release, a click fired by a
// release outside the button, or none by a release inside.
TEST(TGButton, LooksFollowTheMouseAndOnlyAReleaseInsideClicks) {
  ButtonFixture f(/*withFocus=*/true);
  QSignalSpy clicks(f.button, &TGButton::Clicked);
  EXPECT_EQ(Shown(f.button), kAwayColour);
  Enter(f.button);
  EXPECT_EQ(Shown(f.button), kFaceColour);
  Leave(f.button);
  EXPECT_EQ(Shown(f.button), kAwayColour);
  Enter(f.button);
  Press(f.button, QPoint(5, 5));
  EXPECT_EQ(Shown(f.button), kPressedColour);
  Leave(f.button);  // the pressed look stays while the button is held
  EXPECT_EQ(Shown(f.button), kPressedColour);
  Release(f.button, QPoint(40, 30));
  EXPECT_EQ(Shown(f.button), kAwayColour);
  EXPECT_EQ(clicks.count(), 0);
  Enter(f.button);
  Press(f.button, QPoint(5, 5));
  Release(f.button, QPoint(6, 4));
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_EQ(Shown(f.button), kFaceColour);
  EXPECT_EQ(f.button->toolTip(), QStringLiteral("Play"));
}

// Catches a three-band skin whose away look is not the mouse-over look, and a button
// without a key that can be seen or clicked.
TEST(TGButton, ThreeBandsAndMissingKeys) {
  ButtonFixture f(/*withFocus=*/false);
  EXPECT_EQ(Shown(f.button), kFaceColour);
  f.button->Skin(std::nullopt, BandedBitmap(100, 40, 3), BandLayout(100, 120, 3), true, QStringLiteral("Stop"));
  EXPECT_TRUE(f.button->isHidden());
  EXPECT_FALSE(f.button->isEnabled());
}

// Catches a knob dragged past the top or to maxTop itself, a drag that does not report
// changes, or a pressed image that stays after the release.
TEST(TGSlider, DragStopsAtZeroAndOneAboveTheTravelLimit) {
  QWidget window;
  window.resize(200, 200);
  auto* track = new TGVTrack(&window);
  DisplayIni skin;
  skin.eqTrack = {10, 10, 10, 100};
  skin.eqSlider = {0, 0, 10, 10};
  const QImage bitmap = BandedBitmap(50, 120, 3);
  track->Skin(CutTrack(skin, BandLayout::ForEqualizer(50, 360), 0), bitmap, QString());
  EXPECT_EQ(track->Range(), 90);
  TGSlider* knob = track->Knob();
  EXPECT_EQ(knob->MaxTop(), 90);
  QSignalSpy changes(track, &TGVTrack::Changed);
  track->SetPosition(40);
  Press(knob, QPoint(5, 5));
  EXPECT_TRUE(knob->ShowsPressedImage());
  Move(knob, QPoint(5, -500));
  EXPECT_EQ(track->Position(), 0);
  Move(knob, QPoint(5, 5 + 1000));
  EXPECT_EQ(track->Position(), 89);
  Move(knob, QPoint(5, 5 - 30));
  EXPECT_EQ(track->Position(), 59);
  EXPECT_EQ(changes.count(), 3);
  Release(knob, QPoint(5, 5));
  EXPECT_FALSE(knob->Dragging());
  Move(knob, QPoint(5, 50));
  EXPECT_EQ(track->Position(), 59);
  // Set from a stored value the knob may reach the full range, no further.
  track->SetPosition(500);
  EXPECT_EQ(track->Position(), 90);
  track->SetPosition(-4);
  EXPECT_EQ(track->Position(), 0);
  EXPECT_EQ(DraggedKnobTop(0, 5, 0), 0);  // a knob as tall as its track never goes negative
}

// Catches tracks cut at their own shifted places (all twelve show the first groove) or
// placed without the interval.
TEST(TEqualizerSkinFace, TwelveTracksShareTheFirstBackground) {
  QImage bitmap = BandedBitmap(400, 150, 3);
  {
    QPainter p(&bitmap);
    p.fillRect(52, 34, 14, 92, QColor(0x123456));  // the first groove only
  }
  DisplayIni skin = DisplayIni::FromIni(IniFile::FromText(
      "[display]\neq_interval=28\neq_track=52 34 14 92\neq_slider=8 100 14 10\neq_check=14 8 ff\neq_close=372 6 18 16\n"));
  TEqualizerSkinFace face;
  face.ApplySkin(skin, bitmap);
  EXPECT_EQ(face.size(), QSize(400, 150));
  for (int i = 0; i < kEqualizerTrackCount; ++i) {
    TGVTrack* track = face.Track(i);
    EXPECT_EQ(track->geometry(), QRect(52 + 28 * i, 34, 14, 92)) << i;
    EXPECT_EQ(track->grab().toImage().pixel(2, 80) | 0xFF000000, 0xFF123456u) << i;
  }
  QCheckBox* check = face.EnableCheckBox();
  EXPECT_EQ(check->width(), check->height());
  EXPECT_TRUE(check->text().isEmpty());
  EXPECT_EQ(check->palette().color(QPalette::Window), QColor(0xff, 0, 0));
  EXPECT_FALSE(face.CloseButton()->isHidden());
}

// Catches a shape that is not taken from band 1, an empty mask read as "no mask" (a
// fully visible window), or a one-band bitmap that still gets a mask.
TEST(TImageWindow, ShapeComesFromTheMaskBand) {
  QWidget owner;
  auto* face = new TImageWindow(&owner);
  face->Load(BandedBitmap(40, 20, 3, QRect(5, 0, 30, 20)), 3);
  EXPECT_EQ(owner.size(), QSize(40, 20));
  EXPECT_EQ(owner.mask(), QRegion(5, 0, 30, 20));
  QImage white = BandedBitmap(40, 20, 3);
  {
    QPainter p(&white);
    p.fillRect(0, 20, 40, 20, Qt::white);
  }
  face->Load(white, 3);
  EXPECT_FALSE(owner.mask().isEmpty());
  EXPECT_FALSE(owner.mask().intersects(QRect(0, 0, 40, 20)));
  QImage diagonal = BandedBitmap(20, 20, 3);
  {
    QPainter p(&diagonal);
    p.fillRect(0, 20, 20, 20, Qt::white);
    for (int y = 0; y < 20; ++y) p.fillRect(y, 20 + y, 1, 1, Qt::black);
  }
  face->Load(diagonal, 3);
  EXPECT_EQ(owner.mask().rectCount(), 20);
  EXPECT_EQ(owner.mask().boundingRect(), QRect(0, 0, 20, 20));
  face->Load(BandedBitmap(40, 20, 1), 1);
  EXPECT_TRUE(owner.mask().isEmpty());
}

// Catches a slice fed from another thread that is never drawn, a trace off the middle
// line for silence, or a feed that draws for an area at left 0.
TEST(TVisualization, SlicesFromAnotherThreadAreDrawnOnTheGuiThread) {
  QWidget window;
  auto* visualization = new TVisualization(&window);
  QImage face(200, 100, QImage::Format_RGB32);
  face.fill(QColor(0x102030));
  visualization->Configure(SkinVisualizationPlace{{20, 10, 64, 40}, SkinColour{0x0000ff}}, face);
  EXPECT_EQ(visualization->BackgroundColour(), QColor(0x102030));
  EXPECT_EQ(visualization->LineColour(), QColor(0xff, 0, 0));
  QSignalSpy drawn(visualization, &TVisualization::Drawn);
  std::thread engine([visualization] {
    const std::vector<int16_t> silence(128, 0);
    EXPECT_TRUE(visualization->Feed(silence.data(), 256, 2, 16));
  });
  engine.join();
  ASSERT_TRUE(drawn.wait(2000));
  const QImage picture = visualization->Picture();
  EXPECT_EQ(picture.pixel(10, 20) | 0xFF000000, 0xFFFF0000u);
  EXPECT_EQ(picture.pixel(10, 5) | 0xFF000000, 0xFF102030u);
  visualization->Configure(SkinVisualizationPlace{{0, 10, 64, 40}, SkinColour{0}}, face);
  const int16_t slice[4] = {};
  EXPECT_FALSE(visualization->Feed(slice, sizeof slice, 2, 16));
  EXPECT_EQ(visualization->BackgroundColour(), QColor(Qt::black));
}

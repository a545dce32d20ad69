// End-to-end tests of the main window's face on a real X server (the test command's
// private Xvfb, no window manager): zbplayer started once with a minute-long tone, driven
// with xdotool, and read back from the screen and from the window's name.
#include <signal.h>
#include <sys/stat.h>

#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>

#include "player/skin/display_ini.h"
#include "player/skin/skin_bands.h"
#include "tests/common/temp_dir.h"
#include "tests/outside/gogo/test_media.h"

namespace {

bool g_display = false;

// Where the main window is put through its stored place (no window manager moves it).
constexpr int kLeft = 100, kTop = 100;

QString Output(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral("xdotool"), args);
  p.waitForFinished(10000);
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}
void Xdotool(const QStringList& args) {
  ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), args), 0) << args.join(QLatin1Char(' ')).toStdString();
}
// A shown window whose name matches the regular expression; 0 when none.
unsigned long WindowNamed(const QString& pattern) {
  const QString ids = Output({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern});
  return ids.isEmpty() ? 0 : ids.split(QLatin1Char('\n')).first().toULong();
}
QPoint WindowPlace(unsigned long id) {
  const QString out = Output({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(id)});
  const auto x = QRegularExpression(QStringLiteral("X=(-?\\d+)")).match(out);
  const auto y = QRegularExpression(QStringLiteral("Y=(-?\\d+)")).match(out);
  return QPoint(x.captured(1).toInt(), y.captured(1).toInt());
}
QImage Grab(const QRect& r) {
  return QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage().convertToFormat(
      QImage::Format_RGB32);
}
QString N(int v) { return QString::number(v); }

DisplayIni Skin() { return DisplayIni::Load(std::string(ZIMBAR_SOURCE_DIR) + "/skins/default/display.Ini").Value(); }

}  // namespace

// Catches quick clicks on the face that leave the window following the pointer, a drag
// by the face that does not move it, a wheel over the face that does not reach the volume,
// a click on the position slider that does not seek (the knob goes back to where playback
// is), and a window name that shows the time instead of what plays, or names an entry
// after Stop.
TEST(PlayerFaceDesktop, ClicksDragsTheWheelTheSliderAndTheWindowName) {
  if (!g_display) {
    if (const char* s = std::getenv("ZIMBAR_TEST_SERVERS"); s && std::string(s) == "1")
      FAIL() << "ZIMBAR_TEST_SERVERS=1 but there is no X server";
    GTEST_SKIP() << "needs DISPLAY; scripts/test.sh starts an X server";
  }
  TempDir dir;
  ::mkdir(dir.File("home").c_str(), 0755);
  ::mkdir(dir.File("run").c_str(), 0700);
  WriteText(dir.File("home/zbplayer.ini"),
            "[Options]\nVersion=65890\n[Player]\nPlayerFormTop=" + std::to_string(kTop) + "\nPlayerFormLeft=" +
                std::to_string(kLeft) + "\n");
  const std::string tone = dir.File("tone.wav");
  test_media::Run("sox -n -r 44100 -c 2 -b 16 '" + tone + "' synth 60 sine 440 gain -20");
  QProcess player;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("ZIMBAR_HOME"), QString::fromStdString(dir.File("home")));
  env.insert(QStringLiteral("HOME"), QString::fromStdString(dir.File("home")));
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir.File("run")));
  env.insert(QStringLiteral("ZIMBAR_SHARE_DIR"), QStringLiteral(ZIMBAR_BIN_DIR "/../share/zimbar"));
  env.insert(QStringLiteral("ZIMBAR_AUDIO_OUT"), QStringLiteral("null"));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
  player.setProcessEnvironment(env);
  player.setProcessChannelMode(QProcess::ForwardedChannels);
  player.start(QStringLiteral(ZIMBAR_BIN_DIR "/zbplayer"), {QString::fromStdString(tone)});

  // Playing: the window is named after what plays.
  unsigned long window = 0;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (window = WindowNamed(QStringLiteral("^tone\\.wav .+ zbplayer$"))) != 0; }, 20000))
      << "no window named after the tone";
  ASSERT_EQ(WindowPlace(window), QPoint(kLeft, kTop));
  const DisplayIni skin = Skin();
  const QPoint face(kLeft + 300, kTop + 114);  // the face under the brand, no control there

  // Six quick clicks, then the pointer wanders: the window stays.
  for (int i = 0; i < 6; ++i)
    Xdotool({QStringLiteral("mousemove"), N(face.x()), N(face.y()), QStringLiteral("click"), QStringLiteral("1")});
  Xdotool({QStringLiteral("mousemove"), N(face.x() + 60), N(face.y() + 40)});
  Xdotool({QStringLiteral("mousemove"), N(face.x() - 80), N(face.y() + 70)});
  QTest::qWait(300);
  EXPECT_EQ(WindowPlace(window), QPoint(kLeft, kTop)) << "a click left the window following the pointer";

  // A drag by the face moves it by as much as the pointer moved.
  Xdotool({QStringLiteral("mousemove"), N(face.x()), N(face.y()), QStringLiteral("mousedown"), QStringLiteral("1")});
  for (int step = 1; step <= 6; ++step)
    Xdotool({QStringLiteral("mousemove"), N(face.x() + step * 5), N(face.y() + step * 2)});
  Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
  ASSERT_TRUE(QTest::qWaitFor([&] { return WindowPlace(window) == QPoint(kLeft + 30, kTop + 12); }, 3000))
      << "dragged to " << WindowPlace(window).x() << "," << WindowPlace(window).y();
  Xdotool({QStringLiteral("mousemove"), N(face.x() + 30), N(face.y() + 12), QStringLiteral("mousedown"), QStringLiteral("1")});
  for (int step = 5; step >= 0; --step)
    Xdotool({QStringLiteral("mousemove"), N(face.x() + step * 5), N(face.y() + step * 2)});
  Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
  ASSERT_TRUE(QTest::qWaitFor([&] { return WindowPlace(window) == QPoint(kLeft, kTop); }, 3000));

  // The wheel over the face turns the volume: three notches down change the level shown,
  // three up bring it back.
  const SkinRect level = skin.TextField(SkinTextField::WavVolume)->rect;
  const QRect levelOnScreen(kLeft + level.left, kTop + level.top, level.width, level.height);
  const QImage full = Grab(levelOnScreen);
  Xdotool({QStringLiteral("mousemove"), N(face.x()), N(face.y()), QStringLiteral("click"), QStringLiteral("--repeat"),
           QStringLiteral("3"), QStringLiteral("5")});
  EXPECT_TRUE(QTest::qWaitFor([&] { return Grab(levelOnScreen) != full; }, 3000)) << "the wheel did not turn the volume";
  Xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("3"), QStringLiteral("4")});
  EXPECT_TRUE(QTest::qWaitFor([&] { return Grab(levelOnScreen) == full; }, 3000)) << "the wheel did not turn it back";

  // A click at three quarters of the slider: the knob goes there and stays, as playback
  // goes on from there (a seek that failed would bring it back after a moment).
  const SkinRect track = *skin.position;
  const int travel = track.width - skin.positionKnob.width;
  const int target = travel * 3 / 4;
  const QImage bitmap(QStringLiteral(ZIMBAR_SOURCE_DIR "/skins/default/main.bmp"));
  const BandLayout bands = BandLayout::ForMain(bitmap.width(), bitmap.height(), skin.withFocus);
  const PositionSliderGeometry slider = CutPositionSlider(track, skin.positionKnob, bands);
  // The knob's middle column is its accent line; where the screen shows it is the knob.
  const int middle = slider.knob.width / 2;
  const QRgb accent = bitmap.pixel(slider.knob.left + middle, slider.knob.top + slider.knob.height / 2) | 0xFF000000;
  const int row = kTop + track.top + slider.knobTop + slider.knob.height / 2;
  auto knobAt = [&] {
    const QImage line = Grab(QRect(kLeft + track.left, row, track.width, 1));
    for (int x = 0; x < line.width(); ++x)
      if ((line.pixel(x, 0) | 0xFF000000) == accent) return x - middle;
    return -1;
  };
  ASSERT_TRUE(QTest::qWaitFor([&] { return knobAt() >= 0 && knobAt() < travel / 4; }, 5000)) << "knob at " << knobAt();
  Xdotool({QStringLiteral("mousemove"), N(kLeft + track.left + target + middle), N(row), QStringLiteral("click"),
           QStringLiteral("1")});
  QTest::qWait(2500);
  EXPECT_GE(knobAt(), target - 2) << "the slider did not seek";
  EXPECT_LE(knobAt(), target + 16);

  // Stopped: the name is the program's alone.
  const SkinRect stop = *skin.Button(SkinButton::Stop);
  Xdotool({QStringLiteral("mousemove"), N(kLeft + stop.left + stop.width / 2), N(kTop + stop.top + stop.height / 2),
           QStringLiteral("click"), QStringLiteral("1")});
  EXPECT_TRUE(QTest::qWaitFor([&] { return WindowNamed(QStringLiteral("^zbplayer$")) == window; }, 5000));

  player.terminate();  // closed as by its close button
  ASSERT_TRUE(player.waitForFinished(10000));
  EXPECT_EQ(player.exitCode(), 128 + SIGTERM);
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const char* display = std::getenv("DISPLAY");
  g_display = display != nullptr && *display != '\0';
  qputenv("QT_QPA_PLATFORM", g_display ? "xcb" : "offscreen");
  QGuiApplication app(argc, argv);
  return RUN_ALL_TESTS();
}

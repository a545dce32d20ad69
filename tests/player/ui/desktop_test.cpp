// Tests of the skinned windows on a real X server: zbskinview shows a shipped skin (named,
// or at start in place of a per-user skin that cannot be shown), and the X server's view of
// it (shape, pixels, pointer) is compared with the skin's bands.
// A backdrop window of the test's own, in a colour no skin uses, lies under the preview:
// wherever the shape cuts the window away the backdrop shows and receives the clicks.
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "player/skin/display_ini.h"
#include "player/skin/skin_bands.h"
#include "player/skin/window_shape.h"
#include "player/ui/skin_image.h"
#include "tests/common/temp_dir.h"

namespace {

constexpr QRgb kBackdrop = 0xFFFF00FF;
bool g_haveDisplay = false;

class Backdrop : public QWidget {
 public:
  Backdrop() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor::fromRgb(kBackdrop));
    setPalette(p);
    setGeometry(0, 0, 1000, 700);
  }
  std::vector<QPoint> presses;  // global positions

 protected:
  void mousePressEvent(QMouseEvent* e) override { presses.push_back(e->globalPosition().toPoint()); }
};

void Xdotool(const QStringList& args) { ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), args), 0) << args.join(' ').toStdString(); }

struct SkinUnderTest {
  DisplayIni display;
  QImage main;  // RGB32
  BandLayout bands{0, 0, 1};
};

SkinUnderTest ReadSkin(const std::string& name) {
  SkinUnderTest s;
  const std::string folder = std::string(ZIMBAR_SOURCE_DIR) + "/skins/" + name;
  s.display = DisplayIni::Load(folder + "/display.Ini").Value();
  s.main = QImage(QString::fromStdString(folder + "/main.bmp")).convertToFormat(QImage::Format_RGB32);
  s.bands = BandLayout::ForMain(s.main.width(), s.main.height(), s.display.withFocus);
  return s;
}

// zbskinview showing one skin's main window at a scale (with no skin named, the active
// skin of the settings folder home, or of a fresh one); its report lines and what it says
// on stderr are collected.
class Preview {
 public:
  Preview(const std::string& skin, int scale, const std::string& home = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZIMBAR_HOME"), QString::fromStdString(home.empty() ? home_.Path() : home));
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(scale));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    process_.setProcessEnvironment(env);
    const int at = 100 / scale;
    QStringList args{QStringLiteral("--at"), QStringLiteral("%1,%1").arg(at), QStringLiteral("--report"),
                     QStringLiteral("--no-eq")};
    if (!skin.empty())
      args << QStringLiteral("--skin") << QString::fromStdString(std::string(ZIMBAR_SOURCE_DIR) + "/skins/" + skin);
    QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] {
      while (process_.canReadLine()) lines_.push_back(QString::fromUtf8(process_.readLine()).trimmed());
    });
    QObject::connect(&process_, &QProcess::readyReadStandardError, [this] {
      const QByteArray said = process_.readAllStandardError();
      std::fwrite(said.constData(), 1, static_cast<size_t>(said.size()), stderr);
      errors_ += QString::fromUtf8(said);
    });
    process_.start(QStringLiteral(ZIMBAR_BIN_DIR "/zbskinview"), args);
  }
  ~Preview() {
    process_.kill();
    process_.waitForFinished(5000);
  }
  // Waits for a line starting with prefix; returns it (empty after the timeout).
  QString WaitFor(const QString& prefix, int ms = 5000) {
    QString found;
    (void)QTest::qWaitFor([&] {
      for (const QString& l : lines_)
        if (l.startsWith(prefix)) found = l;
      return !found.isEmpty();
    }, ms);
    return found;
  }
  bool Saw(const QString& prefix) const {
    for (const QString& l : lines_)
      if (l.startsWith(prefix)) return true;
    return false;
  }
  // Waits until stderr holds text.
  bool Said(const QString& text, int ms = 5000) {
    return QTest::qWaitFor([&] { return errors_.contains(text); }, ms);
  }
  const QString& Errors() const { return errors_; }

 private:
  TempDir home_;
  QProcess process_;
  std::vector<QString> lines_;
  QString errors_;
};

struct WindowInfo {
  QRect geometry;  // absolute
  QRect shapeExtents;
  bool viewable = false;  // mapped, and so are its parents
};

WindowInfo XWinInfo(const QString& id) {
  QProcess p;
  p.start(QStringLiteral("xwininfo"), {QStringLiteral("-shape"), QStringLiteral("-id"), id});
  p.waitForFinished(5000);
  const QString out = QString::fromUtf8(p.readAllStandardOutput());
  auto number = [&out](const char* label) {
    const auto m = QRegularExpression(QString::fromLatin1(label) + QStringLiteral(":\\s+(-?\\d+)")).match(out);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
  };
  WindowInfo info;
  info.viewable = out.contains(QStringLiteral("Map State: IsViewable"));
  info.geometry = QRect(number("Absolute upper-left X"), number("Absolute upper-left Y"), number("Width"), number("Height"));
  const auto e = QRegularExpression(QStringLiteral("Window shape extents:\\s+(\\d+)x(\\d+)\\+(-?\\d+)\\+(-?\\d+)")).match(out);
  if (e.hasMatch()) info.shapeExtents = QRect(e.captured(3).toInt(), e.captured(4).toInt(), e.captured(1).toInt(), e.captured(2).toInt());
  return info;
}

QImage Grab(const QRect& r) {
  return QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage().convertToFormat(QImage::Format_RGB32);
}

QImage Scaled(const QImage& image, int scale) {
  return image.scaled(image.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

// What the main window of a skin must show on the backdrop: the face, every button in its
// away look, the backdrop wherever the shape cuts the window away.
QImage ExpectedFace(const SkinUnderTest& skin) {
  const int w = skin.bands.Width(), h = skin.bands.BandHeight();
  QImage expected = skin.main.copy(0, 0, w, h);
  {
    QPainter p(&expected);
    for (const auto& place : skin.display.buttons)
      if (place) p.drawImage(ToQRect(*place), skin.main.copy(ToQRect(CutButton(*place, skin.bands).away)));
  }
  const QRegion visible = ToRegion(BuildWindowShape(PixelsOf(skin.main), skin.bands));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (!visible.contains(QPoint(x, y))) expected.setPixel(x, y, kBackdrop);
  return expected;
}

// Waits until the screen shows expected at r.
bool ShowsImage(const QRect& r, const QImage& expected, int ms = 3000) {
  return QTest::qWaitFor([&] { return Grab(r) == expected; }, ms);
}

class OnTheDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!g_haveDisplay) {
      if (const char* servers = std::getenv("ZIMBAR_TEST_SERVERS"); servers && std::string(servers) == "1")
        FAIL() << "ZIMBAR_TEST_SERVERS=1 but no X server is reachable (DISPLAY)";
      GTEST_SKIP() << "no X server (DISPLAY unset); scripts/test.sh starts one";
    }
    backdrop_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&backdrop_));
    Xdotool({QStringLiteral("mousemove"), QStringLiteral("5"), QStringLiteral("5")});
  }
  Backdrop backdrop_;
};

class DesktopTest : public OnTheDesktop, public ::testing::WithParamInterface<std::tuple<std::string, int>> {};

}  // namespace

// Catches a window whose outline differs from the mask band (a shape not applied, taken
// from the wrong band, or scaled unevenly), a face drawn with blur at 2x, or a button
// drawn in the wrong look while the pointer is away.
TEST_P(DesktopTest, ShapedWindowMatchesTheMaskPixelForPixel) {
  const auto& [skinName, scale] = GetParam();
  const SkinUnderTest skin = ReadSkin(skinName);
  Preview preview(skinName, scale);
  const QString ready = preview.WaitFor(QStringLiteral("ready "));
  ASSERT_FALSE(ready.isEmpty()) << "zbskinview did not report its windows";
  const WindowInfo info = XWinInfo(ready.section(' ', 1, 1));
  const int w = skin.bands.Width(), h = skin.bands.BandHeight();
  ASSERT_EQ(info.geometry.size(), QSize(w * scale, h * scale));
  const WindowShape shape = BuildWindowShape(PixelsOf(skin.main), skin.bands);
  const QRect box = ToRegion(shape).boundingRect();
  EXPECT_EQ(info.shapeExtents, QRect(box.topLeft() * scale, box.size() * scale));

  ASSERT_TRUE(ShowsImage(info.geometry, Scaled(ExpectedFace(skin), scale))) << skinName << " at " << scale << "x";
}

// Catches hover and pressed looks shown in the wrong place or from the wrong band, hit
// areas that do not scale with the window, and a click fired by a release off the button.
TEST_P(DesktopTest, HoverAndPressedLooksAppearWhereTheBandsSay) {
  const auto& [skinName, scale] = GetParam();
  const SkinUnderTest skin = ReadSkin(skinName);
  Preview preview(skinName, scale);
  const QString ready = preview.WaitFor(QStringLiteral("ready "));
  ASSERT_FALSE(ready.isEmpty());
  const QPoint origin = XWinInfo(ready.section(' ', 1, 1)).geometry.topLeft();
  const SkinRect play = *skin.display.Button(SkinButton::Play);
  const ButtonImageSources looks = CutButton(play, skin.bands);
  const QRect onScreen(origin + QPoint(play.left, play.top) * scale, QSize(play.width, play.height) * scale);
  const QString cx = QString::number(onScreen.center().x()), cy = QString::number(onScreen.center().y());
  auto look = [&](const SkinRect& r) { return Scaled(skin.main.copy(ToQRect(r)), scale); };

  EXPECT_TRUE(ShowsImage(onScreen, look(looks.away)));
  Xdotool({QStringLiteral("mousemove"), cx, cy});
  EXPECT_TRUE(ShowsImage(onScreen, look(looks.over))) << "hover";
  Xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
  EXPECT_TRUE(ShowsImage(onScreen, look(looks.pressed))) << "pressed";
  Xdotool({QStringLiteral("mousemove"), QStringLiteral("5"), QStringLiteral("5")});
  Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
  EXPECT_TRUE(ShowsImage(onScreen, look(looks.away))) << "released off the button";
  Xdotool({QStringLiteral("mousemove"), cx, cy});
  Xdotool({QStringLiteral("click"), QStringLiteral("1")});
  EXPECT_FALSE(preview.WaitFor(QStringLiteral("clicked btn_play")).isEmpty());
  EXPECT_TRUE(backdrop_.presses.empty());
  EXPECT_TRUE(ShowsImage(onScreen, look(looks.over))) << "after the click";
}

// Catches a shape that only hides pixels but still takes the pointer: a click into a
// cut-away corner must reach the window below, a click on the face the preview.
TEST_P(DesktopTest, ClickInACutAwayCornerReachesTheWindowBelow) {
  const auto& [skinName, scale] = GetParam();
  Preview preview(skinName, scale);
  const QString ready = preview.WaitFor(QStringLiteral("ready "));
  ASSERT_FALSE(ready.isEmpty());
  const QPoint origin = XWinInfo(ready.section(' ', 1, 1)).geometry.topLeft();
  const QPoint corner = origin + QPoint(1, 1);
  Xdotool({QStringLiteral("mousemove"), QString::number(corner.x()), QString::number(corner.y()), QStringLiteral("click"), QStringLiteral("1")});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !backdrop_.presses.empty(); }, 3000)) << "the corner click went nowhere";
  EXPECT_EQ(backdrop_.presses.front(), corner);
  // A point on the face, left of the brand caption in the title strip.
  const QPoint face = origin + QPoint(200, 12) * scale;
  Xdotool({QStringLiteral("mousemove"), QString::number(face.x()), QString::number(face.y()), QStringLiteral("click"), QStringLiteral("1")});
  EXPECT_EQ(preview.WaitFor(QStringLiteral("press ")), QStringLiteral("press 200 12"));
  EXPECT_EQ(backdrop_.presses.size(), 1u);
}

// Catches a start whose per-user skin has a bitmap that does not decode: the window stayed
// unmapped (audio played, nothing showed, one line on stderr). The shipped default must be
// shown instead, and why said on stderr and in a message box over the window.
TEST_F(OnTheDesktop, ACorruptUserBitmapAtStartShowsTheShippedDefault) {
  TempDir home;
  const std::string skin = home.File("skin");
  std::filesystem::copy(std::string(ZIMBAR_SOURCE_DIR) + "/skins/default", skin);
  WriteText(skin + "/main.bmp", "BM" + std::string(200, '\x7f'));
  Preview preview("", 1, home.Path());
  const QString ready = preview.WaitFor(QStringLiteral("ready "));
  ASSERT_FALSE(ready.isEmpty()) << "zbskinview did not report its windows";
  const WindowInfo info = XWinInfo(ready.section(' ', 1, 1));
  EXPECT_TRUE(info.viewable) << "the main window is not mapped";
  const SkinUnderTest shipped = ReadSkin("default");
  EXPECT_EQ(info.geometry.size(), QSize(shipped.bands.Width(), shipped.bands.BandHeight()));
  EXPECT_TRUE(preview.Said(QStringLiteral("The default skin is shown instead"))) << preview.Errors().toStdString();
  EXPECT_TRUE(preview.Errors().contains(QString::fromStdString(skin + "/main.bmp"))) << preview.Errors().toStdString();

  // The notice is a message box of its own, named after the program; Return closes it.
  QString box;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    QProcess search;
    search.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                             QStringLiteral("--name"), QStringLiteral("^zbskinview$")});
    search.waitForFinished(5000);
    box = QString::fromUtf8(search.readAllStandardOutput()).trimmed();
    return !box.isEmpty();
  }, 5000)) << "no message box says why";
  Xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), box});
  Xdotool({QStringLiteral("key"), QStringLiteral("Return")});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !XWinInfo(box).viewable; }, 5000)) << "the message box stays";
  EXPECT_TRUE(ShowsImage(info.geometry, ExpectedFace(shipped)));
}

INSTANTIATE_TEST_SUITE_P(Skins, DesktopTest,
                         ::testing::Combine(::testing::Values("default", "daylight"), ::testing::Values(1, 2)),
                         [](const auto& info) {
                           return std::get<0>(info.param) + "_x" + std::to_string(std::get<1>(info.param));
                         });

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const char* display = std::getenv("DISPLAY");
  g_haveDisplay = display != nullptr && *display != '\0';
  // Without a display the tests report themselves as skipped or failed; the application
  // object still needs a platform to start.
  qputenv("QT_QPA_PLATFORM", g_haveDisplay ? "xcb" : "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}

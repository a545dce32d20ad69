// The notification at the end of a run, sent to a small fake notification service on a
// private session bus (the test runs under dbus-run-session).
#include "maker/jobs/ui/desktop_notification.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTest>
#include <QVariantMap>
#include <filesystem>
#include <memory>

#include "common/ui/qt_main_loop.h"
#include "maker/jobs/ui/main_form.h"
#include "maker/settings/settings_table.h"
#include "tests/cdaccess/disc_image_builder.h"

namespace {

// org.freedesktop.Notifications as a desktop offers it, keeping what it was asked to show.
class FakeNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  struct Shown {
    QString app, icon, summary, body;
    QVariantMap hints;
  };
  std::vector<Shown> shown;

 public Q_SLOTS:
  uint Notify(const QString& app, uint /*replaces*/, const QString& icon, const QString& summary, const QString& body,
              const QStringList& /*actions*/, const QVariantMap& hints, int /*timeout*/) {
    shown.push_back({app, icon, summary, body, hints});
    return static_cast<uint>(shown.size());
  }
};

class DesktopNotificationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
  }
  void TearDown() override { Unregister(); }
  void Register() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.registerObject(QString::fromLatin1(kNotificationsPath), &fake_, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus.registerService(QString::fromLatin1(kNotificationsService)));
  }
  void Unregister() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(QString::fromLatin1(kNotificationsService));
    bus.unregisterObject(QString::fromLatin1(kNotificationsPath));
  }

  FakeNotifications fake_;
};

}  // namespace

// Catches a notification that waits for (or fails on) a desktop without the service, one
// that does not reach the service, and one without the program's name, icon and entry.
TEST_F(DesktopNotificationTest, ReachesTheServiceAndIsQuietWithoutIt) {
  EXPECT_FALSE(SendDesktopNotification(QStringLiteral("s"), QStringLiteral("b")));
  Register();
  ASSERT_TRUE(SendDesktopNotification(QStringLiteral("Encoding finished"), QStringLiteral("1 file done")));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !fake_.shown.empty(); }, 5000));
  EXPECT_EQ(fake_.shown[0].app, QStringLiteral("Zimbar MP3 Maker"));
  EXPECT_EQ(fake_.shown[0].icon, QStringLiteral("zbmaker"));
  EXPECT_EQ(fake_.shown[0].summary, QStringLiteral("Encoding finished"));
  EXPECT_EQ(fake_.shown[0].body, QStringLiteral("1 file done"));
  EXPECT_EQ(fake_.shown[0].hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("org.zimbar.zbmaker"));
}

// A rip of a disc image: catches a run that ends while another window is in front
// without telling the desktop, a notice that does not say how the tracks ended, and one
// sent while the maker's own window is in front (it shows the end itself).
TEST_F(DesktopNotificationTest, ARunThatEndsBehindAnotherWindowIsNotified) {
  Register();
  testcd::TempDir dir;
  const testcd::ScopedEnv home("ZIMBAR_HOME", dir.Path() + "/home");
  const testcd::ScopedEnv userHome("HOME", dir.Path());
  const testcd::ScopedEnv libraries("ZIMBAR_LIB_DIR", ZIMBAR_BIN_DIR);
  const testcd::DiscImage image(dir.Path(), "disc", {testcd::Tone(40, 440, 8000), testcd::Noise(30, 7)});
  SettingsTable settings;
  settings.version = 0x010341;  // no desktop shortcut
  settings.discImages = image.CuePath();
  settings.outputPath = dir.Path() + "/out";
  std::filesystem::create_directories(dir.Path() + "/out");
  QtMainLoop loop;
  auto form = std::make_unique<maker::TMainForm>(settings, loop);
  std::vector<std::string> errors;
  form->showError = [&](const QString& text, const QString&) { errors.push_back(text.toStdString()); };
  form->FormCreate({}, dir.Path());
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  form->CD2WAVRadioButton->click();
  ASSERT_EQ(form->TracksList->count(), 2);

  auto runAndWait = [&] {
    form->StartButton->click();
    ASSERT_TRUE(form->Pipeline().Busy()) << ::testing::PrintToString(errors);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Pipeline().Busy(); }, 20000));
    QTest::qWait(100);  // a notification in flight arrives meanwhile
  };
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  runAndWait();
  ASSERT_EQ(fake_.shown.size(), 1u);
  EXPECT_EQ(fake_.shown[0].summary, QStringLiteral("Ripping to WAV finished"));
  EXPECT_EQ(fake_.shown[0].body, QStringLiteral("2 tracks done"));

  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  runAndWait();
  EXPECT_EQ(fake_.shown.size(), 1u);
  EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
}

#include "desktop_notification_test.moc"

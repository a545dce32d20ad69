// End to end: zbplayer with its real engines on a private session bus (the program runs
// under dbus-run-session), asked through the media player interface as an applet asks
// it. The window is offscreen and the sound goes to the null output, which keeps time as
// a sound card does: nothing here needs the X server or the sound server.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "tests/common/temp_dir.h"
#include "tests/outside/gogo/test_media.h"

namespace {

constexpr const char* kService = "org.mpris.MediaPlayer2.zbplayer";
constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";
constexpr qlonglong kSecond = 1000000;

// The bus as an applet sees it: method calls, properties and the Seeked signal.
class Applet : public QObject {
  Q_OBJECT
 public:
  std::vector<qlonglong> seeked;

  bool Connect() {
    return QDBusConnection::sessionBus().connect(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kPlayer),
                                                 QStringLiteral("Seeked"), this, SLOT(Seeked(qlonglong)));
  }
  QDBusMessage Call(const QString& interface, const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage m = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath), interface, method);
    m.setArguments(arguments);
    return QDBusConnection::sessionBus().call(m, QDBus::Block, 5000);
  }
  QDBusMessage Player(const char* method, const QVariantList& arguments = {}) {
    return Call(QLatin1String(kPlayer), QLatin1String(method), arguments);
  }
  QVariant Get(const char* interface, const char* property) {
    const QDBusMessage reply = Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                    {QLatin1String(interface), QLatin1String(property)});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return reply.arguments().front().value<QDBusVariant>().variant();
  }
  QVariant Get(const char* property) { return Get(kPlayer, property); }
  QVariantMap Metadata() {
    QVariantMap map;
    const QVariant value = Get("Metadata");
    if (value.canConvert<QDBusArgument>()) value.value<QDBusArgument>() >> map;
    return map;
  }
  QString Url() { return Metadata().value(QStringLiteral("xesam:url")).toString(); }
  qlonglong Length() { return Metadata().value(QStringLiteral("mpris:length")).toLongLong(); }
  qlonglong Position() { return Get("Position").toLongLong(); }

 public Q_SLOTS:
  void Seeked(qlonglong position) { seeked.push_back(position); }
};

bool WaitFor(const std::function<bool()>& condition, int ms = 10000) { return QTest::qWaitFor(condition, ms); }

}  // namespace

// Catches seeks that reach the interface but not the WAV or MP3 engine, a length or a
// position the real engines' reports do not give, a position in whole seconds, Seeked
// missing, a list handed over by URI that does not join and play, and a loop status that
// is not the setting kept across starts.
TEST(PlayerMprisDesktop, SeekPositionAndListsWithTheRealEngines) {
  ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
  TempDir dir;
  ::mkdir(dir.File("home").c_str(), 0755);
  ::mkdir(dir.File("h").c_str(), 0755);
  ::mkdir(dir.File("run").c_str(), 0700);
  ::mkdir(dir.File("my list").c_str(), 0755);
  const std::string wav = dir.File("tone a.wav"), mp3 = dir.File("my list/tone #b.mp3");
  test_media::Run("sox -n -r 44100 -c 2 -b 16 '" + wav + "' synth 30 sine 440 gain -10");
  test_media::Run("sox -n -r 44100 -c 2 -b 16 '" + dir.File("b.wav") + "' synth 30 sine 660 gain -10");
  test_media::Run("lame --quiet -b 128 '" + dir.File("b.wav") + "' '" + mp3 + "'");
  WriteText(dir.File("my list/list.pls"), mp3 + "\n");

  QProcess player;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("ZIMBAR_HOME"), QString::fromStdString(dir.File("home")));
  env.insert(QStringLiteral("HOME"), QString::fromStdString(dir.File("h")));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir.File("h/.config")));
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir.File("run")));
  env.insert(QStringLiteral("ZIMBAR_SHARE_DIR"), QStringLiteral(ZIMBAR_BIN_DIR "/../share/zimbar"));
  env.insert(QStringLiteral("ZIMBAR_AUDIO_OUT"), QStringLiteral("null"));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  player.setProcessEnvironment(env);
  player.setProcessChannelMode(QProcess::ForwardedChannels);
  player.start(QStringLiteral(ZIMBAR_BIN_DIR "/zbplayer"), {QString::fromStdString(wav)});

  Applet applet;
  ASSERT_TRUE(
      WaitFor([] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(QLatin1String(kService)); }));
  ASSERT_TRUE(applet.Connect());
  EXPECT_EQ(applet.Get("org.mpris.MediaPlayer2", "DesktopEntry").toString(), QStringLiteral("org.zimbar.zbplayer"));

  // The WAV engine: its length, a running position, and seeks both ways.
  ASSERT_TRUE(WaitFor([&] { return applet.Length() == 30 * kSecond; })) << applet.Length();
  EXPECT_EQ(applet.Url().toStdString(), "file://" + dir.Path() + "/tone%20a.wav");
  EXPECT_TRUE(applet.Get("CanSeek").toBool());
  ASSERT_TRUE(WaitFor([&] { return applet.Position() % kSecond != 0; })) << "the position moves inside a second";
  const QDBusObjectPath track = applet.Metadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>();
  applet.Player("SetPosition", {QVariant::fromValue(track), 20 * kSecond + kSecond / 2});
  ASSERT_TRUE(WaitFor([&] { return !applet.seeked.empty(); }));
  EXPECT_EQ(applet.seeked.back(), 20 * kSecond);
  // The engine itself went there: its reports go on from the second sought.
  ASSERT_TRUE(WaitFor([&] { return applet.Position() >= 21 * kSecond; }));
  EXPECT_LT(applet.Position(), 24 * kSecond);
  EXPECT_EQ(applet.seeked.size(), 1u) << "the engine's reports after a seek are no further seek";
  applet.Player("Seek", {-15 * kSecond});
  ASSERT_TRUE(WaitFor([&] { return applet.seeked.size() == 2; }));
  EXPECT_GE(applet.seeked.back(), 6 * kSecond);
  EXPECT_LT(applet.seeked.back(), 9 * kSecond);

  // A list by URI: its entry joins and plays, through the MP3 engine.
  const QString listUri = QStringLiteral("file://%1/my%20list/list.pls").arg(QString::fromStdString(dir.Path()));
  EXPECT_EQ(applet.Player("OpenUri", {listUri}).type(), QDBusMessage::ReplyMessage);
  ASSERT_TRUE(WaitFor([&] {
    return applet.Url().toStdString() == "file://" + dir.Path() + "/my%20list/tone%20%23b.mp3";
  })) << applet.Url().toStdString();
  ASSERT_TRUE(WaitFor([&] { return applet.Length() >= 29 * kSecond && applet.Length() <= 31 * kSecond; }))
      << applet.Length();
  applet.seeked.clear();
  applet.Player("Seek", {12 * kSecond});
  ASSERT_TRUE(WaitFor([&] { return !applet.seeked.empty(); }));
  EXPECT_GE(applet.seeked.back(), 12 * kSecond);
  ASSERT_TRUE(WaitFor([&] { return applet.Position() >= 13 * kSecond; }));
  EXPECT_LT(applet.Position(), 17 * kSecond);
  EXPECT_EQ(applet.Get("PlaybackStatus").toString(), QStringLiteral("Playing"));

  // Continuous play set through the bus is the player's setting, kept when it ends.
  QDBusMessage set =
      QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                     QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
  set.setArguments({QLatin1String(kPlayer), QStringLiteral("LoopStatus"),
                    QVariant::fromValue(QDBusVariant(QStringLiteral("Playlist")))});
  QDBusConnection::sessionBus().call(set, QDBus::Block, 5000);
  EXPECT_EQ(applet.Get("LoopStatus").toString(), QStringLiteral("Playlist"));
  applet.Call(QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Quit"));
  ASSERT_TRUE(player.waitForFinished(15000));
  EXPECT_NE(ReadText(dir.File("home/zbplayer.ini")).find("ContinuousPlay=1"), std::string::npos)
      << ReadText(dir.File("home/zbplayer.ini"));
}

#include "player_mpris_desktop_test.moc"

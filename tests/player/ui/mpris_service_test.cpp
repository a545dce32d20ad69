// Tests of the player on the desktop's session bus: the window offscreen against a fake
// playback facade, the interface registered on a private session bus (the program runs
// under dbus-run-session) and asked through a second connection, as an applet would.
#include "player/ui/mpris_service.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QSet>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "common/audio/output_volume.h"
#include "common/id3v1_tag.h"
#include "common/paths.h"
#include "common/tags/audio_file_tags.h"
#include "player/control/desktop_shortcut.h"
#include "player/ui/main_form.h"
#include "tests/common/tags/format_test_files.h"
#include "tests/common/temp_dir.h"
#include "tests/player/ui/fake_facade.h"

using player::TMainForm;

namespace {

constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kRootInterface = "org.mpris.MediaPlayer2";
constexpr qlonglong kSecond = 1000000;

// What the bus tells a listener: the player's PropertiesChanged and Seeked signals.
class BusListener : public QObject {
  Q_OBJECT
 public:
  std::vector<QVariantMap> changed;
  std::vector<qlonglong> seeked;

  // The last value announced for property, or an invalid one.
  QVariant Announced(const QString& property) const {
    for (auto it = changed.rbegin(); it != changed.rend(); ++it)
      if (it->contains(property)) return it->value(property);
    return {};
  }

 public Q_SLOTS:
  void PropertiesChanged(const QString& interface, const QVariantMap& properties, const QStringList&) {
    if (interface == QLatin1String(kPlayerInterface)) changed.push_back(properties);
  }
  void Seeked(qlonglong position) { seeked.push_back(position); }
};

struct MprisFixture : testing::Test {
  TempDir dir;
  ScopedEnv home{"ZIMBAR_HOME", dir.File("home").c_str()};
  PlayerSettings settings;
  FacadeLog log;
  std::unique_ptr<TMainForm> form;
  std::unique_ptr<TMprisService> mpris;
  QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("applet"));
  BusListener listener;

  void SetUp() override {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
    ASSERT_TRUE(client.isConnected());
    PlayerVolume().Set(kVolumeFull, kVolumeFull);
    settings.eqVisible = 0;
    form = std::make_unique<TMainForm>(settings, FakeFactory(log));
    form->ApplySkinFolder(QStringLiteral(ZIMBAR_SOURCE_DIR "/skins/default"));
    form->EndOfTrackTimer()->setInterval(1);
    mpris = std::make_unique<TMprisService>(form.get());
    QString error;
    ASSERT_TRUE(mpris->Register(&error)) << error.toStdString();
    ASSERT_TRUE(client.connect(mpris->ServiceName(), QLatin1String(kMprisObjectPath),
                               QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"),
                               &listener, SLOT(PropertiesChanged(QString, QVariantMap, QStringList))));
    ASSERT_TRUE(client.connect(mpris->ServiceName(), QLatin1String(kMprisObjectPath), QLatin1String(kPlayerInterface),
                               QStringLiteral("Seeked"), &listener, SLOT(Seeked(qlonglong))));
  }
  void TearDown() override {
    QDBusConnection::sessionBus().unregisterService(mpris->ServiceName());
    mpris.reset();
    form.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("applet"));
    PlayerVolume().Set(kVolumeFull, kVolumeFull);
  }

  static void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  // A call through the bus; the reply is waited for without blocking the player, which
  // answers on this thread.
  QDBusMessage Call(const QString& interface, const QString& method, const QVariantList& arguments) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(mpris->ServiceName(), QLatin1String(kMprisObjectPath), interface, method);
    message.setArguments(arguments);
    QDBusPendingCall pending = client.asyncCall(message);
    EXPECT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }, 5000)) << method.toStdString();
    Settle();
    return pending.reply();
  }
  QDBusMessage PlayerCall(const char* method, const QVariantList& arguments = {}) {
    return Call(QLatin1String(kPlayerInterface), QLatin1String(method), arguments);
  }
  QVariant Get(const char* interface, const char* property) {
    const QDBusMessage reply = Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                    {QLatin1String(interface), QLatin1String(property)});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return reply.arguments().front().value<QDBusVariant>().variant();
  }
  QVariant Get(const char* property) { return Get(kPlayerInterface, property); }
  QDBusMessage Set(const char* property, const QVariant& value) {
    return Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                {QLatin1String(kPlayerInterface), QLatin1String(property), QVariant::fromValue(QDBusVariant(value))});
  }
  // Metadata as the bus gives it (nested maps arrive as QDBusArgument).
  QVariantMap Metadata() {
    const QVariant value = Get("Metadata");
    QVariantMap map;
    if (value.canConvert<QDBusArgument>())
      value.value<QDBusArgument>() >> map;
    else
      map = value.toMap();
    return map;
  }
  QString TrackIdOnBus() {
    return Metadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path();
  }
  bool WaitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 5000); }
};

// An MP3 file of nothing but its ID3v1 record: the facade is a fake, only the tag counts.
void WriteTaggedFile(const std::string& path, const Id3v1Tag& tag) {
  const Id3v1Record record = EncodeId3v1Tag(tag, 30);
  WriteBytes(path, std::vector<uint8_t>(record.begin(), record.end()));
}

}  // namespace

// Catches a path put into xesam:url as text (a space, "#" or "%" unescaped, a byte that
// is not UTF-8 turned into U+FFFD so the URI names another file, "file:a.mp3" for a
// relative entry), tag fields left out, a track id that stays when the next entry is the
// same file, and the desktop entry missing.
TEST_F(MprisFixture, DescribesEachEntryWithItsTagUriAndId) {
  ASSERT_TRUE(std::all_of(dir.Path().begin(), dir.Path().end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("/._-~", c) != nullptr;
  })) << "the expected URIs below take the folder as it is";
  const std::string tagged = dir.File("Tune #1 100% caf\xc3\xa9.mp3");
  const std::string latin1 = dir.File("\xe9t\xe9.mp3");
  WriteTaggedFile(tagged, {"Harbour Lights", "Zimbar Ensemble", "Night Trains", "2024"});
  WriteTaggedFile(latin1, {});
  form->Start({tagged, latin1, latin1, "rel ative.mp3", "http://radio.example/a%20b?x=1#y"});
  Settle();
  QVariantMap meta = Metadata();
  EXPECT_EQ(meta.value(QStringLiteral("xesam:url")).toString().toStdString(),
            "file://" + dir.Path() + "/Tune%20%231%20100%25%20caf%C3%A9.mp3");
  EXPECT_EQ(meta.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("Harbour Lights"));
  EXPECT_EQ(meta.value(QStringLiteral("xesam:artist")).toStringList(), QStringList{QStringLiteral("Zimbar Ensemble")});
  EXPECT_EQ(meta.value(QStringLiteral("xesam:album")).toString(), QStringLiteral("Night Trains"));
  const QRegularExpression objectPath(QStringLiteral("^(/[A-Za-z0-9_]+)+$"));
  std::vector<std::string> ids{TrackIdOnBus().toStdString()};
  EXPECT_TRUE(objectPath.match(QString::fromStdString(ids.back())).hasMatch()) << ids.back();

  listener.changed.clear();
  form->Next();
  ASSERT_TRUE(WaitFor([&] { return listener.Announced(QStringLiteral("Metadata")).isValid(); }));
  EXPECT_FALSE(listener.Announced(QStringLiteral("PlaybackStatus")).isValid())
      << "one entry to the next: no Stopped between them";
  meta = Metadata();
  const QString url = meta.value(QStringLiteral("xesam:url")).toString();
  EXPECT_EQ(url.toStdString(), "file://" + dir.Path() + "/%E9t%E9.mp3");
  EXPECT_EQ(QByteArray::fromPercentEncoding(QUrl(url).path(QUrl::FullyEncoded).toLatin1()).toStdString(), latin1)
      << "the URI names the file byte for byte";
  EXPECT_FALSE(meta.contains(QStringLiteral("xesam:artist"))) << "a blank tag, no artist";
  EXPECT_FALSE(meta.contains(QStringLiteral("xesam:album")));
  EXPECT_FALSE(meta.value(QStringLiteral("xesam:title")).toString().trimmed().isEmpty());
  ids.push_back(TrackIdOnBus().toStdString());

  form->Next();
  ids.push_back(TrackIdOnBus().toStdString());
  EXPECT_NE(ids[2], ids[1]) << "the same file at the next place in the list is another track";
  EXPECT_EQ(Metadata().value(QStringLiteral("xesam:url")).toString(), url);

  form->Next();
  EXPECT_EQ(Metadata().value(QStringLiteral("xesam:url")).toString().toStdString(),
            "file://" + std::filesystem::current_path().string() + "/rel%20ative.mp3")
      << "a relative entry is opened from the folder the player runs in";
  form->Next();
  EXPECT_EQ(Metadata().value(QStringLiteral("xesam:url")).toString(),
            QStringLiteral("http://radio.example/a%20b?x=1#y"))
      << "a URL is given as it is";
  ids.push_back(TrackIdOnBus().toStdString());
  for (size_t i = 1; i < ids.size(); ++i) EXPECT_NE(ids[i], ids[i - 1]);

  EXPECT_EQ(Get(kRootInterface, "DesktopEntry").toString(), QStringLiteral("org.zimbar.zbplayer"));
  EXPECT_TRUE(std::filesystem::exists(ZIMBAR_SOURCE_DIR "/dist/applications/org.zimbar.zbplayer.desktop"))
      << "DesktopEntry names the shipped desktop file";
}

// Catches the tags of a FLAC or Ogg file left out of the metadata, a track number not
// told, an embedded cover not given as a private file (or as the audio file itself), and
// a cover image beside the file not found.
TEST_F(MprisFixture, TellsTheTrackNumberAndTheCoverOfTheOtherFormats) {
  ScopedEnv runtime("XDG_RUNTIME_DIR", dir.File("run").c_str());
  ASSERT_TRUE(CreateDirectories(dir.File("run")));
  ASSERT_TRUE(CreateDirectories(dir.File("b")));
  TempDir made;
  const std::string flac =
      format_test_files::MakeTaggedFile(made, format_test_files::kFormats[0], "a", 0.5, {});
  const std::string ogg = format_test_files::MakeTaggedFile(
      made, format_test_files::kFormats[1], "b", 0.5, {{"TITLE", "Second"}, {"ARTIST", "Duo"}});
  ASSERT_FALSE(flac.empty());
  ASSERT_FALSE(ogg.empty());
  ASSERT_TRUE(std::filesystem::copy_file(ogg, dir.File("b/b.ogg")));
  WriteText(dir.File("b/Cover.JPG"), "jpeg bytes");

  AudioTags tags;
  tags.title = "Caf\xc3\xa9 \xe6\x9d\xb1\xe4\xba\xac";
  tags.artist = "Zimbar Ensemble";
  tags.album = "Night Trains";
  tags.track = 3;
  tags.trackCount = 9;
  tags.cover = CoverImage{"image/png", {0x89, 'P', 'N', 'G', 1, 2, 3}};
  ASSERT_TRUE(WriteAudioFileTags(flac, AudioFileFormat::Flac, tags));

  form->Start({flac, dir.File("b/b.ogg")});
  Settle();
  QVariantMap meta = Metadata();
  EXPECT_EQ(meta.value(QStringLiteral("xesam:title")).toString().toStdString(), tags.title);
  EXPECT_EQ(meta.value(QStringLiteral("xesam:artist")).toStringList(), QStringList{QStringLiteral("Zimbar Ensemble")});
  EXPECT_EQ(meta.value(QStringLiteral("xesam:album")).toString(), QStringLiteral("Night Trains"));
  EXPECT_EQ(meta.value(QStringLiteral("xesam:trackNumber")).toInt(), 3);
  const QUrl art(meta.value(QStringLiteral("mpris:artUrl")).toString());
  ASSERT_TRUE(art.isLocalFile()) << art.toString().toStdString();
  const std::string artPath = art.toLocalFile().toStdString();
  EXPECT_EQ(ExtractFileDir(artPath), dir.File("run/zbplayer-covers/"));
  EXPECT_TRUE(ReadBytes(artPath) == tags.cover->data);
  struct stat info {};
  ASSERT_EQ(::stat(artPath.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  form->Next();
  ASSERT_TRUE(WaitFor([&] { return Metadata().value(QStringLiteral("xesam:title")).toString() == QLatin1String("Second"); }));
  meta = Metadata();
  EXPECT_EQ(meta.value(QStringLiteral("mpris:artUrl")).toString().toStdString(), "file://" + dir.File("b/Cover.JPG"));
  EXPECT_FALSE(meta.contains(QStringLiteral("xesam:trackNumber"))) << "no track number, none told";
}

// Catches a position in whole seconds (it stands still for a second, then jumps), one
// that runs on while paused, a Seek of less than a second that does nothing, seeks the
// desktop is not told of (asked for, or made in the window), SetPosition for another
// track obeyed, a length left out, and a stream that claims it can seek.
TEST_F(MprisFixture, PositionRunsInMicrosecondsAndSeeksAreTold) {
  form->Start({"/m/a.mp3", "/m/b.mp3"});
  log.handlers.position(nullptr, 0, 100);
  Settle();
  EXPECT_EQ(Metadata().value(QStringLiteral("mpris:length")).toLongLong(), 100 * kSecond);
  EXPECT_TRUE(Get("CanSeek").toBool());
  qlonglong at = 0;
  ASSERT_TRUE(WaitFor([&] {
    at = Get("Position").toLongLong();
    return at > 0;
  })) << "the position stays at 0 while the first second plays";
  EXPECT_LT(at, kSecond) << "ahead of the engine's second";

  log.Clear();
  PlayerCall("Seek", {qlonglong(10 * kSecond + kSecond / 2)});
  EXPECT_TRUE(log.Has("seek 1 10 100")) << ::testing::PrintToString(log.calls);
  ASSERT_TRUE(WaitFor([&] { return !listener.seeked.empty(); }));
  EXPECT_EQ(listener.seeked.back(), 10 * kSecond);
  at = Get("Position").toLongLong();
  EXPECT_GE(at, 10 * kSecond);
  EXPECT_LT(at, 11 * kSecond);

  // Less than a second forward from inside a second: the fraction played counts.
  ASSERT_TRUE(WaitFor([&] { return Get("Position").toLongLong() >= 10 * kSecond + 300000; }));
  log.Clear();
  PlayerCall("Seek", {qlonglong(800000)});
  EXPECT_TRUE(log.Has("seek 1 11 100")) << ::testing::PrintToString(log.calls);

  log.Clear();
  const QString track = TrackIdOnBus();
  PlayerCall("SetPosition", {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/zimbar/other"))), 42 * kSecond});
  PlayerCall("SetPosition", {QVariant::fromValue(QDBusObjectPath(track)), 100 * kSecond});
  EXPECT_TRUE(log.calls.empty()) << "another track, or past the end: " << ::testing::PrintToString(log.calls);
  listener.seeked.clear();
  PlayerCall("SetPosition", {QVariant::fromValue(QDBusObjectPath(track)), 42 * kSecond + 1});
  EXPECT_TRUE(log.Has("seek 1 42 100"));
  ASSERT_TRUE(WaitFor([&] { return !listener.seeked.empty(); }));
  EXPECT_EQ(listener.seeked.back(), 42 * kSecond);

  // The engine went there; then the window's own seek: the engine reports a second far
  // from the one before.
  log.handlers.position(nullptr, 42, 100);
  Settle();
  listener.seeked.clear();
  log.handlers.position(nullptr, 70, 100);
  Settle();
  ASSERT_TRUE(WaitFor([&] { return !listener.seeked.empty(); }));
  EXPECT_EQ(listener.seeked.back(), 70 * kSecond);
  log.handlers.position(nullptr, 71, 100);
  Settle();
  Get("Position");
  EXPECT_EQ(listener.seeked.size(), 1u) << "the next second is no seek";

  // Two reads a bus round trip apart: microseconds apart while playing, equal when paused.
  const qlonglong first = Get("Position").toLongLong();
  EXPECT_NE(Get("Position").toLongLong(), first) << "playing, the position runs";
  PlayerCall("Pause");
  const qlonglong paused = Get("Position").toLongLong();
  EXPECT_GE(paused, 71 * kSecond);
  EXPECT_EQ(Get("Position").toLongLong(), paused) << "paused, the position stays";
  PlayerCall("Play");

  log.Clear();
  PlayerCall("Seek", {qlonglong(-100 * kSecond)});
  EXPECT_TRUE(log.Has("seek 1 0 100")) << "before the start is the start";
  PlayerCall("Seek", {qlonglong(200 * kSecond)});
  EXPECT_TRUE(log.Has("open 2 /m/b.mp3")) << "past the end is the next entry";

  // A stream: no length, nothing to seek in.
  form->Start({"http://radio.example/live"});
  log.handlers.position(nullptr, 3, 0);
  Settle();
  EXPECT_FALSE(Get("CanSeek").toBool());
  EXPECT_FALSE(Metadata().contains(QStringLiteral("mpris:length")));
  log.Clear();
  PlayerCall("Seek", {qlonglong(5 * kSecond)});
  EXPECT_TRUE(log.calls.empty()) << ::testing::PrintToString(log.calls);
}

// Catches Shuffle and LoopStatus missing, not written through to the session's random
// order and continuous play, changes not announced, and "Track" taken for something else.
TEST_F(MprisFixture, ShuffleAndLoopStatusFollowTheSession) {
  settings.continuousPlay = 0;
  form->Start({"/m/a.mp3", "/m/b.mp3"});
  EXPECT_EQ(Get("Shuffle"), QVariant(false));
  EXPECT_EQ(Get("LoopStatus"), QVariant(QStringLiteral("None")));

  EXPECT_EQ(Set("LoopStatus", QStringLiteral("Playlist")).type(), QDBusMessage::ReplyMessage);
  EXPECT_TRUE(form->Session().ContinuousPlay());
  EXPECT_EQ(settings.continuousPlay, 1) << "the setting itself, kept across starts";
  ASSERT_TRUE(WaitFor([&] { return listener.Announced(QStringLiteral("LoopStatus")).isValid(); }));
  EXPECT_EQ(listener.Announced(QStringLiteral("LoopStatus")).toString(), QStringLiteral("Playlist"));

  // One track over and over is not offered: the status stays, and is told again for an
  // applet that showed "Track" already.
  listener.changed.clear();
  Set("LoopStatus", QStringLiteral("Track"));
  EXPECT_EQ(Get("LoopStatus"), QVariant(QStringLiteral("Playlist")));
  EXPECT_TRUE(form->Session().ContinuousPlay());
  ASSERT_TRUE(WaitFor([&] { return listener.Announced(QStringLiteral("LoopStatus")).isValid(); }));
  EXPECT_EQ(listener.Announced(QStringLiteral("LoopStatus")).toString(), QStringLiteral("Playlist"));

  // Continuous play as the window has it: after the last entry the list starts over.
  form->Next();
  log.handlers.state(nullptr, 3);
  ASSERT_TRUE(WaitFor([&] { return form->LoadedFile() == "/m/a.mp3" && form->HasFacade(); }));

  EXPECT_EQ(Set("Shuffle", true).type(), QDBusMessage::ReplyMessage);
  EXPECT_TRUE(form->Session().ShuffleOn());
  ASSERT_TRUE(WaitFor([&] { return listener.Announced(QStringLiteral("Shuffle")).isValid(); }));
  EXPECT_EQ(listener.Announced(QStringLiteral("Shuffle")), QVariant(true));
  EXPECT_EQ(form->Session().List().Entries(), (std::vector<std::string>{"/m/a.mp3", "/m/b.mp3"}))
      << "the list itself keeps its order";

  // Turned off in the Setup window: the desktop is told as well.
  listener.changed.clear();
  form->execDialog = [](QDialog* dialog) {
    dialog->findChild<QCheckBox*>(QStringLiteral("ContinuousPlayCheckBox"))->setChecked(false);
    dialog->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
    return true;
  };
  form->ShowSetup();
  EXPECT_EQ(settings.continuousPlay, 0);
  ASSERT_TRUE(WaitFor([&] { return listener.Announced(QStringLiteral("LoopStatus")).isValid(); }));
  EXPECT_EQ(listener.Announced(QStringLiteral("LoopStatus")).toString(), QStringLiteral("None"));
  Set("LoopStatus", QStringLiteral("Playlist"));

  Set("LoopStatus", QStringLiteral("None"));
  Set("Shuffle", false);
  EXPECT_FALSE(form->Session().ContinuousPlay());
  EXPECT_FALSE(form->Session().ShuffleOn());
  ASSERT_TRUE(WaitFor([&] { return listener.Announced(QStringLiteral("Shuffle")) == QVariant(false); }));
  EXPECT_EQ(listener.Announced(QStringLiteral("LoopStatus")).toString(), QStringLiteral("None"));
}

// Catches OpenUri refusing an https stream, an absolute path without "file://", a list's
// entries not joining, a percent-encoded name decoded to other bytes than the file's, and
// names that cannot play accepted without an error.
TEST_F(MprisFixture, OpenUriTakesFilesListsAndUrls) {
  std::filesystem::create_directory(dir.File("my music"));
  const std::string one = dir.File("my music/one.mp3"), two = dir.File("my music/two.mp3");
  const std::string odd = dir.File("\xe9t\xe9.mp3");
  for (const std::string& f : {one, two, odd}) WriteTaggedFile(f, {});
  const std::string list = dir.File("my music/list.pls");
  WriteText(list, one + "\n" + two + "\n");
  form->Start({"/m/a.mp3"});

  auto open = [&](const QString& uri) { return PlayerCall("OpenUri", {uri}); };
  auto entries = [&] { return form->Session().List().Entries(); };
  EXPECT_EQ(open(QStringLiteral("file://%1/my%20music/list.pls").arg(QString::fromStdString(dir.Path()))).type(),
            QDBusMessage::ReplyMessage);
  ASSERT_TRUE(WaitFor([&] { return !form->Session().DropsPending(); }));
  EXPECT_EQ(entries(), (std::vector<std::string>{"/m/a.mp3", one, two}));
  EXPECT_EQ(form->LoadedFile(), one) << "the list's first entry plays";

  EXPECT_EQ(open(QStringLiteral("https://radio.example/live")).type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(form->LoadedFile(), "https://radio.example/live");

  EXPECT_EQ(open(QString::fromStdString(two)).type(), QDBusMessage::ReplyMessage);
  ASSERT_TRUE(WaitFor([&] { return !form->Session().DropsPending(); }));
  EXPECT_EQ(form->LoadedFile(), two);

  EXPECT_EQ(open(QStringLiteral("file://localhost%1/%E9t%E9.mp3").arg(QString::fromStdString(dir.Path()))).type(),
            QDBusMessage::ReplyMessage);
  ASSERT_TRUE(WaitFor([&] { return !form->Session().DropsPending(); }));
  EXPECT_EQ(form->LoadedFile(), odd);

  const size_t count = entries().size();
  for (const QString& refused :
       {QStringLiteral("file:///no/such/file.mp3"), QStringLiteral("file://elsewhere/m/a.mp3"),
        QStringLiteral("smb://host/share/a.mp3"), QStringLiteral("relative.mp3")}) {
    const QDBusMessage reply = open(refused);
    EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage) << refused.toStdString();
    EXPECT_FALSE(reply.errorMessage().isEmpty());
  }
  EXPECT_EQ(entries().size(), count);
}

// Catches the desktop offering a file to a player that refuses it: MIME types the menu
// entry claims that MPRIS does not list (or the reverse), FLAC, Ogg, Opus or M4A missing
// from both (or the first start's desktop shortcut claiming others), https missing from
// the schemes, and an Opus file refused by OpenUri.
TEST_F(MprisFixture, OffersTheMenuEntrysTypesAndOpensThem) {
  QFile entry(QStringLiteral(ZIMBAR_SOURCE_DIR "/dist/applications/org.zimbar.zbplayer.desktop"));
  ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
  QStringList claimed;
  for (const QByteArray& line : entry.readAll().split('\n'))
    if (line.startsWith("MimeType="))
      claimed = QString::fromUtf8(line.mid(9)).split(QLatin1Char(';'), Qt::SkipEmptyParts);
  const QStringList offered = Get(kRootInterface, "SupportedMimeTypes").toStringList();
  EXPECT_EQ(QSet<QString>(claimed.begin(), claimed.end()), QSet<QString>(offered.begin(), offered.end()))
      << "menu entry: " << claimed.join(QLatin1Char(' ')).toStdString()
      << "\nMPRIS: " << offered.join(QLatin1Char(' ')).toStdString();
  const QStringList shortcut = QString::fromStdString(PlayerDesktopEntry().mimeTypes).split(QLatin1Char(';'), Qt::SkipEmptyParts);
  EXPECT_EQ(QSet<QString>(shortcut.begin(), shortcut.end()), QSet<QString>(offered.begin(), offered.end()))
      << "the desktop shortcut of the first start claims other types";
  for (const char* type : {"audio/flac", "audio/ogg", "audio/opus", "audio/mp4", "audio/x-m4a", "audio/x-vorbis+ogg"})
    EXPECT_TRUE(offered.contains(QLatin1String(type))) << type;
  EXPECT_TRUE(Get(kRootInterface, "SupportedUriSchemes").toStringList().contains(QStringLiteral("https")));

  const std::string opus = dir.File("Song.Opus");
  WriteText(opus, "OggS");
  form->Start({"/m/a.mp3"});
  EXPECT_EQ(PlayerCall("OpenUri", {QUrl::fromLocalFile(QString::fromStdString(opus)).toString()}).type(),
            QDBusMessage::ReplyMessage);
  ASSERT_TRUE(WaitFor([&] { return !form->Session().DropsPending(); }));
  EXPECT_EQ(form->LoadedFile(), opus);
}

#include "mpris_service_test.moc"

// TMprisService and its two bus interfaces.
#include "player/ui/mpris_service.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QUrl>
#include <cmath>
#include <filesystem>

#include "common/file_uri_path.h"
#include "common/paths.h"
#include "player/playlist/bounded_text.h"
#include "player/playlist/list_entries.h"
#include "player/playlist/play_list_file.h"

namespace {

constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr qlonglong kMicroseconds = 1000000;

// A tag's text as the desktop gets it: a title of a megabyte would cost the applets that
// show it what it cost the window.
QString MetadataText(const std::string& text) {
  return QString::fromStdString(BoundedText(text, kMetadataChars, KeptPart::Start));
}

// A blank ID3v1 field reads as a space: nothing is known.
bool Known(const std::string& text) { return text.find_first_not_of(' ') != std::string::npos; }

bool IsRemoteScheme(const QString& scheme) {
  return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("ftp");
}

}  // namespace

QString EntryUri(const std::string& entry) {
  if (const QString scheme = QUrl(QString::fromStdString(entry)).scheme().toLower();
      IsRemoteScheme(scheme) || scheme == QLatin1String("file"))
    return QString::fromStdString(entry);
  std::string path = entry;
  if (path.empty() || path.front() != '/') {
    std::error_code error;
    path = std::filesystem::absolute(entry, error).string();
  }
  const QByteArray bytes(path.data(), qsizetype(path.size()));
  return QStringLiteral("file://") + QString::fromLatin1(bytes.toPercentEncoding(QByteArrayLiteral("/")));
}

std::string LocalPathOfUri(const QString& uri) {
  if (uri.startsWith(QLatin1Char('/'))) return uri.toStdString();
  // The path's bytes as the URI gives them: %E9 stays the byte 0xE9, not U+FFFD.
  return FileUriPath(uri.toStdString()).value_or(std::string());
}

TMprisService::TMprisService(PlayerWindow* window, QObject* parent)
    : QObject(parent), window_(window), session_(window->Session()) {
  new MprisRootAdaptor(this);
  player_ = new MprisPlayerAdaptor(this);
  trackEntry_ = session_.LoadedFile();
  trackIndex_ = session_.List().Index();
  watch_ = session_.Watch([this](SessionChange change) { Changed(change); });
}

TMprisService::~TMprisService() { session_.Unwatch(watch_); }

bool TMprisService::Register(QString* error) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    if (error) *error = bus.lastError().message();
    return false;
  }
  if (!bus.registerObject(QLatin1String(kMprisObjectPath), this, QDBusConnection::ExportAdaptors)) {
    if (error) *error = bus.lastError().message();
    return false;
  }
  serviceName_ = QLatin1String(kMprisServiceName);
  // A second player of the same user (another settings folder) takes a name of its own,
  // as media players on the bus do.
  if (!bus.registerService(serviceName_)) {
    serviceName_ += QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
    if (!bus.registerService(serviceName_)) {
      if (error) *error = bus.lastError().message();
      return false;
    }
  }
  sentStatus_ = PlaybackStatus();
  sentMetadata_ = Metadata();
  sentVolume_ = Volume();
  sentCanSeek_ = session_.Range() > 0;
  sentShuffle_ = session_.ShuffleOn();
  sentLoopStatus_ = LoopStatus();
  return true;
}

QString TMprisService::PlaybackStatus() const {
  switch (session_.State()) {
    case TransportState::Stopped:
      return QStringLiteral("Stopped");
    case TransportState::Playing:
      return QStringLiteral("Playing");
    case TransportState::Paused:
      return QStringLiteral("Paused");
  }
  return QStringLiteral("Stopped");
}

QDBusObjectPath TMprisService::TrackId() const {
  if (session_.LoadedFile().empty()) return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
  return QDBusObjectPath(QStringLiteral("/org/zimbar/zbplayer/Track/%1").arg(trackNumber_));
}

QVariantMap TMprisService::Metadata() const {
  const NowPlaying now = session_.Now();
  QVariantMap map;
  map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(TrackId()));
  if (now.entry.empty()) return map;
  const std::string fileName = ExtractFileName(now.entry);
  map.insert(QStringLiteral("xesam:title"),
             MetadataText(Known(now.title) ? now.title : fileName.empty() ? now.entry : fileName));
  if (Known(now.artist)) map.insert(QStringLiteral("xesam:artist"), QStringList{MetadataText(now.artist)});
  if (Known(now.album)) map.insert(QStringLiteral("xesam:album"), MetadataText(now.album));
  if (now.lengthMicroseconds > 0) map.insert(QStringLiteral("mpris:length"), qlonglong(now.lengthMicroseconds));
  if (now.trackNumber > 0) map.insert(QStringLiteral("xesam:trackNumber"), int(now.trackNumber));
  if (!now.coverPath.empty()) map.insert(QStringLiteral("mpris:artUrl"), EntryUri(now.coverPath));
  map.insert(QStringLiteral("xesam:url"), EntryUri(now.entry));
  return map;
}

double TMprisService::Volume() const { return session_.VolumeLevel() / 10.0; }

qlonglong TMprisService::PositionMicroseconds() const {
  if (!session_.HasFacade()) return 0;
  const qlonglong at = clock_.Microseconds(PositionClock::Clock::now());
  // The length is told in whole seconds; the input's last fraction of one lies past it.
  if (const qlonglong length = qlonglong(session_.Range()) * kMicroseconds; length > 0) return std::min(at, length);
  return at;
}

QString TMprisService::LoopStatus() const {
  return session_.ContinuousPlay() ? QStringLiteral("Playlist") : QStringLiteral("None");
}

void TMprisService::SeekBy(qlonglong offsetMicroseconds) {
  const qlonglong length = qlonglong(session_.Range()) * kMicroseconds;
  if (!session_.HasFacade() || length == 0) return;
  const qlonglong target = std::max<qlonglong>(PositionMicroseconds() + offsetMicroseconds, 0);
  if (target >= length) {
    session_.Next();
    return;
  }
  // The engines seek to whole seconds.
  if (session_.SeekTo(target / kMicroseconds)) Sought(target / kMicroseconds * kMicroseconds);
}

void TMprisService::SetPosition(const QDBusObjectPath& trackId, qlonglong positionMicroseconds) {
  if (trackId != TrackId() || positionMicroseconds < 0) return;
  if (session_.SeekTo(positionMicroseconds / kMicroseconds))
    Sought(positionMicroseconds / kMicroseconds * kMicroseconds);
}

void TMprisService::RefuseLoopStatus() {
  // A property write gets no error reply on the bus: the value the player keeps is told
  // again, so an applet that showed the refused one goes back to it.
  sentLoopStatus_.clear();
  Announce();
}

void TMprisService::Refuse(QDBusError::ErrorType type, const QString& message) {
  if (calledFromDBus()) sendErrorReply(type, message);
}

void TMprisService::Sought(qlonglong microseconds) {
  clock_.SoughtTo(microseconds, PositionClock::Clock::now());
  Q_EMIT player_->Seeked(microseconds);
}

void TMprisService::Changed(SessionChange change) {
  const PositionClock::Clock::time_point now = PositionClock::Clock::now();
  if (change == SessionChange::Position) {
    // A jump the interface did not ask for (the window's controls) is told as a seek.
    if (clock_.Reported(session_.Position(), now))
      Q_EMIT player_->Seeked(qlonglong(session_.Position()) * kMicroseconds);
    return;
  }
  if (session_.LoadedFile() != trackEntry_ || session_.List().Index() != trackIndex_) {
    trackEntry_ = session_.LoadedFile();
    trackIndex_ = session_.List().Index();
    ++trackNumber_;
    clock_.Reset();
  }
  if (!session_.HasFacade()) clock_.Reset();
  clock_.SetRunning(session_.State() == TransportState::Playing, now);
  // Told once the session has settled: Next stops one entry and plays the next in one
  // go, and the desktop is not to see a "Stopped" between them.
  if (announcePending_) return;
  announcePending_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        announcePending_ = false;
        Announce();
      },
      Qt::QueuedConnection);
}

void TMprisService::Announce() {
  QVariantMap changed;
  if (const QString status = PlaybackStatus(); status != sentStatus_) {
    sentStatus_ = status;
    changed.insert(QStringLiteral("PlaybackStatus"), status);
  }
  if (const QVariantMap metadata = Metadata(); metadata != sentMetadata_) {
    sentMetadata_ = metadata;
    changed.insert(QStringLiteral("Metadata"), metadata);
  }
  if (const double volume = Volume(); volume != sentVolume_) {
    sentVolume_ = volume;
    changed.insert(QStringLiteral("Volume"), volume);
  }
  if (const bool canSeek = session_.Range() > 0; canSeek != sentCanSeek_) {
    sentCanSeek_ = canSeek;
    changed.insert(QStringLiteral("CanSeek"), canSeek);
  }
  if (const bool shuffle = session_.ShuffleOn(); shuffle != sentShuffle_) {
    sentShuffle_ = shuffle;
    changed.insert(QStringLiteral("Shuffle"), shuffle);
  }
  if (const QString loop = LoopStatus(); loop != sentLoopStatus_) {
    sentLoopStatus_ = loop;
    changed.insert(QStringLiteral("LoopStatus"), loop);
  }
  if (changed.isEmpty() || serviceName_.isEmpty()) return;
  QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(kMprisObjectPath),
                                                   QStringLiteral("org.freedesktop.DBus.Properties"),
                                                   QStringLiteral("PropertiesChanged"));
  signal << QLatin1String(kPlayerInterface) << changed << QStringList();
  QDBusConnection::sessionBus().send(signal);
}

// ---- org.mpris.MediaPlayer2 ----

MprisRootAdaptor::MprisRootAdaptor(TMprisService* service) : QDBusAbstractAdaptor(service), service_(service) {}

QStringList MprisRootAdaptor::SupportedUriSchemes() const {
  return {QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("ftp")};
}

QStringList MprisRootAdaptor::SupportedMimeTypes() const {
  // The audio files the list takes (their engines choose by content) and the list files.
  return {QStringLiteral("audio/mpeg"),  QStringLiteral("audio/aac"),          QStringLiteral("audio/x-wav"),
          QStringLiteral("audio/wav"),   QStringLiteral("audio/flac"),         QStringLiteral("audio/x-flac"),
          QStringLiteral("audio/ogg"),   QStringLiteral("audio/x-vorbis+ogg"), QStringLiteral("audio/vorbis"),
          QStringLiteral("audio/opus"),  QStringLiteral("audio/x-opus+ogg"),   QStringLiteral("audio/mp4"),
          QStringLiteral("audio/x-m4a"), QStringLiteral("audio/x-scpls"),      QStringLiteral("audio/x-mpegurl"),
          QStringLiteral("audio/mpegurl")};
}

void MprisRootAdaptor::Raise() { service_->Window()->ShowFront(); }

void MprisRootAdaptor::Quit() {
  // After the reply has gone out.
  service_->Window()->QuitLater();
}

// ---- org.mpris.MediaPlayer2.Player ----

MprisPlayerAdaptor::MprisPlayerAdaptor(TMprisService* service) : QDBusAbstractAdaptor(service), service_(service) {}

void MprisPlayerAdaptor::SetVolume(double volume) {
  if (!std::isfinite(volume)) return;
  service_->Session().SetVolumeLevel(int(std::lround(std::clamp(volume, 0.0, 1.0) * 10)));
}

bool MprisPlayerAdaptor::CanGoNext() const { return !service_->Session().List().Empty(); }

bool MprisPlayerAdaptor::CanPlay() const { return service_->Session().List().Current() != nullptr; }

bool MprisPlayerAdaptor::CanSeek() const { return service_->Session().Range() > 0; }

void MprisPlayerAdaptor::Next() { service_->Session().Next(); }
void MprisPlayerAdaptor::Previous() { service_->Session().Previous(); }
void MprisPlayerAdaptor::Pause() { service_->Session().Pause(); }
void MprisPlayerAdaptor::Stop() { service_->Session().Stop(); }
void MprisPlayerAdaptor::Play() { service_->Session().Play(); }

void MprisPlayerAdaptor::PlayPause() { service_->Session().PlayPause(); }

void MprisPlayerAdaptor::SetLoopStatus(const QString& status) {
  if (status == QLatin1String("Playlist") || status == QLatin1String("None")) {
    service_->Session().SetContinuousPlay(status == QLatin1String("Playlist"));
    return;
  }
  service_->RefuseLoopStatus();
}

void MprisPlayerAdaptor::OpenUri(const QString& uri) {
  const std::string local = LocalPathOfUri(uri);
  const std::string text = uri.toStdString();
  const bool remote = local.empty() && IsRemoteScheme(QUrl(uri).scheme().toLower());
  // Looked at here, read on a worker: a list may be long, a folder deep, a file a FIFO.
  const bool playable = remote ? !EntryTooLong(text) : !local.empty() && IsDroppable(local);
  if (!playable) {
    service_->Refuse(QDBusError::InvalidArgs,
                     QStringLiteral("Cannot play %1")
                         .arg(QString::fromStdString(BoundedText(text, kToolTipChars, KeptPart::BothEnds))));
    return;
  }
  // A list file (M3U, M3U8, PLS) joins with its entries, a folder with its files.
  if (remote)
    service_->Session().AddAndPlay({text});
  else
    service_->Session().AddAndPlayPaths({local});
}

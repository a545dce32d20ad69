// TMprisService and its two bus interfaces.
#include "player/ui/mpris_service.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QUrl>
#include <cmath>

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

}  // namespace

TMprisService::TMprisService(PlayerWindow* window, QObject* parent)
    : QObject(parent), window_(window), session_(window->Session()) {
  new MprisRootAdaptor(this);
  new MprisPlayerAdaptor(this);
  watch_ = session_.Watch([this](SessionChange) { Announce(); });
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
  map.insert(QStringLiteral("xesam:title"), MetadataText(now.title));
  if (!now.artist.empty()) map.insert(QStringLiteral("xesam:artist"), QStringList{MetadataText(now.artist)});
  if (!now.album.empty()) map.insert(QStringLiteral("xesam:album"), MetadataText(now.album));
  if (now.lengthMicroseconds > 0) map.insert(QStringLiteral("mpris:length"), qlonglong(now.lengthMicroseconds));
  const QString entry = QString::fromStdString(now.entry);
  map.insert(QStringLiteral("xesam:url"),
             IsStreamUrl(now.entry) ? entry : QUrl::fromLocalFile(entry).toString(QUrl::FullyEncoded));
  return map;
}

double TMprisService::Volume() const { return session_.VolumeLevel() / 10.0; }

qlonglong TMprisService::PositionMicroseconds() const {
  if (!session_.HasFacade()) return 0;
  return qlonglong(session_.Position()) * kMicroseconds;
}

void TMprisService::Announce() {
  const NowPlaying now = session_.Now();
  if (now.entry != lastNow_.entry) ++trackNumber_;
  lastNow_ = now;
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
  return {QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("ftp")};
}

QStringList MprisRootAdaptor::SupportedMimeTypes() const {
  return {QStringLiteral("audio/mpeg"), QStringLiteral("audio/aac"), QStringLiteral("audio/x-wav"),
          QStringLiteral("audio/x-scpls")};
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

void MprisPlayerAdaptor::Seek(qlonglong offset) {
  // Past the end counts as the next track, as the interface asks.
  if (const int64_t at = service_->Session().SeekBy(offset / kMicroseconds); at >= 0) Q_EMIT Seeked(at * kMicroseconds);
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
  if (trackId != service_->TrackId() || position < 0) return;
  if (service_->Session().SeekTo(position / kMicroseconds)) Q_EMIT Seeked(position);
}

void MprisPlayerAdaptor::OpenUri(const QString& uri) {
  const QUrl url(uri);
  const std::string local = url.isLocalFile() ? url.toLocalFile().toStdString() : std::string();
  const std::string text = uri.toStdString();
  // Looked at here, read on a worker: a list may be long, a folder deep, a file a FIFO.
  const bool playable = url.isLocalFile() ? IsDroppable(local) : IsStreamUrl(text) && !EntryTooLong(text);
  if (!playable) {
    if (calledFromDBus())
      sendErrorReply(QDBusError::InvalidArgs,
                     QStringLiteral("Cannot play %1").arg(QString::fromStdString(BoundedText(text, kToolTipChars, KeptPart::BothEnds))));
    return;
  }
  if (url.isLocalFile())
    service_->Session().AddAndPlayPaths({local});
  else
    service_->Session().AddAndPlay({text});
}

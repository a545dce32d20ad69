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
#include "player/ui/main_form.h"

namespace {

constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr qlonglong kMicroseconds = 1000000;

// A tag's text as the desktop gets it: a title of a megabyte would cost the applets that
// show it what it cost the window.
QString MetadataText(const std::string& text) {
  return QString::fromStdString(BoundedText(text, kMetadataChars, KeptPart::Start));
}

}  // namespace

TMprisService::TMprisService(TMainForm* form, QObject* parent) : QObject(parent), form_(form) {
  new MprisRootAdaptor(this);
  new MprisPlayerAdaptor(this);
  connect(form_, &TMainForm::PlaybackStatusChanged, this, &TMprisService::Announce);
  connect(form_, &TMainForm::NowPlayingChanged, this, &TMprisService::Announce);
  connect(form_, &TMainForm::VolumeLevelChanged, this, &TMprisService::Announce);
}

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
  sentCanSeek_ = form_->Range() > 0;
  return true;
}

QString TMprisService::PlaybackStatus() const {
  switch (form_->PlaybackStatus()) {
    case TMainForm::Status::Stopped:
      return QStringLiteral("Stopped");
    case TMainForm::Status::Playing:
      return QStringLiteral("Playing");
    case TMainForm::Status::Paused:
      return QStringLiteral("Paused");
  }
  return QStringLiteral("Stopped");
}

QDBusObjectPath TMprisService::TrackId() const {
  if (form_->LoadedFile().empty()) return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
  return QDBusObjectPath(QStringLiteral("/org/zimbar/zbplayer/Track/%1").arg(trackNumber_));
}

QVariantMap TMprisService::Metadata() const {
  const NowPlaying now = form_->Now();
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

double TMprisService::Volume() const { return form_->VolumeLevel() / 10.0; }

qlonglong TMprisService::PositionMicroseconds() const {
  if (!form_->HasFacade()) return 0;
  return qlonglong(form_->Position()) * kMicroseconds;
}

void TMprisService::Announce() {
  const NowPlaying now = form_->Now();
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
  if (const bool canSeek = form_->Range() > 0; canSeek != sentCanSeek_) {
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

void MprisRootAdaptor::Raise() { service_->Form()->ShowFront(); }

void MprisRootAdaptor::Quit() {
  // After the reply has gone out.
  QMetaObject::invokeMethod(service_->Form(), [form = service_->Form()] { form->close(); }, Qt::QueuedConnection);
}

// ---- org.mpris.MediaPlayer2.Player ----

MprisPlayerAdaptor::MprisPlayerAdaptor(TMprisService* service) : QDBusAbstractAdaptor(service), service_(service) {}

void MprisPlayerAdaptor::SetVolume(double volume) {
  if (!std::isfinite(volume)) return;
  service_->Form()->SetVolumeLevel(int(std::lround(std::clamp(volume, 0.0, 1.0) * 10)));
}

bool MprisPlayerAdaptor::CanGoNext() const { return !service_->Form()->List().Empty(); }

bool MprisPlayerAdaptor::CanPlay() const { return service_->Form()->List().Current() != nullptr; }

bool MprisPlayerAdaptor::CanSeek() const { return service_->Form()->Range() > 0; }

void MprisPlayerAdaptor::Next() { service_->Form()->Next(); }
void MprisPlayerAdaptor::Previous() { service_->Form()->Previous(); }
void MprisPlayerAdaptor::Pause() { service_->Form()->Pause(); }
void MprisPlayerAdaptor::Stop() { service_->Form()->Stop(); }
void MprisPlayerAdaptor::Play() { service_->Form()->Play(); }

void MprisPlayerAdaptor::PlayPause() {
  if (service_->Form()->PlaybackStatus() == TMainForm::Status::Playing)
    service_->Form()->Pause();
  else
    service_->Form()->Play();
}

void MprisPlayerAdaptor::Seek(qlonglong offset) {
  TMainForm* form = service_->Form();
  if (!form->HasFacade() || form->Range() == 0) return;
  const qlonglong target = qlonglong(form->Position()) + offset / kMicroseconds;
  // Past the end counts as the next track, as the interface asks.
  if (target >= qlonglong(form->Range())) {
    form->Next();
    return;
  }
  const qlonglong seconds = std::max<qlonglong>(target, 0);
  form->Facade()->Seek(int(seconds), int(form->Range()));
  Q_EMIT Seeked(seconds * kMicroseconds);
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
  TMainForm* form = service_->Form();
  if (trackId != service_->TrackId() || !form->HasFacade() || form->Range() == 0) return;
  if (position < 0 || position / kMicroseconds >= qlonglong(form->Range())) return;
  form->Facade()->Seek(int(position / kMicroseconds), int(form->Range()));
  Q_EMIT Seeked(position);
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
    service_->Form()->AddAndPlayPaths({local});
  else
    service_->Form()->AddAndPlay({text});
}

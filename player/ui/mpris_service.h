// The player on the desktop's session bus, as media players there are: the interfaces
// org.mpris.MediaPlayer2 and org.mpris.MediaPlayer2.Player at /org/mpris/MediaPlayer2
// under the name org.mpris.MediaPlayer2.zbplayer, so media keys and sound applets drive
// it. Property changes are announced with PropertiesChanged, which QtDBus does not send
// by itself.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include "player/control/now_playing.h"
#include "player/control/player_session.h"
#include "player/ui/player_window.h"

inline constexpr const char* kMprisObjectPath = "/org/mpris/MediaPlayer2";
inline constexpr const char* kMprisServiceName = "org.mpris.MediaPlayer2.zbplayer";

class TMprisService : public QObject {
  Q_OBJECT
 public:
  // window: the player's window, whose session the interface drives and watches.
  explicit TMprisService(PlayerWindow* window, QObject* parent = nullptr);
  ~TMprisService() override;

  // Registers on the session bus. False, with the reason, when there is no bus or the
  // object cannot be registered; the player then runs without it.
  bool Register(QString* error);
  const QString& ServiceName() const { return serviceName_; }

  PlayerSession& Session() const { return session_; }
  PlayerWindow* Window() const { return window_; }
  // The properties of the player interface, as the bus shows them.
  QString PlaybackStatus() const;
  QVariantMap Metadata() const;
  double Volume() const;
  qlonglong PositionMicroseconds() const;
  QDBusObjectPath TrackId() const;

 private:
  // Sends PropertiesChanged with those player properties whose values differ from the
  // ones last sent.
  void Announce();

  PlayerWindow* window_;
  PlayerSession& session_;
  PlayerSession::WatchId watch_;
  QString serviceName_;
  NowPlaying lastNow_;
  int trackNumber_ = 0;
  QString sentStatus_;
  QVariantMap sentMetadata_;
  double sentVolume_ = -1;
  bool sentCanSeek_ = false;
};

// org.mpris.MediaPlayer2
class MprisRootAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
 public:
  explicit MprisRootAdaptor(TMprisService* service);
  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool HasTrackList() const { return false; }
  QString Identity() const { return QStringLiteral("zbplayer"); }
  QStringList SupportedUriSchemes() const;
  QStringList SupportedMimeTypes() const;

 public Q_SLOTS:
  void Raise();
  void Quit();

 private:
  TMprisService* service_;
};

// org.mpris.MediaPlayer2.Player
class MprisPlayerAdaptor : public QDBusAbstractAdaptor, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(double Rate READ Rate WRITE SetRate)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(double MinimumRate READ Rate)
  Q_PROPERTY(double MaximumRate READ Rate)
  Q_PROPERTY(bool CanGoNext READ CanGoNext)
  Q_PROPERTY(bool CanGoPrevious READ CanGoNext)
  Q_PROPERTY(bool CanPlay READ CanPlay)
  Q_PROPERTY(bool CanPause READ CanPlay)
  Q_PROPERTY(bool CanSeek READ CanSeek)
  Q_PROPERTY(bool CanControl READ CanControl)
 public:
  explicit MprisPlayerAdaptor(TMprisService* service);
  QString PlaybackStatus() const { return service_->PlaybackStatus(); }
  double Rate() const { return 1.0; }
  void SetRate(double) {}
  QVariantMap Metadata() const { return service_->Metadata(); }
  double Volume() const { return service_->Volume(); }
  void SetVolume(double volume);
  qlonglong Position() const { return service_->PositionMicroseconds(); }
  bool CanGoNext() const;
  bool CanPlay() const;
  bool CanSeek() const;
  bool CanControl() const { return true; }

 public Q_SLOTS:
  void Next();
  void Previous();
  void Pause();
  void PlayPause();
  void Stop();
  void Play();
  void Seek(qlonglong offset);
  void SetPosition(const QDBusObjectPath& trackId, qlonglong position);
  void OpenUri(const QString& uri);

 Q_SIGNALS:
  void Seeked(qlonglong position);

 private:
  TMprisService* service_;
};

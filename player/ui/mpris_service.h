// The player on the desktop's session bus, as media players there are: the interfaces
// org.mpris.MediaPlayer2 and org.mpris.MediaPlayer2.Player at /org/mpris/MediaPlayer2
// under the name org.mpris.MediaPlayer2.zbplayer, so media keys and sound applets drive
// it. Property changes are announced with PropertiesChanged, which QtDBus does not send
// by itself.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include "player/control/now_playing.h"
#include "player/control/player_session.h"
#include "player/control/position_clock.h"
#include "player/ui/player_window.h"

inline constexpr const char* kMprisObjectPath = "/org/mpris/MediaPlayer2";
inline constexpr const char* kMprisServiceName = "org.mpris.MediaPlayer2.zbplayer";
// The installed desktop entry, org.zimbar.zbplayer.desktop, without its ".desktop".
inline constexpr const char* kMprisDesktopEntry = "org.zimbar.zbplayer";

class MprisPlayerAdaptor;

// xesam:url of an entry: a URL (file:// too) as it is; a path as a file:// URI, each byte
// outside the unreserved characters and "/" percent-encoded (file names need not be
// UTF-8). A relative path is taken from the folder the player runs in, as the engines
// open it.
QString EntryUri(const std::string& entry);
// The local path an OpenUri argument names: a file:// URI (on this host) decoded byte for
// byte, or an absolute path as it is; empty for anything else.
std::string LocalPathOfUri(const QString& uri);

// The interface's state and decisions; the two adaptors below only give them their bus
// signatures. QtDBus hands the call being served (QDBusContext) to the exported object,
// not to its adaptors, so the adaptors refuse a call through Refuse.
class TMprisService : public QObject, protected QDBusContext {
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
  QString LoopStatus() const;

  // Seeks inside the input playing; past its end the next entry plays, before its start
  // the input starts over. Nothing when it has no length.
  void SeekBy(qlonglong offsetMicroseconds);
  // Seeks to position; nothing when trackId is not the entry playing or position lies
  // outside the input.
  void SetPosition(const QDBusObjectPath& trackId, qlonglong positionMicroseconds);
  // Answers the call being served with an error (nothing when not called over the bus).
  void Refuse(QDBusError::ErrorType type, const QString& message);
  // A loop status the player does not offer was asked for: it keeps its own.
  void RefuseLoopStatus();

 private:
  // Follows the session's change: the clock, the entry's id, and PropertiesChanged with
  // those player properties whose values differ from the ones last sent.
  void Changed(SessionChange change);
  void Announce();
  // A seek asked for or seen: the clock stands at microseconds, and the desktop is told.
  void Sought(qlonglong microseconds);

  PlayerWindow* window_;
  PlayerSession& session_;
  PlayerSession::WatchId watch_;
  QString serviceName_;
  MprisPlayerAdaptor* player_;
  // The entry's id changes when another entry, or the same file at another place in the
  // list, is loaded.
  std::string trackEntry_;
  int trackIndex_ = -1;
  int trackNumber_ = 0;
  PositionClock clock_;
  bool announcePending_ = false;
  QString sentStatus_;
  QVariantMap sentMetadata_;
  double sentVolume_ = -1;
  bool sentCanSeek_ = false;
  bool sentShuffle_ = false;
  QString sentLoopStatus_;
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
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
 public:
  explicit MprisRootAdaptor(TMprisService* service);
  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool HasTrackList() const { return false; }
  QString Identity() const { return QStringLiteral("zbplayer"); }
  QString DesktopEntry() const { return QLatin1String(kMprisDesktopEntry); }
  QStringList SupportedUriSchemes() const;
  QStringList SupportedMimeTypes() const;

 public Q_SLOTS:
  void Raise();
  void Quit();

 private:
  TMprisService* service_;
};

// org.mpris.MediaPlayer2.Player
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
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
  Q_PROPERTY(bool Shuffle READ Shuffle WRITE SetShuffle)
  Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE SetLoopStatus)
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
  bool Shuffle() const { return service_->Session().ShuffleOn(); }
  void SetShuffle(bool on) { service_->Session().SetShuffle(on); }
  QString LoopStatus() const { return service_->LoopStatus(); }
  // "Playlist" turns continuous play on, "None" off; "Track" (one entry over and over)
  // the player does not offer: refused, the status stays and is announced again.
  void SetLoopStatus(const QString& status);

 public Q_SLOTS:
  void Next();
  void Previous();
  void Pause();
  void PlayPause();
  void Stop();
  void Play();
  void Seek(qlonglong offset) { service_->SeekBy(offset); }
  void SetPosition(const QDBusObjectPath& trackId, qlonglong position) { service_->SetPosition(trackId, position); }
  void OpenUri(const QString& uri);

 Q_SIGNALS:
  void Seeked(qlonglong position);

 private:
  TMprisService* service_;
};

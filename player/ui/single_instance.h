// One running player per user: the first one listens on a local socket named after
// "ZBPL"; a later start asks it to come to the front (and ends) or, when it has files to
// play, asks it to close, waits until it has gone, and takes its place.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

class TSingleInstance : public QObject {
  Q_OBJECT
 public:
  enum class Outcome {
    First,     // no player was running: this one listens now
    Shown,     // a running player was asked to come to the front: end this start
    TookOver,  // a running player was asked to close and has gone: this one listens now
  };

  explicit TSingleInstance(QString socketPath, QObject* parent = nullptr);
  ~TSingleInstance() override;

  // takeOver: the command line names files. A socket left by a player that crashed
  // answers nobody and is replaced.
  Outcome Start(bool takeOver);
  bool Listening() const { return server_.isListening(); }
  // Why listening failed, when it did (the player still runs, alone in not answering).
  QString Error() const { return server_.errorString(); }

 Q_SIGNALS:
  void ShowRequested();
  void CloseRequested();

 private:
  void Listen();
  void Accept();

  QString socketPath_;
  QLocalServer server_;
};

// TSingleInstance: the hand-over between a running player and a second start.
#include "player/ui/single_instance.h"

#include <QLocalSocket>

#include "player/control/instance_name.h"

namespace {

// How long a second start waits for the running player: to answer, and to finish closing
// (it saves its list and settings first).
constexpr int kConnectMs = 1000;
constexpr int kCloseMs = 15000;

}  // namespace

TSingleInstance::TSingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)) {
  connect(&server_, &QLocalServer::newConnection, this, &TSingleInstance::Accept);
}

TSingleInstance::~TSingleInstance() { server_.close(); }

TSingleInstance::Outcome TSingleInstance::Start(bool takeOver) {
  QLocalSocket running;
  running.connectToServer(socketPath_);
  if (!running.waitForConnected(kConnectMs)) {
    Listen();
    return Outcome::First;
  }
  running.write(takeOver ? kInstanceCloseMessage : kInstanceShowMessage);
  running.write("\n");
  running.waitForBytesWritten(kConnectMs);
  if (!takeOver) {
    running.disconnectFromServer();
    return Outcome::Shown;
  }
  // The running player keeps the connection until it has ended.
  if (running.state() == QLocalSocket::ConnectedState) running.waitForDisconnected(kCloseMs);
  Listen();
  return Outcome::TookOver;
}

void TSingleInstance::Listen() {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (server_.listen(socketPath_)) return;
  // Nobody answered on the name: what is left there is a socket of a player that did not
  // end cleanly.
  QLocalServer::removeServer(socketPath_);
  server_.listen(socketPath_);
}

void TSingleInstance::Accept() {
  while (QLocalSocket* peer = server_.nextPendingConnection()) {
    connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
    connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
      while (peer->canReadLine()) {
        const QByteArray line = peer->readLine().trimmed();
        if (line == kInstanceShowMessage) Q_EMIT ShowRequested();
        else if (line == kInstanceCloseMessage) Q_EMIT CloseRequested();
      }
    });
  }
}

#include "platform/qt/QtSingleInstance.h"

#include <QLocalSocket>
#include <unistd.h>

namespace tq {

QtSingleInstance::QtSingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {
  if (name_.isEmpty()) name_ = QString("TQ-MB20_Viewer-%1").arg(::getuid());
}

bool QtSingleInstance::AskRunningInstance(int timeoutMs, const QString& openPath) {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(timeoutMs)) return false;
  if (openPath.isEmpty()) socket.write(kRestoreRequest);
  else socket.write(QByteArray(kOpenRequest) + openPath.toUtf8() + "\n");
  socket.waitForBytesWritten(timeoutMs);
  socket.disconnectFromServer();
  return true;
}

bool QtSingleInstance::Listen() {
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name_)) {
    // A server file left by a crashed instance (nobody answered above): take it over.
    QLocalServer::removeServer(name_);
    if (!server_->listen(name_)) return false;
  }
  connect(server_.get(), &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* client = server_->nextPendingConnection()) {
      // The request may already be buffered when the connection is taken.
      auto answer = [this, client] {
        if (!client->canReadLine()) return;
        const QByteArray line = client->readLine();
        if (line.startsWith("restore")) {
          emit restoreRequested();
        } else if (line.startsWith(kOpenRequest)) {
          emit restoreRequested();
          emit openRequested(QString::fromUtf8(line.mid(int(sizeof kOpenRequest) - 1).chopped(line.endsWith('\n') ? 1 : 0)));
        }
        client->disconnectFromServer();
      };
      connect(client, &QLocalSocket::readyRead, this, answer);
      connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
      answer();
    }
  });
  return true;
}

}  // namespace tq

#include "frontend/instance_link.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QLocalSocket>

#include "platform/home/home.h"

namespace quavern {
namespace {

// One line: "drive " and the drive as given.
constexpr char kPrefix[] = "drive ";
constexpr int kLongestLine = 4096;

}  // namespace

QString InstanceLink::serverName() {
  const QByteArray home = QByteArray::fromStdString(platform::home::homeDir().lexically_normal().string());
  const QByteArray hash = QCryptographicHash::hash(home, QCryptographicHash::Sha1).toHex().left(16);
  return QString("quavern-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash));
}

bool InstanceLink::handOver(const QString& drive, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(serverName());
  if (!socket.waitForConnected(1000)) return false;
  socket.write(kPrefix + drive.toUtf8().left(kLongestLine) + "\n");
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  // The running program answers once it has taken the line.
  return socket.waitForReadyRead(timeoutMs) && socket.readAll().startsWith("ok");
}

bool InstanceLink::listen() {
  // Another program listens (one that started at the same moment): leave it.
  // (Listening would replace its socket: with access options, the socket is
  // made elsewhere and renamed into place.)
  {
    QLocalSocket probe;
    probe.connectToServer(serverName());
    if (probe.waitForConnected(1000)) return false;
  }
  // Only this user may connect.
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_.listen(serverName())) {
    // A socket file left by a program that crashed: nobody answers on it.
    QLocalServer::removeServer(serverName());
    if (!server_.listen(serverName())) return false;
  }
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (!socket->canReadLine()) {
          if (socket->bytesAvailable() > kLongestLine + 16) socket->abort();  // no line: not one of ours
          return;
        }
        const QByteArray line = socket->readLine(kLongestLine + 16).trimmed();
        if (!line.startsWith(QByteArray(kPrefix).trimmed())) {
          socket->abort();
          return;
        }
        socket->write("ok\n");
        socket->flush();
        emit driveRequested(QString::fromUtf8(line.mid(sizeof kPrefix - 1)).trimmed());
      });
    }
  });
  return true;
}

}  // namespace quavern

#include "app/service/GuardedTcpServer.h"

#include "app/service/ServiceLog.h"

#include <QTcpSocket>
#include <QTimer>

namespace vemo::service {

namespace {
constexpr const char* kStreaming = "vemoStreaming";
constexpr const char* kPending = "vemoPendingBytes";
}  // namespace

void GuardedTcpServer::MarkStreaming(QTcpSocket* socket) {
  socket->setProperty(kStreaming, true);
}

void GuardedTcpServer::incomingConnection(qintptr handle) {
  auto* socket = new QTcpSocket(this);
  if (!socket->setSocketDescriptor(handle)) {
    delete socket;
    return;
  }
  if (connections_ >= kMaxConnections) {
    LogLine("warning", "http connection refused: too many connections");
    socket->abort();
    socket->deleteLater();
    return;
  }
  ++connections_;
  // A response leaves in several writes; none of them should wait for the client's ACK.
  socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  connect(socket, &QObject::destroyed, this, [this] { --connections_; });
  auto* idle = new QTimer(socket);
  idle->setSingleShot(true);
  idle->start(kIdleMs);
  connect(idle, &QTimer::timeout, socket, [socket] {
    if (!socket->property(kStreaming).toBool()) socket->abort();
  });
  // Connected before the HTTP server's own handler, so it sees each block first. The
  // server reads everything that is available, so what is available now is new.
  connect(socket, &QTcpSocket::readyRead, socket, [socket, idle] {
    idle->start(kIdleMs);
    const qint64 pending = socket->property(kPending).toLongLong() + socket->bytesAvailable();
    socket->setProperty(kPending, pending);
    if (pending <= kMaxRequestBytes) return;
    LogLine("warning", "http request refused: larger than 64 KiB from " +
                           socket->peerAddress().toString().toStdString());
    socket->readAll();
    socket->write(
        "HTTP/1.1 413 Payload Too Large\r\nContent-Type: text/plain\r\nContent-Length: 31\r\n"
        "Connection: close\r\n\r\nRequests are limited to 64 KiB.");
    socket->disconnectFromHost();
  });
  // A response went out: the request before it is complete, the next one starts afresh.
  connect(socket, &QTcpSocket::bytesWritten, socket, [socket, idle] {
    socket->setProperty(kPending, 0);
    idle->start(kIdleMs);
  });
  addPendingConnection(socket);
}

}  // namespace vemo::service

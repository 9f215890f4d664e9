#pragma once
// The listening socket of the HTTP interface, with the limits the HTTP server itself does
// not keep: a request (headers and body) of more than kMaxRequestBytes is answered 413 and
// the connection closed; a connection that sends nothing for kIdleMs is closed, unless it
// carries a stream; no more than kMaxConnections at once.

#include <QTcpServer>

namespace vemo::service {

class GuardedTcpServer : public QTcpServer {
  Q_OBJECT

 public:
  static constexpr qint64 kMaxRequestBytes = 64 * 1024;
  static constexpr int kIdleMs = 30'000;
  static constexpr int kMaxConnections = 256;

  using QTcpServer::QTcpServer;

  // A connection that carries a stream: it is expected to stay quiet.
  static void MarkStreaming(QTcpSocket* socket);

 protected:
  void incomingConnection(qintptr handle) override;

 private:
  int connections_ = 0;
};

}  // namespace vemo::service

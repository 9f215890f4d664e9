// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The listening socket of the HTTP interface, with the limits the HTTP server itself does
// not keep, so that no client, however many connections it opens or however slowly it
// writes, keeps the others (a Prometheus scrape above all) from being answered:
// - every request passes a RequestScreen before the HTTP server's parser sees it; what
//   the screen refuses is answered with its status and the connection closed;
// - a request must arrive whole within RequestDeadlineMs of its first byte (else 408);
//   a connection without a stream that sends nothing for IdleMs is closed;
// - connections that carry no stream are limited per client address and in all; a new
//   connection beyond either limit closes the longest-quiet one of that client (or of the
//   client holding the most), so a new request is always heard and answered;
// - live streams have their own budget, per client address and in all: StartStream;
// - when the process runs out of file handles, accepting pauses for AcceptPauseMs and
//   the longest-quiet connection is closed, instead of retrying at once for ever.

#include "app/service/RequestScreen.h"
#include "app/service/ServiceLog.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>

#include <memory>
#include <vector>

namespace vemo::service {

class GuardedTcpServer : public QTcpServer {
  Q_OBJECT

 public:
  struct Limits {
    int MaxConnections = 192;  // without a stream
    int MaxConnectionsPerClient = 48;
    int MaxStreams = 128;
    int MaxStreamsPerClient = 16;
    int IdleMs = 30'000;
    int RequestDeadlineMs = 10'000;
    int AcceptPauseMs = 1000;
  };

  explicit GuardedTcpServer(Limits limits, QObject* parent = nullptr);
  ~GuardedTcpServer() override;

  // The connection is to carry a stream from now on: true, or false when the stream
  // budget of its client or of all clients is spent.
  bool StartStream(QTcpSocket* socket);

 protected:
  void incomingConnection(qintptr handle) override;

 private:
  struct Connection {
    QPointer<QTcpSocket> socket;
    QString client;
    qint64 lastActiveMs = 0;
    qint64 requestStartMs = 0;
    bool streaming = false;
    bool closing = false;  // evicted, its socket not yet gone
    RequestScreen screen;
  };

  void OnReadyRead(Connection& c);
  void Sweep();
  // Closes the longest-quiet connection without a stream, of `client` or, when empty, of
  // the client that holds the most; false when there is none.
  bool Evict(const QString& client, const char* why);
  void OnAcceptError(QAbstractSocket::SocketError error);
  void Log(const char* level, const std::string& kind, const std::string& text);
  Connection* Find(const QTcpSocket* socket);
  // Holds a place within the limits: open, and not on its way out.
  static bool Counts(const Connection& c);
  qint64 Now() const { return clock_.elapsed(); }

  Limits limits_;
  std::vector<std::unique_ptr<Connection>> connections_;
  QTimer sweep_;
  QElapsedTimer clock_;
  LogLimiter logLimiter_;
};

}  // namespace vemo::service

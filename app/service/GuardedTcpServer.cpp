// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service/GuardedTcpServer.h"

#include <QTcpSocket>

#include <algorithm>
#include <map>

namespace vemo::service {

GuardedTcpServer::GuardedTcpServer(Limits limits, QObject* parent)
    : QTcpServer(parent), limits_(limits) {
  clock_.start();
  connect(&sweep_, &QTimer::timeout, this, &GuardedTcpServer::Sweep);
  sweep_.start(std::clamp(limits_.RequestDeadlineMs / 4, 10, 1000));
  connect(this, &QTcpServer::acceptError, this, &GuardedTcpServer::OnAcceptError);
}

GuardedTcpServer::~GuardedTcpServer() = default;

void GuardedTcpServer::Log(const char* level, const std::string& kind, const std::string& text) {
  if (const auto line = logLimiter_.Admit(kind, text, Now())) LogLine(level, *line);
}

bool GuardedTcpServer::Counts(const Connection& c) {
  return !c.closing && c.socket && c.socket->state() == QAbstractSocket::ConnectedState;
}

GuardedTcpServer::Connection* GuardedTcpServer::Find(const QTcpSocket* socket) {
  const auto it = std::find_if(connections_.begin(), connections_.end(),
                               [&](const auto& c) { return c->socket == socket; });
  return it == connections_.end() ? nullptr : it->get();
}

bool GuardedTcpServer::StartStream(QTcpSocket* socket) {
  Connection* c = Find(socket);
  if (!c) return false;
  int all = 0;
  int mine = 0;
  for (const auto& other : connections_) {
    if (!other->streaming || !Counts(*other)) continue;
    ++all;
    if (other->client == c->client) ++mine;
  }
  if (all >= limits_.MaxStreams || mine >= limits_.MaxStreamsPerClient) {
    Log("warning", "stream-budget",
        "http stream refused: " + std::to_string(mine) + " streams to " + c->client.toStdString() +
            ", " + std::to_string(all) + " in all");
    return false;
  }
  c->streaming = true;
  return true;
}

void GuardedTcpServer::incomingConnection(qintptr handle) {
  auto* socket = new QTcpSocket(this);
  if (!socket->setSocketDescriptor(handle)) {
    delete socket;
    return;
  }
  auto owned = std::make_unique<Connection>();
  Connection& c = *owned;
  c.socket = socket;
  c.client = socket->peerAddress().toString();
  c.lastActiveMs = Now();
  int mine = 0;
  int all = 0;
  for (const auto& other : connections_) {
    if (other->streaming || !Counts(*other)) continue;
    ++all;
    if (other->client == c.client) ++mine;
  }
  if (mine >= limits_.MaxConnectionsPerClient)
    Evict(c.client, "connections from that address at their limit");
  else if (all >= limits_.MaxConnections)
    Evict({}, "connections at their limit");
  connections_.push_back(std::move(owned));

  // A response leaves in several writes; none of them should wait for the client's ACK.
  socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  connect(socket, &QObject::destroyed, this, [this, socket] {
    std::erase_if(connections_, [socket](const auto& other) {
      return other->socket.isNull() || other->socket == socket;
    });
  });
  // Connected before the HTTP server's own handler, so it sees each block first. The
  // server reads everything that is available, so what is available now is new.
  connect(socket, &QTcpSocket::readyRead, this, [this, &c] { OnReadyRead(c); });
  connect(socket, &QTcpSocket::bytesWritten, this, [this, &c] { c.lastActiveMs = Now(); });
  addPendingConnection(socket);
}

void GuardedTcpServer::OnReadyRead(Connection& c) {
  QTcpSocket* socket = c.socket;
  if (!socket) return;
  c.lastActiveMs = Now();
  if (!c.screen.InRequest()) c.requestStartMs = c.lastActiveMs;
  const int before = c.screen.Completed();
  const QByteArray bytes = socket->peek(socket->bytesAvailable());
  if (const std::optional<Refusal> refusal = c.screen.Feed(bytes)) {
    Log("warning", "request-refused",
        "http request refused (" + std::to_string(refusal->Status) + " " +
            refusal->Text.toStdString() + ") from " + c.client.toStdString());
    socket->readAll();  // the HTTP server must not see any of it
    socket->write(RefusalResponse(*refusal));
    socket->disconnectFromHost();
    return;
  }
  if (c.screen.Completed() == before || !c.screen.CloseAfter()) return;
  // The HTTP server answers in its own handler, after this one: close once it has.
  QMetaObject::invokeMethod(
      socket,
      [this, socket] {
        const Connection* now = Find(socket);
        if (now && !now->streaming) socket->disconnectFromHost();
      },
      Qt::QueuedConnection);
}

void GuardedTcpServer::Sweep() {
  const qint64 now = Now();
  std::vector<QTcpSocket*> late;
  std::vector<QTcpSocket*> idle;
  for (const auto& c : connections_) {
    if (c->streaming || !Counts(*c)) continue;
    if (c->screen.InRequest() && now - c->requestStartMs > limits_.RequestDeadlineMs)
      late.push_back(c->socket);
    else if (!c->screen.InRequest() && now - c->lastActiveMs > limits_.IdleMs)
      idle.push_back(c->socket);
  }
  for (QTcpSocket* socket : late) {
    Log("warning", "request-late",
        "http request refused: not complete after " +
            std::to_string(limits_.RequestDeadlineMs / 1000) + " s, from " +
            socket->peerAddress().toString().toStdString());
    socket->readAll();
    socket->write(RefusalResponse(
        {408, "Request Timeout", "The request did not arrive whole in time; send it at once."}));
    socket->disconnectFromHost();
  }
  for (QTcpSocket* socket : idle) socket->abort();
}

bool GuardedTcpServer::Evict(const QString& client, const char* why) {
  QString from = client;
  if (from.isEmpty()) {
    std::map<QString, int> counts;
    for (const auto& c : connections_)
      if (!c->streaming && Counts(*c)) ++counts[c->client];
    int most = 0;
    for (const auto& [address, n] : counts)
      if (n > most) std::tie(from, most) = std::tie(address, n);
  }
  Connection* quietest = nullptr;
  for (const auto& c : connections_)
    if (!c->streaming && Counts(*c) && c->client == from &&
        (!quietest || c->lastActiveMs < quietest->lastActiveMs))
      quietest = c.get();
  if (!quietest) return false;
  Log("warning", "connection-evicted",
      "http connection from " + from.toStdString() + " closed: " + why);
  quietest->closing = true;
  quietest->socket->abort();
  quietest->socket->deleteLater();
  return true;
}

void GuardedTcpServer::OnAcceptError(QAbstractSocket::SocketError error) {
  if (error != QAbstractSocket::SocketResourceError) return;
  // The connection waits in the listen queue and the socket stays readable: trying again
  // at once would only spin, and the server has stopped accepting for good. Make room and
  // try again a little later.
  pauseAccepting();
  const bool evicted = Evict({}, "out of file handles");
  Log("error", "out-of-handles",
      "http: out of file handles, accepting paused for " + std::to_string(limits_.AcceptPauseMs) +
          " ms" + (evicted ? "" : "; raise LimitNOFILE or poll fewer monitors"));
  QTimer::singleShot(limits_.AcceptPauseMs, this, &QTcpServer::resumeAccepting);
}

}  // namespace vemo::service

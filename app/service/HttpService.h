// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The HTTP interface: metrics, the JSON API, the live stream (Server-Sent Events), the
// built-in page and the two control requests. Requests are answered from the pollers'
// last state; none waits on a serial exchange.

#include "app/service/GuardedTcpServer.h"
#include "app/service/MonitorObserver.h"
#include "app/service/Routing.h"
#include "app/service/ServiceLog.h"

#include <QAbstractHttpServer>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QHttpServerResponder>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>
#include <vector>

namespace vemo::service {

class MonitorPoller;

class HttpService : public QAbstractHttpServer, public MonitorObserver {
  Q_OBJECT

 public:
  using Headers = std::vector<std::pair<QByteArray, QByteArray>>;

  // A stream client whose unsent data grows past this never reads: it is dropped.
  static constexpr qint64 kMaxStreamBacklog = 256 * 1024;

  // token empty: read-only, the control requests are refused.
  HttpService(std::vector<MonitorPoller*> pollers, QByteArray token, QObject* parent = nullptr);
  ~HttpService() override;

  // The connection limits; before Listen.
  void SetLimits(const GuardedTcpServer::Limits& limits) { limits_ = limits; }
  // The folder of the reports ReportWriter writes; empty: none are served.
  void SetReportDir(const QString& dir) { reportDir_ = dir; }
  // Starts listening; false with a message when the address cannot be had.
  bool Listen(const QHostAddress& address, quint16 port, QString& error);
  quint16 Port() const;
  size_t StreamCount() const { return streams_.size(); }

  void OnReading(const MonitorSnapshot& snapshot) override;
  void OnAvailability(const QString& name, bool online) override;
  void OnAlarm(const QString& name, const TAlarmEvent& event) override;

 protected:
  bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
  void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

 private:
  struct Stream {
    QStringList monitors;
    bool single;  // one monitor's stream
    QPointer<QTcpSocket> socket;
    std::unique_ptr<QHttpServerResponder> responder;
  };

  MonitorPoller* Find(const QString& name) const;
  void Answer(const Route& route, const QHttpServerRequest& request, QTcpSocket* socket);
  bool Authorized(const QHttpServerRequest& request) const;
  // The monitors that ?monitors=a,b names, all without it.
  std::vector<MonitorPoller*> Selected(const QHttpServerRequest& request) const;
  static Headers StreamHeaders();
  static QByteArray TimeEvent();
  void OpenStream(const std::vector<MonitorPoller*>& monitors, bool single,
                  const QHttpServerRequest& request, QTcpSocket* socket);
  // Sends an event to the streams that carry the monitor `name` (every stream for an empty
  // name): `event` to the streams of one monitor, `namedEvent` to those of several.
  void Broadcast(const QString& name, const QByteArray& event, const QByteArray& namedEvent);
  void DropClosedStreams();

  std::vector<MonitorPoller*> pollers_;
  QByteArray token_;
  QString reportDir_;
  GuardedTcpServer::Limits limits_;
  GuardedTcpServer* tcp_ = nullptr;
  std::vector<Stream> streams_;
  QTimer heartbeat_;
  QElapsedTimer clock_;
  LogLimiter logLimiter_;
};

}  // namespace vemo::service

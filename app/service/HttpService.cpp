#include "app/service/HttpService.h"

#include "app/service/GuardedTcpServer.h"
#include "app/service/Metrics.h"
#include "app/service/MonitorPoller.h"
#include "app/service/ServiceJson.h"
#include "app/service/ServiceLog.h"

#include <QDateTime>
#include <QFile>
#include <QHttpServerRequest>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

// The page is compiled into the library; a static library's resources need a reference.
static void InitWebResources() {
  Q_INIT_RESOURCE(web);
}

namespace vemo::service {

namespace {

using Status = QHttpServerResponder::StatusCode;

// Proxies and browsers close a connection that stays silent for long; a comment line
// keeps it open and shows a client that has gone.
constexpr int kHeartbeatMs = 15'000;

QByteArray MethodName(QHttpServerRequest::Method m) {
  switch (m) {
    case QHttpServerRequest::Method::Get:
      return "GET";
    case QHttpServerRequest::Method::Head:
      return "HEAD";
    case QHttpServerRequest::Method::Post:
      return "POST";
    case QHttpServerRequest::Method::Put:
      return "PUT";
    case QHttpServerRequest::Method::Delete:
      return "DELETE";
    default:
      return "OTHER";
  }
}

void Json(QHttpServerResponder& r, const QByteArray& body, Status status = Status::Ok) {
  r.write(body, {{"Content-Type", "application/json"}, {"Cache-Control", "no-store"}}, status);
}

void Error(QHttpServerResponder& r, Status status, const QString& message) {
  QJsonObject o;
  o["error"] = message;
  Json(r, QJsonDocument(o).toJson(QJsonDocument::Compact), status);
}

QByteArray Page() {
  QFile f(QStringLiteral(":/vemoswrd/index.html"));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray Event(const char* name, const QByteArray& data) {
  return QByteArray("event: ") + name + "\ndata: " + data + "\n\n";
}

}  // namespace

HttpService::HttpService(std::vector<MonitorPoller*> pollers, QByteArray token, QObject* parent)
    : QAbstractHttpServer(parent), pollers_(std::move(pollers)), token_(std::move(token)) {
  InitWebResources();
  for (MonitorPoller* p : pollers_) p->AddObserver(this);
  connect(&heartbeat_, &QTimer::timeout, this, [this] { Broadcast({}, ": keep-alive\n\n"); });
  heartbeat_.start(kHeartbeatMs);
}

HttpService::~HttpService() = default;

bool HttpService::Listen(const QHostAddress& address, quint16 port, QString& error) {
  tcp_ = new GuardedTcpServer(this);
  if (!tcp_->listen(address, port)) {
    error = tcp_->errorString();
    return false;
  }
  bind(tcp_);
  return true;
}

quint16 HttpService::Port() const {
  return tcp_ ? tcp_->serverPort() : 0;
}

MonitorPoller* HttpService::Find(const QString& name) const {
  const auto it = std::find_if(pollers_.begin(), pollers_.end(),
                               [&](const MonitorPoller* p) { return p->Config().Name == name; });
  return it == pollers_.end() ? nullptr : *it;
}

bool HttpService::Authorized(const QHttpServerRequest& request) const {
  QByteArray presented;
  for (const auto& [key, value] : request.headers())
    if (key.compare("Authorization", Qt::CaseInsensitive) == 0 && value.startsWith("Bearer "))
      presented = value.mid(7).trimmed();
  return TokensEqual(presented, token_);
}

bool HttpService::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
  const QByteArray path = request.url().path(QUrl::FullyEncoded).toUtf8();
  Answer(RouteOf(MethodName(request.method()), path), request, socket);
  return true;
}

void HttpService::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
  QHttpServerResponder r = makeResponder(request, socket);
  Error(r, Status::NotFound, QStringLiteral("Not found."));
}

void HttpService::Answer(const Route& route, const QHttpServerRequest& request,
                         QTcpSocket* socket) {
  if (route.Kind == RouteKind::Stream)
    if (MonitorPoller* poller = Find(route.Monitor)) return OpenStream(*poller, request, socket);
  QHttpServerResponder r = makeResponder(request, socket);
  std::vector<const MonitorPoller*> all(pollers_.begin(), pollers_.end());
  switch (route.Kind) {
    case RouteKind::NotFound:
      return Error(r, Status::NotFound, QStringLiteral("Not found."));
    case RouteKind::MethodNotAllowed:
      return Error(r, Status::MethodNotAllowed, QStringLiteral("Method not allowed here."));
    case RouteKind::Page:
      return r.write(Page(),
                     {{"Content-Type", "text/html; charset=utf-8"}, {"Cache-Control", "no-cache"}});
    case RouteKind::Metrics:
      return r.write(MetricsText(all), "text/plain; version=0.0.4; charset=utf-8");
    case RouteKind::MonitorList:
      return Json(r, MonitorListJson(all));
    default:
      break;
  }
  MonitorPoller* poller = Find(route.Monitor);
  if (!poller) return Error(r, Status::NotFound, QStringLiteral("No monitor of that name."));
  switch (route.Kind) {
    case RouteKind::Monitor:
      return Json(r, MonitorJson(*poller));
    case RouteKind::History: {
      const auto query =
          ParseHistoryQuery(ParseQuery(request.url().query(QUrl::FullyEncoded).toUtf8()),
                            QDateTime::currentMSecsSinceEpoch());
      if (!query)
        return Error(r, Status::BadRequest,
                     QStringLiteral("Give since (ms since the epoch, or negative ms before "
                                    "now) and step (ms, at least 100), at most 10000 points."));
      return Json(
          r, HistoryJson(poller->HistoryColumns(query->SinceMs,
                                                query->SinceMs + query->StepMs * query->Columns,
                                                query->Columns),
                         *query));
    }
    case RouteKind::ResetAlarm:
    case RouteKind::Acknowledge:
      break;
    default:
      return Error(r, Status::NotFound, QStringLiteral("Not found."));
  }
  if (token_.isEmpty())
    return Error(r, Status::Forbidden,
                 QStringLiteral("The service is read-only: start it with --token-file to "
                                "allow control."));
  if (!Authorized(request)) {
    LogLine("warning", "http control refused: wrong or missing token from " +
                           request.remoteAddress().toString().toStdString());
    return r.write(QByteArray(R"({"error":"A valid bearer token is needed."})"),
                   {{"Content-Type", "application/json"}, {"WWW-Authenticate", "Bearer"}},
                   Status::Unauthorized);
  }
  if (route.Kind == RouteKind::Acknowledge) {
    poller->Acknowledge();
    return Json(r, MonitorJson(*poller));
  }
  if (!poller->RequestAlarmReset())
    return Error(r, Status::Conflict,
                 QStringLiteral("The monitor is not connected; try again once it is up."));
  return Json(r, R"({"accepted":true})", Status::Accepted);
}

void HttpService::OpenStream(MonitorPoller& poller, const QHttpServerRequest& request,
                             QTcpSocket* socket) {
  auto responder = std::make_unique<QHttpServerResponder>(makeResponder(request, socket));
  responder->writeStatusLine(Status::Ok);
  responder->writeHeader("Content-Type", "text/event-stream");
  responder->writeHeader("Cache-Control", "no-store");
  responder->writeHeader("X-Accel-Buffering", "no");
  responder->writeBody(QByteArray("retry: 2000\n\n") + Event("state", MonitorJson(poller)));
  GuardedTcpServer::MarkStreaming(socket);
  LogLine("info", "http stream opened monitor=" + poller.Config().Name.toStdString() + " from " +
                      request.remoteAddress().toString().toStdString());
  connect(
      socket, &QTcpSocket::disconnected, this, [this] { DropClosedStreams(); },
      Qt::QueuedConnection);
  streams_.push_back(Stream{poller.Config().Name, socket, std::move(responder)});
}

void HttpService::Broadcast(const QString& name, const QByteArray& event) {
  bool dropped = false;
  for (Stream& s : streams_) {
    if (!s.socket || s.socket->state() != QAbstractSocket::ConnectedState) {
      dropped = true;
      continue;
    }
    if (!name.isEmpty() && s.monitor != name) continue;
    if (s.socket->bytesToWrite() > kMaxStreamBacklog) {
      LogLine("warning", "http stream dropped: client does not read, " +
                             s.socket->peerAddress().toString().toStdString());
      s.socket->abort();
      dropped = true;
      continue;
    }
    s.responder->writeBody(event);
  }
  if (dropped) DropClosedStreams();
}

void HttpService::DropClosedStreams() {
  std::erase_if(streams_, [](const Stream& s) {
    return !s.socket || s.socket->state() != QAbstractSocket::ConnectedState;
  });
}

void HttpService::OnReading(const QString& name, const QByteArray& json) {
  Broadcast(name, Event("state", json));
}

void HttpService::OnAvailability(const QString&, bool) {
  // The state event that follows carries "up".
}

void HttpService::OnAlarm(const QString& name, const QByteArray& json) {
  Broadcast(name, Event("alarm", json));
}

}  // namespace vemo::service

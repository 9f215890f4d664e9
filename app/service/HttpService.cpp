// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service/HttpService.h"

#include "app/service/GuardedTcpServer.h"
#include "app/service/Metrics.h"
#include "app/service/MonitorPoller.h"
#include "app/service/ReportWriter.h"
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

// One answer. A HEAD request gets the status and headers of the GET answer, with its
// Content-Length, and no body.
struct Out {
  QHttpServerResponder r;
  bool head;
  void Write(const QByteArray& body, const HttpService::Headers& headers,
             Status status = Status::Ok) {
    r.writeStatusLine(status);
    for (const auto& [key, value] : headers) r.writeHeader(key, value);
    r.writeHeader("Content-Length", QByteArray::number(body.size()));
    r.writeBody(head ? QByteArray() : body);
  }
};

void Json(Out& out, const QByteArray& body, Status status = Status::Ok) {
  out.Write(body, {{"Content-Type", "application/json"}, {"Cache-Control", "no-store"}}, status);
}

void Error(Out& out, Status status, const QString& message, HttpService::Headers extra = {}) {
  QJsonObject o;
  o["error"] = message;
  extra.push_back({"Content-Type", "application/json"});
  extra.push_back({"Cache-Control", "no-store"});
  out.Write(QJsonDocument(o).toJson(QJsonDocument::Compact), extra, status);
}

// The latest report the service wrote for the monitor.
void Report(Out& out, const QString& dir, const QString& monitor,
            const QHttpServerRequest& request) {
  const QString period =
      ParseQuery(request.url().query(QUrl::FullyEncoded).toUtf8())[QStringLiteral("period")];
  if (!period.isEmpty() && period != QLatin1String("day") && period != QLatin1String("week"))
    return Error(out, Status::BadRequest, QStringLiteral("Give period=day or period=week."));
  const bool week = period == QLatin1String("week");
  const QString path = dir.isEmpty()
                           ? QString()
                           : LatestReport(dir, monitor, week ? ReportSpan::Week : ReportSpan::Day);
  QFile file(path);
  if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
    return Error(out, Status::NotFound,
                 week ? QStringLiteral("No weekly report yet: the service writes one each Monday "
                                       "shortly after midnight.")
                      : QStringLiteral("No daily report yet: the service writes one shortly after "
                                       "midnight."));
  out.Write(file.readAll(),
            {{"Content-Type", "text/html; charset=utf-8"}, {"Cache-Control", "no-cache"}});
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
  clock_.start();
  for (MonitorPoller* p : pollers_) p->AddObserver(this);
  connect(&heartbeat_, &QTimer::timeout, this,
          [this] { Broadcast({}, ": keep-alive\n\n", TimeEvent()); });
  heartbeat_.start(kHeartbeatMs);
}

HttpService::~HttpService() = default;

bool HttpService::Listen(const QHostAddress& address, quint16 port, QString& error) {
  tcp_ = new GuardedTcpServer(limits_, this);
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
  int seen = 0;
  for (const auto& [key, value] : request.headers()) {
    if (key.compare("Authorization", Qt::CaseInsensitive) != 0) continue;
    ++seen;
    // The scheme is case-insensitive: "bearer" is "Bearer".
    const QByteArray v = value.trimmed();
    const qsizetype space = v.indexOf(' ');
    if (space > 0 && v.left(space).compare("Bearer", Qt::CaseInsensitive) == 0)
      presented = v.mid(space + 1).trimmed();
  }
  return seen == 1 && TokensEqual(presented, token_);
}

bool HttpService::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
  const QByteArray path = request.url().path(QUrl::FullyEncoded).toUtf8();
  Answer(RouteOf(MethodName(request.method()), path), request, socket);
  return true;
}

void HttpService::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
  Out out{makeResponder(request, socket), request.method() == QHttpServerRequest::Method::Head};
  Error(out, Status::NotFound, QStringLiteral("Not found."));
}

void HttpService::Answer(const Route& route, const QHttpServerRequest& request,
                         QTcpSocket* socket) {
  const bool head = request.method() == QHttpServerRequest::Method::Head;
  if (!head && route.Kind == RouteKind::Stream)
    if (MonitorPoller* poller = Find(route.Monitor))
      return OpenStream({poller}, true, request, socket);
  if (!head && route.Kind == RouteKind::StreamAll)
    return OpenStream(Selected(request), false, request, socket);
  Out out{makeResponder(request, socket), head};
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  // The pollers' latest snapshots, held while they are formatted.
  std::vector<std::shared_ptr<const MonitorSnapshot>> held;
  std::vector<const MonitorSnapshot*> all;
  const auto snapshots = [&] {
    for (const MonitorPoller* p : pollers_) {
      held.push_back(p->Snapshot());
      all.push_back(held.back().get());
    }
    return all;
  };
  switch (route.Kind) {
    case RouteKind::NotFound:
      return Error(out, Status::NotFound, QStringLiteral("Not found."));
    case RouteKind::MethodNotAllowed:
      return Error(out, Status::MethodNotAllowed, QStringLiteral("Method not allowed here."));
    case RouteKind::Page:
      return out.Write(
          Page(), {{"Content-Type", "text/html; charset=utf-8"}, {"Cache-Control", "no-cache"}});
    case RouteKind::Metrics:
      return out.Write(MetricsText(snapshots(), now),
                       {{"Content-Type", "text/plain; version=0.0.4; charset=utf-8"}});
    case RouteKind::MonitorList:
      return Json(out, MonitorListJson(snapshots(), now));
    case RouteKind::StreamAll:  // HEAD: what a stream would start with, and no stream
      return out.Write({}, StreamHeaders());
    default:
      break;
  }
  MonitorPoller* poller = Find(route.Monitor);
  if (!poller) return Error(out, Status::NotFound, QStringLiteral("No monitor of that name."));
  switch (route.Kind) {
    case RouteKind::Monitor:
      return Json(out, MonitorJson(*poller->Snapshot(), now));
    case RouteKind::Stream:
      return out.Write({}, StreamHeaders());
    case RouteKind::History: {
      const auto query =
          ParseHistoryQuery(ParseQuery(request.url().query(QUrl::FullyEncoded).toUtf8()),
                            QDateTime::currentMSecsSinceEpoch());
      if (!query)
        return Error(out, Status::BadRequest,
                     QStringLiteral("Give since (ms since the epoch, or negative ms before "
                                    "now) and step (ms, at least 100), at most 10000 points."));
      const qint64 to = query->SinceMs + query->StepMs * query->Columns;
      return Json(out,
                  HistoryJson(poller->HistoryColumns(query->SinceMs, to, query->Columns), *query));
    }
    case RouteKind::Report:
      return Report(out, reportDir_, poller->Config().Name, request);
    case RouteKind::ResetAlarm:
    case RouteKind::Acknowledge:
      break;
    default:
      return Error(out, Status::NotFound, QStringLiteral("Not found."));
  }
  if (token_.isEmpty())
    return Error(out, Status::Forbidden,
                 QStringLiteral("The service is read-only: start it with --token-file to "
                                "allow control."));
  if (!Authorized(request)) {
    if (const auto line = logLimiter_.Admit("token",
                                            "http control refused: wrong or missing token from " +
                                                request.remoteAddress().toString().toStdString(),
                                            clock_.elapsed()))
      LogLine("warning", *line);
    return Error(out, Status::Unauthorized, QStringLiteral("A valid bearer token is needed."),
                 {{"WWW-Authenticate", "Bearer"}});
  }
  if (route.Kind == RouteKind::Acknowledge) {
    poller->Acknowledge();
    return Json(out, MonitorJson(*poller->Snapshot(), QDateTime::currentMSecsSinceEpoch()));
  }
  if (!poller->RequestAlarmReset())
    return Error(out, Status::Conflict,
                 QStringLiteral("The monitor is not connected; try again once it is up."));
  return Json(out, R"({"accepted":true})", Status::Accepted);
}

std::vector<MonitorPoller*> HttpService::Selected(const QHttpServerRequest& request) const {
  const auto query = ParseQuery(request.url().query(QUrl::FullyEncoded).toUtf8());
  const auto it = query.find(QStringLiteral("monitors"));
  if (it == query.end() || it->second.isEmpty()) return pollers_;
  std::vector<MonitorPoller*> chosen;
  for (const QString& name : it->second.split(','))
    if (MonitorPoller* p = Find(name);
        p && std::find(chosen.begin(), chosen.end(), p) == chosen.end())
      chosen.push_back(p);
  return chosen;
}

HttpService::Headers HttpService::StreamHeaders() {
  return {{"Content-Type", "text/event-stream"},
          {"Cache-Control", "no-store"},
          {"X-Accel-Buffering", "no"}};
}

QByteArray HttpService::TimeEvent() {
  return Event("time", QByteArray::number(QDateTime::currentMSecsSinceEpoch()));
}

void HttpService::OpenStream(const std::vector<MonitorPoller*>& monitors, bool single,
                             const QHttpServerRequest& request, QTcpSocket* socket) {
  if (!tcp_ || !tcp_->StartStream(socket)) {
    Out out{makeResponder(request, socket), false};
    Error(out, Status::ServiceUnavailable,
          QStringLiteral("Too many live streams are open; close some pages or try again later."),
          {{"Retry-After", "10"}, {"Connection", "close"}});
    socket->disconnectFromHost();
    return;
  }
  // One monitor's stream (the older form) carries its events as they are; the stream of
  // several carries the time, so that a page can tell the age of each reading, and names
  // the monitor in each alarm event.
  auto responder = std::make_unique<QHttpServerResponder>(makeResponder(request, socket));
  responder->writeStatusLine(Status::Ok);
  for (const auto& [key, value] : StreamHeaders()) responder->writeHeader(key, value);
  QByteArray first = "retry: 2000\n\n";
  if (!single) first += TimeEvent();
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  for (const MonitorPoller* p : monitors) first += Event("state", MonitorJson(*p->Snapshot(), now));
  responder->writeBody(first);
  QStringList names;
  for (const MonitorPoller* p : monitors) names.push_back(p->Config().Name);
  LogLine("info", "http stream opened monitor=" + (single ? names.join(',') : "*").toStdString() +
                      " from " + request.remoteAddress().toString().toStdString());
  connect(
      socket, &QTcpSocket::disconnected, this, [this] { DropClosedStreams(); },
      Qt::QueuedConnection);
  streams_.push_back(Stream{names, single, socket, std::move(responder)});
}

void HttpService::Broadcast(const QString& name, const QByteArray& event,
                            const QByteArray& namedEvent) {
  bool dropped = false;
  for (Stream& s : streams_) {
    if (!s.socket || s.socket->state() != QAbstractSocket::ConnectedState) {
      dropped = true;
      continue;
    }
    if (!name.isEmpty() && !s.monitors.contains(name)) continue;
    if (s.socket->bytesToWrite() > kMaxStreamBacklog) {
      if (const auto line = logLimiter_.Admit("backlog",
                                              "http stream dropped: client does not read, " +
                                                  s.socket->peerAddress().toString().toStdString(),
                                              clock_.elapsed()))
        LogLine("warning", *line);
      s.socket->abort();
      dropped = true;
      continue;
    }
    s.responder->writeBody(s.single ? event : namedEvent);
  }
  if (dropped) DropClosedStreams();
}

void HttpService::DropClosedStreams() {
  std::erase_if(streams_, [](const Stream& s) {
    return !s.socket || s.socket->state() != QAbstractSocket::ConnectedState;
  });
}

void HttpService::OnReading(const MonitorSnapshot& snapshot) {
  const QByteArray event =
      Event("state", MonitorJson(snapshot, QDateTime::currentMSecsSinceEpoch()));
  Broadcast(snapshot.Name, event, event);
}

void HttpService::OnAvailability(const QString&, bool) {
  // The state event that follows carries "up".
}

void HttpService::OnAlarm(const QString& name, const TAlarmEvent& event) {
  const QByteArray json = AlarmEventJson(event);
  QJsonObject named = QJsonDocument::fromJson(json).object();
  named["monitor"] = name;
  Broadcast(name, Event("alarm", json),
            Event("alarm", QJsonDocument(named).toJson(QJsonDocument::Compact)));
}

}  // namespace vemo::service

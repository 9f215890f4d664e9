// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Request routing and query parsing of the service's HTTP interface, as pure functions:
// nothing here touches a socket, so any byte string can be fed to them.

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>

namespace vemo::service {

enum class RouteKind {
  NotFound,
  MethodNotAllowed,
  Page,         // GET /
  Metrics,      // GET /metrics
  MonitorList,  // GET /api/v1/monitors
  Monitor,      // GET /api/v1/monitors/NAME
  History,      // GET /api/v1/monitors/NAME/history
  Report,       // GET /api/v1/monitors/NAME/report: the latest daily (?period=week: weekly)
  Stream,       // GET /api/v1/monitors/NAME/stream
  StreamAll,    // GET /api/v1/stream: every monitor (or those of ?monitors=a,b) on one stream
  ResetAlarm,   // POST /api/v1/monitors/NAME/reset-alarm
  Acknowledge,  // POST /api/v1/monitors/NAME/acknowledge
};

struct Route {
  RouteKind Kind = RouteKind::NotFound;
  QString Monitor;  // percent-decoded NAME, for the per-monitor routes
};

// method as sent ("GET", "POST", ...), path without the query. HEAD counts as GET.
Route RouteOf(const QByteArray& method, const QByteArray& path);

// "a=1&b=x%20y" -> {a: "1", b: "x y"}; the first of repeated keys wins; at most 32 keys,
// the rest are ignored.
std::map<QString, QString> ParseQuery(const QByteArray& query);

struct HistoryQuery {
  qint64 SinceMs = 0;
  qint64 StepMs = 0;
  int Columns = 0;
};

constexpr qint64 kDefaultHistorySpanMs = 10 * 60 * 1000;
constexpr qint64 kMinHistoryStepMs = 100;
constexpr int kMaxHistoryColumns = 10'000;

// since: milliseconds since the epoch, or a negative number of milliseconds before nowMs
// (default: 10 minutes back); step: milliseconds per point (default: span / 300, at least
// kMinHistoryStepMs). Empty when a value is no number, since lies in the future or the
// span would give more than kMaxHistoryColumns points.
std::optional<HistoryQuery> ParseHistoryQuery(const std::map<QString, QString>& query,
                                              qint64 nowMs);

// Length-independent comparison of a presented token with the configured one.
bool TokensEqual(const QByteArray& presented, const QByteArray& expected);

}  // namespace vemo::service

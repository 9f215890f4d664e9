// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service/Routing.h"

#include <QUrl>

#include <algorithm>

namespace vemo::service {

namespace {

constexpr int kMaxQueryKeys = 32;

QString Decoded(const QByteArray& part) {
  QByteArray bytes = part;
  bytes.replace('+', ' ');
  return QUrl::fromPercentEncoding(bytes);
}

std::optional<qint64> Number(const std::map<QString, QString>& query, const char* key) {
  const auto it = query.find(QString::fromLatin1(key));
  if (it == query.end()) return std::nullopt;
  bool ok = false;
  const qint64 value = it->second.toLongLong(&ok);
  if (!ok) return qint64{-1} << 62;  // marks a value that is present but no number
  return value;
}

}  // namespace

Route RouteOf(const QByteArray& method, const QByteArray& path) {
  const bool get = method == "GET" || method == "HEAD";
  const bool post = method == "POST";
  const auto only = [&](bool allowed, RouteKind kind, const QString& name = {}) {
    return allowed ? Route{kind, name} : Route{RouteKind::MethodNotAllowed, {}};
  };
  if (path == "/") return only(get, RouteKind::Page);
  if (path == "/metrics") return only(get, RouteKind::Metrics);
  if (path == "/api/v1/stream") return only(get, RouteKind::StreamAll);
  if (path == "/api/v1/monitors" || path == "/api/v1/monitors/")
    return only(get, RouteKind::MonitorList);
  static const QByteArray prefix = "/api/v1/monitors/";
  if (!path.startsWith(prefix)) return {};
  const QList<QByteArray> parts = path.mid(prefix.size()).split('/');
  if (parts.isEmpty() || parts.size() > 2 || parts[0].isEmpty()) return {};
  const QString name = Decoded(parts[0]);
  if (name.isEmpty() || name.contains(QChar('/'))) return {};
  if (parts.size() == 1) return only(get, RouteKind::Monitor, name);
  const QByteArray& action = parts[1];
  if (action == "history") return only(get, RouteKind::History, name);
  if (action == "report") return only(get, RouteKind::Report, name);
  if (action == "stream") return only(get, RouteKind::Stream, name);
  if (action == "reset-alarm") return only(post, RouteKind::ResetAlarm, name);
  if (action == "acknowledge") return only(post, RouteKind::Acknowledge, name);
  return {};
}

std::map<QString, QString> ParseQuery(const QByteArray& query) {
  std::map<QString, QString> out;
  int seen = 0;
  for (const QByteArray& pair : query.split('&')) {
    if (pair.isEmpty()) continue;
    if (++seen > kMaxQueryKeys) break;
    const qsizetype eq = pair.indexOf('=');
    const QString key = Decoded(eq < 0 ? pair : pair.left(eq));
    const QString value = eq < 0 ? QString() : Decoded(pair.mid(eq + 1));
    out.emplace(key, value);
  }
  return out;
}

std::optional<HistoryQuery> ParseHistoryQuery(const std::map<QString, QString>& query,
                                              qint64 nowMs) {
  constexpr qint64 kBad = qint64{-1} << 62;
  const std::optional<qint64> since = Number(query, "since");
  const std::optional<qint64> step = Number(query, "step");
  if (since == kBad || step == kBad) return std::nullopt;
  HistoryQuery h;
  if (!since)
    h.SinceMs = nowMs - kDefaultHistorySpanMs;
  else if (*since < 0)
    h.SinceMs = *since < -nowMs ? 0 : nowMs + *since;
  else
    h.SinceMs = *since;
  if (h.SinceMs >= nowMs) return std::nullopt;
  const qint64 span = nowMs - h.SinceMs;
  h.StepMs = step ? *step : std::max(kMinHistoryStepMs, span / 300);
  if (h.StepMs < kMinHistoryStepMs) return std::nullopt;
  // A step longer than the span is one point for all of it; a larger one would only
  // overflow the end time.
  h.StepMs = std::min(h.StepMs, std::max(span, kMinHistoryStepMs));
  const qint64 columns = span / h.StepMs + (span % h.StepMs != 0 ? 1 : 0);
  if (columns > kMaxHistoryColumns) return std::nullopt;
  h.Columns = static_cast<int>(columns);
  return h;
}

bool TokensEqual(const QByteArray& presented, const QByteArray& expected) {
  // Every byte of the longer one is looked at, whatever differs first.
  const qsizetype n = std::max(presented.size(), expected.size());
  unsigned diff = presented.size() == expected.size() ? 0u : 1u;
  for (qsizetype i = 0; i < n; ++i) {
    const auto a = static_cast<unsigned char>(i < presented.size() ? presented[i] : 0);
    const auto b = static_cast<unsigned char>(i < expected.size() ? expected[i] : 0);
    diff |= static_cast<unsigned>(a ^ b);
  }
  return diff == 0 && !expected.isEmpty();
}

}  // namespace vemo::service

// SPDX-License-Identifier: GPL-3.0-or-later
// The service's request routing and query parsing, fed what a client puts on the request
// line: "METHOD PATH?QUERY". Besides not crashing, the results must stay in their bounds:
// a per-monitor route names a monitor, a history query is never larger than allowed, and
// tokens match exactly when they are equal.

#include "app/service/Routing.h"

#include <cstdlib>

using namespace vemo::service;

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray line(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const qsizetype space = line.indexOf(' ');
  const QByteArray method = space < 0 ? line : line.left(space);
  const QByteArray target = space < 0 ? QByteArray() : line.mid(space + 1);
  const qsizetype mark = target.indexOf('?');
  const QByteArray path = mark < 0 ? target : target.left(mark);
  const QByteArray query = mark < 0 ? QByteArray() : target.mid(mark + 1);

  const Route route = RouteOf(method, path);
  // The one stream of every monitor names none.
  const bool perMonitor = route.Kind >= RouteKind::Monitor && route.Kind != RouteKind::StreamAll;
  Check(perMonitor == !route.Monitor.isEmpty());
  Check(!route.Monitor.contains(QChar('/')));

  const std::map<QString, QString> keys = ParseQuery(query);
  Check(keys.size() <= 32);
  constexpr qint64 kNowMs = 1'700'000'000'000;
  if (const auto history = ParseHistoryQuery(keys, kNowMs)) {
    Check(history->Columns >= 1 && history->Columns <= kMaxHistoryColumns);
    Check(history->StepMs >= kMinHistoryStepMs);
    Check(history->SinceMs <= kNowMs);
    // The end of the last point, as the history answer computes it, stays near now.
    Check(history->SinceMs + history->StepMs * history->Columns < 2 * kNowMs);
  }

  Check(TokensEqual(path, query) == (path == query && !query.isEmpty()));
  return 0;
}

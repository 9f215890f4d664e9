// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The baseline of the drift alarms from a stored history: the reference the operator set
// ("Set reference"), or else the median of the keyed minutes of the same hour of the day
// over the last 7 days. Raise StoreError.

#include "station/AlarmEvaluator.h"

#include <QtGlobal>

namespace vemo {

class SqliteDb;
class HistoryStore;

TDriftBaseline MedianBaseline(SqliteDb& db, qint64 nowMs);
// The reference set by the operator; all 0 when none is set.
TDriftBaseline StoredReference(SqliteDb& db);
// Sets the reference (all 0: clears it, so that the median serves again).
void StoreReference(SqliteDb& db, const TDriftBaseline& reference);
TDriftBaseline DriftBaselineOf(SqliteDb& db, qint64 nowMs);

// The baseline of one monitor, worked out again once an hour or when the reference
// changes; quiet (all 0) while the history cannot be read. Owned by the monitor's poller.
class DriftBaselineCache {
 public:
  const TDriftBaseline& At(HistoryStore& store, qint64 nowMs);
  void Invalidate() { hour_ = -1; }

 private:
  qint64 hour_ = -1;
  TDriftBaseline baseline_;
};

}  // namespace vemo

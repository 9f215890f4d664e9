// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The layout of a stored history and the queries on it, shared by the writer, the loading
// at start, the command-line export and the reports.
//
//   readings(time_ms, keyed, <the log's other columns, as the log writes them>)
//     a row with only time_ms and keyed is a gap (a failed or missing reading)
//   minutes(start_ms, count, gaps, forward_/reflected_/vswr_ min, max, sum,
//           alarm_ms, keyed_ms)
//   alarm_events(time_ms, id, source, event, value, level)
//   settings(key, value)
// Times are milliseconds since the epoch (UTC).

#include "station/Summary.h"

#include <QtGlobal>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vemo {

class SqliteDb;
class ReadingHistory;

// One minute of the summaries (or several merged: an hour, a day).
struct TStoredMinute {
  qint64 StartMs = 0;
  TSummary Summary;
  qint64 AlarmMs = 0;  // time with the monitor's alarm flag on
  qint64 KeyedMs = 0;  // time keyed

  void Merge(const TStoredMinute& o) {
    Summary.Merge(o.Summary);
    AlarmMs += o.AlarmMs;
    KeyedMs += o.KeyedMs;
  }
};

struct TStoredReading {
  qint64 TimeMs = 0;
  bool Gap = false;
  bool Keyed = false;
  std::vector<std::string> Fields;  // in the order of StoredColumns; empty for a gap
};

struct TStoredEvent {
  qint64 TimeMs = 0;
  qint64 Id = 0;
  std::string Source, Event;
  double Value = 0, Level = 0;
};

// Creates what is missing: the tables, and the log's columns (but "time" and "keyed") that
// an older file lacks. Raises StoreError.
void CreateHistorySchema(SqliteDb& db, const std::vector<std::string>& logColumns);

// The log's columns the file holds, in order (without time_ms and keyed).
std::vector<std::string> StoredColumns(SqliteDb& db);
// name as an SQL identifier.
std::string QuotedName(const std::string& name);

// Per-minute summaries of readings as they come: each reading counts toward the time in
// alarm and keyed until the next reading or gap, at most gapAfterMs.
class MinuteAccumulator {
 public:
  explicit MinuteAccumulator(qint64 gapAfterMs = 30'000) : gapAfterMs_(gapAfterMs) {}
  void Add(qint64 timeMs, const THistoryReading& reading, bool keyed);
  void AddGap(qint64 timeMs);
  // What changed since the last Take, per minute: to be merged into the stored minutes.
  std::map<qint64, TStoredMinute> Take();

 private:
  void Hold(qint64 untilMs);
  TStoredMinute& Minute(qint64 timeMs);

  qint64 gapAfterMs_;
  std::map<qint64, TStoredMinute> changed_;
  bool held_ = false;  // the latest entry is a reading
  qint64 heldMs_ = 0;
  bool heldAlarm_ = false, heldKeyed_ = false;
};

// Merges the changes into the stored minutes. Raises StoreError.
void MergeMinutes(SqliteDb& db, const std::map<qint64, TStoredMinute>& changed);

// Rows in [fromMs, toMs), in time order. Raise StoreError.
void ForEachReading(SqliteDb& db, qint64 fromMs, qint64 toMs,
                    const std::function<void(const TStoredReading&)>& f);
void ForEachMinute(SqliteDb& db, qint64 fromMs, qint64 toMs,
                   const std::function<void(const TStoredMinute&)>& f);
void ForEachEvent(SqliteDb& db, qint64 fromMs, qint64 toMs,
                  const std::function<void(const TStoredEvent&)>& f);

// Summaries per column of [fromMs, toMs) from the stored minutes, each minute in the
// column in which it starts (ReadingHistory::Decimate's columns). Raises StoreError.
void DecimateStored(SqliteDb& db, qint64 fromMs, qint64 toMs, int columns,
                    std::vector<TSummary>& out);

// The time of the oldest stored minute; 0 when there is none.
qint64 OldestStoredMs(SqliteDb& db);

// Fills history with the stored minutes before its raw window (ending at nowMs) and the
// raw readings within it. Raises StoreError.
void LoadHistory(SqliteDb& db, ReadingHistory& history, qint64 nowMs);

// A value kept in the settings table (a reference set by the operator); empty when unset.
std::string StoredSetting(SqliteDb& db, const std::string& key);
void StoreSetting(SqliteDb& db, const std::string& key, const std::string& value);

}  // namespace vemo

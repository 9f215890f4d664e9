// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/HistoryQueries.h"

#include "monitor/VSWRMon.h"
#include "station/ReadingHistory.h"
#include "store/Sqlite.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

namespace vemo {

namespace {

constexpr qint64 kMinuteMs = ReadingHistory::kMinuteMs;

qint64 FloorToMinute(qint64 t) {
  return t - ((t % kMinuteMs) + kMinuteMs) % kMinuteMs;
}

constexpr const char* kQuantities[] = {"forward", "reflected", "vswr"};

TValueRange TSummary::*const kRanges[] = {&TSummary::Forward, &TSummary::Reflected,
                                          &TSummary::VSWR};

// A range read back: NULL minimum and maximum where the minute had no reading.
void ReadRange(const SqliteStatement& s, int column, TValueRange& range) {
  if (!s.IsNull(column)) range.Min = static_cast<float>(s.Double(column));
  if (!s.IsNull(column + 1)) range.Max = static_cast<float>(s.Double(column + 1));
  range.Sum = s.Double(column + 2);
}

// SQLite stores NaN as NULL; a VSWR of infinity stays.
void BindValue(SqliteStatement& s, int i, float v) {
  if (std::isnan(v))
    s.BindNull(i);
  else
    s.Bind(i, static_cast<double>(v));
}

}  // namespace

std::string QuotedName(const std::string& name) {
  std::string q = "\"";
  for (const char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + '"';
}

void CreateHistorySchema(SqliteDb& db, const std::vector<std::string>& logColumns) {
  db.Exec(
      "CREATE TABLE IF NOT EXISTS readings(time_ms INTEGER NOT NULL, keyed INTEGER);"
      "CREATE INDEX IF NOT EXISTS readings_time ON readings(time_ms);"
      "CREATE TABLE IF NOT EXISTS minutes(start_ms INTEGER PRIMARY KEY, count INTEGER, "
      "gaps INTEGER, forward_min REAL, forward_max REAL, forward_sum REAL, reflected_min REAL, "
      "reflected_max REAL, reflected_sum REAL, vswr_min REAL, vswr_max REAL, vswr_sum REAL, "
      "alarm_ms INTEGER, keyed_ms INTEGER);"
      "CREATE TABLE IF NOT EXISTS alarm_events(time_ms INTEGER NOT NULL, id INTEGER, "
      "source TEXT, event TEXT, value REAL, level REAL);"
      "CREATE INDEX IF NOT EXISTS alarm_events_time ON alarm_events(time_ms);"
      "CREATE TABLE IF NOT EXISTS settings(key TEXT PRIMARY KEY, value TEXT);");
  const std::vector<std::string> have = StoredColumns(db);
  const std::set<std::string> present(have.begin(), have.end());
  // Untyped, so that each field keeps the text the log writes.
  for (const std::string& column : logColumns)
    if (column != "time" && column != "keyed" && !present.count(column))
      db.Exec("ALTER TABLE readings ADD COLUMN " + QuotedName(column));
}

std::vector<std::string> StoredColumns(SqliteDb& db) {
  std::vector<std::string> columns;
  SqliteStatement s = db.Prepare("SELECT name FROM pragma_table_info('readings') ORDER BY cid");
  while (s.Step()) {
    std::string name = s.Text(0);
    if (name != "time_ms" && name != "keyed") columns.push_back(std::move(name));
  }
  return columns;
}

TStoredMinute& MinuteAccumulator::Minute(qint64 timeMs) {
  const qint64 start = FloorToMinute(timeMs);
  TStoredMinute& m = changed_[start];
  m.StartMs = start;
  return m;
}

void MinuteAccumulator::Hold(qint64 untilMs) {
  if (!held_) return;
  held_ = false;
  const qint64 held = std::clamp<qint64>(untilMs - heldMs_, 0, gapAfterMs_);
  if (!heldAlarm_ && !heldKeyed_) return;
  TStoredMinute& m = Minute(heldMs_);
  if (heldAlarm_) m.AlarmMs += held;
  if (heldKeyed_) m.KeyedMs += held;
}

void MinuteAccumulator::Add(qint64 timeMs, const THistoryReading& reading, bool keyed) {
  Hold(timeMs);
  Minute(timeMs).Summary.Add(reading);
  held_ = true;
  heldMs_ = timeMs;
  heldAlarm_ = reading.Alarm;
  heldKeyed_ = keyed;
}

void MinuteAccumulator::AddGap(qint64 timeMs) {
  Hold(timeMs);
  Minute(timeMs).Summary.AddGap();
}

std::map<qint64, TStoredMinute> MinuteAccumulator::Take() {
  return std::exchange(changed_, {});
}

void MergeMinutes(SqliteDb& db, const std::map<qint64, TStoredMinute>& changed) {
  std::string sql =
      "INSERT INTO minutes VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?) ON CONFLICT(start_ms) DO UPDATE "
      "SET count = count + excluded.count, gaps = gaps + excluded.gaps, "
      "alarm_ms = alarm_ms + excluded.alarm_ms, keyed_ms = keyed_ms + excluded.keyed_ms";
  for (const std::string q : kQuantities)
    sql += ", " + q + "_min = min(coalesce(" + q + "_min, excluded." + q +
           "_min), coalesce(excluded." + q + "_min, " + q + "_min)), " + q +
           "_max = max(coalesce(" + q + "_max, excluded." + q + "_max), coalesce(excluded." + q +
           "_max, " + q + "_max)), " + q + "_sum = " + q + "_sum + excluded." + q + "_sum";
  SqliteStatement s = db.Prepare(sql);
  for (const auto& [start, m] : changed) {
    s.Reset();
    s.Bind(1, start);
    s.Bind(2, m.Summary.Count);
    s.Bind(3, m.Summary.Gaps);
    for (int q = 0; q < 3; ++q) {
      const TValueRange& r = m.Summary.*kRanges[q];
      if (m.Summary.HasData()) {
        BindValue(s, 4 + q * 3, r.Min);
        BindValue(s, 5 + q * 3, r.Max);
      }
      s.Bind(6 + q * 3, std::isnan(r.Sum) ? 0.0 : r.Sum);
    }
    s.Bind(13, m.AlarmMs);
    s.Bind(14, m.KeyedMs);
    s.Step();
  }
}

void ForEachReading(SqliteDb& db, qint64 fromMs, qint64 toMs,
                    const std::function<void(const TStoredReading&)>& f) {
  const std::vector<std::string> columns = StoredColumns(db);
  std::string sql = "SELECT time_ms, keyed";
  for (const std::string& c : columns) sql += ", " + QuotedName(c);
  sql += " FROM readings WHERE time_ms >= ? AND time_ms < ? ORDER BY time_ms, rowid";
  SqliteStatement s = db.Prepare(sql);
  s.Bind(1, fromMs);
  s.Bind(2, toMs);
  TStoredReading r;
  while (s.Step()) {
    r.TimeMs = s.Int(0);
    r.Keyed = s.Int(1) != 0;
    r.Gap = columns.empty() || s.IsNull(2);
    r.Fields.clear();
    if (!r.Gap)
      for (int i = 0; i < static_cast<int>(columns.size()); ++i) r.Fields.push_back(s.Text(2 + i));
    f(r);
  }
}

void ForEachMinute(SqliteDb& db, qint64 fromMs, qint64 toMs,
                   const std::function<void(const TStoredMinute&)>& f) {
  SqliteStatement s =
      db.Prepare("SELECT * FROM minutes WHERE start_ms >= ? AND start_ms < ? ORDER BY start_ms");
  s.Bind(1, fromMs);
  s.Bind(2, toMs);
  TStoredMinute m;
  while (s.Step()) {
    m = {};
    m.StartMs = s.Int(0);
    m.Summary.Count = s.Int(1);
    // The VSWR's sum covers every reading of the minute, as the writer summed it.
    m.Summary.Keyed = m.Summary.Count;
    m.Summary.Gaps = s.Int(2);
    for (int q = 0; q < 3; ++q) ReadRange(s, 3 + q * 3, m.Summary.*kRanges[q]);
    m.AlarmMs = s.Int(12);
    m.KeyedMs = s.Int(13);
    m.Summary.Alarm = m.AlarmMs > 0;
    f(m);
  }
}

void ForEachEvent(SqliteDb& db, qint64 fromMs, qint64 toMs,
                  const std::function<void(const TStoredEvent&)>& f) {
  SqliteStatement s = db.Prepare(
      "SELECT time_ms, id, source, event, value, level FROM alarm_events "
      "WHERE time_ms >= ? AND time_ms < ? ORDER BY time_ms, rowid");
  s.Bind(1, fromMs);
  s.Bind(2, toMs);
  while (s.Step()) f({s.Int(0), s.Int(1), s.Text(2), s.Text(3), s.Double(4), s.Double(5)});
}

void DecimateStored(SqliteDb& db, qint64 fromMs, qint64 toMs, int columns,
                    std::vector<TSummary>& out) {
  out.clear();
  if (columns <= 0 || columns > ReadingHistory::kMaxColumns || toMs <= fromMs) return;
  out.resize(static_cast<size_t>(columns));
  int i = 0;
  ForEachMinute(db, fromMs, toMs, [&](const TStoredMinute& m) {
    while (ReadingHistory::ColumnStart(fromMs, toMs, columns, i + 1) <= m.StartMs) ++i;
    out[static_cast<size_t>(i)].Merge(m.Summary);
  });
}

qint64 OldestStoredMs(SqliteDb& db) {
  SqliteStatement s = db.Prepare("SELECT min(start_ms) FROM minutes");
  return s.Step() && !s.IsNull(0) ? s.Int(0) : 0;
}

void LoadHistory(SqliteDb& db, ReadingHistory& history, qint64 nowMs) {
  const THistoryOptions& o = history.Options();
  // Raw readings from the first whole minute of the raw window on; the minutes before it
  // come from the summaries.
  const qint64 rawFrom = FloorToMinute(nowMs - o.RawWindowMs) + kMinuteMs;
  qint64 firstRaw = nowMs + 1;
  {
    SqliteStatement s = db.Prepare("SELECT min(time_ms) FROM readings WHERE time_ms >= ?");
    s.Bind(1, rawFrom);
    if (s.Step() && !s.IsNull(0)) firstRaw = FloorToMinute(s.Int(0));
  }
  ForEachMinute(db, nowMs - o.ArchiveWindowMs, std::min(firstRaw, nowMs + 1),
                [&](const TStoredMinute& m) {
                  history.AppendMinute({m.StartMs, m.Summary});
                });

  SqliteStatement s = db.Prepare(
      "SELECT time_ms, forward_w, reflected_w, alarm, forward_w IS NULL OR implausible = '1', "
      "frequency_hz, band FROM readings "
      "WHERE time_ms >= ? AND time_ms <= ? ORDER BY time_ms, rowid");
  s.Bind(1, firstRaw);
  s.Bind(2, nowMs);
  while (s.Step()) {
    const qint64 t = s.Int(0);
    // A reading taken without a rig, or with the rig's frequency not known, has no place.
    history.AppendPlace(t, s.IsNull(5) ? 0 : s.Double(5), s.IsNull(6) ? std::string() : s.Text(6));
    if (s.Int(4) != 0) {
      history.AppendGap(t);
      continue;
    }
    TMonitorReading reading;
    reading.Forward = static_cast<float>(s.Double(1));
    reading.Reflected = static_cast<float>(s.Double(2));
    reading.Alarm = s.Int(3) != 0;
    history.Append(t, HistoryReadingOf(reading));
  }
}

std::string StoredSetting(SqliteDb& db, const std::string& key) {
  SqliteStatement s = db.Prepare("SELECT value FROM settings WHERE key = ?");
  s.Bind(1, key);
  return s.Step() ? s.Text(0) : std::string();
}

void StoreSetting(SqliteDb& db, const std::string& key, const std::string& value) {
  SqliteStatement s = db.Prepare("INSERT OR REPLACE INTO settings VALUES(?, ?)");
  s.Bind(1, key);
  s.Bind(2, value);
  s.Step();
}

}  // namespace vemo

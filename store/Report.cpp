// SPDX-License-Identifier: GPL-3.0-or-later
// The report's periods and figures; its HTML and picture are in ReportHtml.cpp.
#include "store/Report.h"

#include "monitor/VSWRMon.h"
#include "station/ReadingHistory.h"
#include "store/HistoryQueries.h"
#include "store/HistoryStore.h"
#include "store/Sqlite.h"

#include <QDateTime>
#include <QRegularExpression>

#include <algorithm>
#include <map>
#include <utility>

namespace vemo {

namespace {

constexpr qint64 kMinuteMs = 60'000;
// A reading stands for the time until the next one, at most this long (as the summaries).
constexpr qint64 kHoldMs = TStoreOptions{}.GapAfterMs;
// An alarm tripped this long before the period and never cleared is not looked for.
constexpr qint64 kAlarmLookBackMs = 31 * kStoreDayMs;
// Picture columns: five minutes of a day, half an hour of a week.
constexpr int kDayColumns = 288;
constexpr int kWeekColumns = 336;

qint64 LocalMidnightMs(QDate day, const QTimeZone& zone) {
  return day.startOfDay(zone).toMSecsSinceEpoch();
}

std::optional<qint64> FirstTime(SqliteDb& db, const char* sql, const TReportPeriod& p) {
  SqliteStatement s = db.Prepare(sql);
  s.Bind(1, p.StartMs);
  s.Bind(2, p.EndMs);
  if (s.Step() && !s.IsNull(0)) return s.Int(0);
  return std::nullopt;
}

void GatherRaw(SqliteDb& db, const TReportPeriod& p, const TAlarmLevels& levels,
               TReportFigures& f) {
  SqliteStatement s = db.Prepare(
      "SELECT time_ms, keyed, forward_w, reflected_w, forward_w IS NULL OR implausible = '1' "
      "FROM readings WHERE time_ms >= ? AND time_ms < ? ORDER BY time_ms, rowid");
  s.Bind(1, p.StartMs);
  s.Bind(2, p.EndMs);
  if (levels.VSWRAbove > 0) f.AboveLimitMs = 0;
  // The latest reading, counted up to the next entry.
  bool held = false;
  qint64 heldMs = 0;
  THistoryReading last;
  const auto hold = [&](qint64 untilMs) {
    if (!held) return;
    held = false;
    const qint64 d = std::clamp<qint64>(untilMs - heldMs, 0, kHoldMs);
    f.CoveredMs += d;
    if (last.Keyed) f.KeyedMs += d;
    if (levels.OffAirBelow > 0 ? last.Forward >= levels.OffAirBelow : last.Keyed) f.OnAirMs += d;
    if (f.AboveLimitMs && last.Keyed && last.VSWR > levels.VSWRAbove) *f.AboveLimitMs += d;
  };
  while (s.Step()) {
    const qint64 t = s.Int(0);
    hold(t);
    if (s.Int(4) != 0) {
      f.Summary.AddGap();
      continue;
    }
    TMonitorReading reading;
    reading.Forward = static_cast<float>(s.Double(2));
    reading.Reflected = static_cast<float>(s.Double(3));
    last = HistoryReadingOf(reading);
    last.Keyed = s.Int(1) != 0;
    f.Summary.Add(last);
    held = true;
    heldMs = t;
  }
  hold(p.EndMs);
}

void GatherMinutes(SqliteDb& db, const TReportPeriod& p, TReportFigures& f) {
  ForEachMinute(db, p.StartMs, p.EndMs, [&](const TStoredMinute& m) {
    TSummary s = m.Summary;
    // A minute's VSWR covers all its readings; one never keyed says nothing of the match.
    if (m.KeyedMs == 0) {
      s.VSWR = {};
      s.Keyed = 0;
    }
    f.Summary.Merge(s);
    f.KeyedMs += m.KeyedMs;
    f.OnAirMs += m.KeyedMs;  // the summaries know keyed time only
    if (m.Summary.HasData()) f.CoveredMs += kMinuteMs;
  });
}

void GatherAlarms(SqliteDb& db, const TReportPeriod& p, TReportFigures& f) {
  std::vector<TReportAlarm> all;
  std::map<std::pair<std::string, qint64>, size_t> open;
  ForEachEvent(db, p.StartMs - kAlarmLookBackMs, p.EndMs, [&](const TStoredEvent& e) {
    const auto key = std::make_pair(e.Source, e.Id);
    if (e.Event == AlarmChangeName(AlarmChange::Tripped)) {
      // A trip of the same source under another id follows a restart: the earlier one
      // was never seen to clear, and cannot be active beside it.
      for (auto it = open.begin(); it != open.end();) {
        if (it->first.first == e.Source) {
          all[it->second].EndNotSeen = true;
          it = open.erase(it);
        } else {
          ++it;
        }
      }
      open[key] = all.size();
      all.push_back({.Source = e.Source,
                     .StartMs = e.TimeMs,
                     .EndMs = {},
                     .EndNotSeen = false,
                     .Value = e.Value,
                     .Level = e.Level});
    } else if (e.Event.starts_with(AlarmChangeName(AlarmChange::Cleared))) {
      // "cleared" or "cleared unacknowledged"
      if (const auto it = open.find(key); it != open.end()) {
        all[it->second].EndMs = e.TimeMs;
        open.erase(it);
      }
    }
  });
  for (TReportAlarm& a : all) {
    const bool active = a.EndNotSeen ? a.StartMs >= p.StartMs : !a.EndMs || *a.EndMs >= p.StartMs;
    if (active) f.Alarms.push_back(std::move(a));
  }
}

}  // namespace

TReportPeriod ReportPeriodOf(ReportSpan span, QDate day, const QTimeZone& zone) {
  TReportPeriod p;
  p.Span = span;
  p.Zone = zone;
  if (span == ReportSpan::Day) {
    p.First = day;
    p.Label = day.toString(Qt::ISODate);
  } else {
    p.First = day.addDays(1 - day.dayOfWeek());
    int year = 0;
    const int week = day.weekNumber(&year);
    p.Label = QStringLiteral("%1-W%2").arg(year, 4, 10, QChar('0')).arg(week, 2, 10, QChar('0'));
  }
  p.StartMs = LocalMidnightMs(p.First, zone);
  p.EndMs = LocalMidnightMs(p.First.addDays(span == ReportSpan::Day ? 1 : 7), zone);
  return p;
}

std::optional<TReportPeriod> ParseReportPeriod(const QString& text, const QTimeZone& zone) {
  static const QRegularExpression week(QStringLiteral("^(\\d{4})-W(\\d{2})$"));
  if (const QRegularExpressionMatch m = week.match(text); m.hasMatch()) {
    const int year = m.captured(1).toInt(), number = m.captured(2).toInt();
    // 4 January always lies in week 1.
    const QDate first = QDate(year, 1, 4).addDays((number - 1) * 7);
    int inYear = 0;
    if (number < 1 || first.weekNumber(&inYear) != number || inYear != year) return std::nullopt;
    return ReportPeriodOf(ReportSpan::Week, first, zone);
  }
  static const QRegularExpression day(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
  const QDate date = QDate::fromString(text, Qt::ISODate);
  if (!day.match(text).hasMatch() || !date.isValid()) return std::nullopt;
  return ReportPeriodOf(ReportSpan::Day, date, zone);
}

TReportPeriod PreviousReportPeriod(ReportSpan span, qint64 nowMs, const QTimeZone& zone) {
  const QDate today = QDateTime::fromMSecsSinceEpoch(nowMs, zone).date();
  return ReportPeriodOf(span, today.addDays(span == ReportSpan::Day ? -1 : -7), zone);
}

QString ReportFileName(const QString& monitor, const TReportPeriod& period) {
  return monitor + QLatin1Char('-') + period.Label + QStringLiteral(".html");
}

TReportFigures GatherReport(SqliteDb& db, const TReportPeriod& period, const TAlarmLevels& levels) {
  TReportFigures f;
  const std::optional<qint64> firstRaw =
      FirstTime(db, "SELECT min(time_ms) FROM readings WHERE time_ms >= ? AND time_ms < ?", period);
  // The summaries up to the first raw reading's minute, the readings from there on: the
  // minute summarises those same readings.
  const qint64 rawFrom = firstRaw ? *firstRaw - *firstRaw % kMinuteMs : period.EndMs;
  if (rawFrom > period.StartMs) {
    TReportPeriod head = period;
    head.EndMs = rawFrom;
    GatherMinutes(db, head, f);
    if (f.Summary.HasData() || f.Summary.Gaps > 0) f.SummariesUntilMs = rawFrom;
  }
  if (firstRaw) {
    TReportPeriod tail = period;
    tail.StartMs = std::max(rawFrom, period.StartMs);
    GatherRaw(db, tail, levels, f);
  }
  f.FromRaw = firstRaw && !f.SummariesUntilMs;
  GatherAlarms(db, period, f);
  DecimateStored(db, period.StartMs, period.EndMs,
                 period.Span == ReportSpan::Day ? kDayColumns : kWeekColumns, f.Trend);
  return f;
}

TReport BuildReport(const std::string& path, const QString& monitor, const TReportPeriod& period,
                    const TAlarmLevels& levels, qint64 madeMs) {
  SqliteDb db(path, SqliteDb::Mode::ReadOnly);
  return RenderReport(monitor, period, levels, GatherReport(db, period, levels), madeMs);
}

QString DurationText(qint64 ms) {
  const qint64 s = (ms + 500) / 1000;
  const auto two = [](qint64 v) { return QStringLiteral("%1").arg(v, 2, 10, QChar('0')); };
  if (s >= 3600)
    return QStringLiteral("%1 h %2 min %3 s").arg(s / 3600).arg(two(s / 60 % 60)).arg(two(s % 60));
  if (s >= 60) return QStringLiteral("%1 min %2 s").arg(s / 60).arg(two(s % 60));
  return QStringLiteral("%1 s").arg(s);
}

}  // namespace vemo

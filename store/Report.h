// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The daily and weekly report of one monitor, from its stored history: time on the air and
// keyed, forward power and VSWR, time above the VSWR limit, every alarm with its duration,
// and a small trend picture. The same report for the window, the service and the tool.
//
// Periods are local days or ISO weeks in a given time zone, so a day with a change of
// daylight saving time has 23 or 25 hours. Figures come from the raw readings where they
// are still kept (exact), before that from the per-minute summaries.

#include "station/AlarmEvaluator.h"
#include "station/Summary.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QTimeZone>

#include <optional>
#include <string>
#include <vector>

namespace vemo {

class SqliteDb;

enum class ReportSpan { Day, Week };

struct TReportPeriod {
  ReportSpan Span = ReportSpan::Day;
  QDate First;  // the day, or the Monday of the week
  QTimeZone Zone;
  qint64 StartMs = 0, EndMs = 0;  // [StartMs, EndMs), UTC
  QString Label;                  // "2026-12-08", "2026-W50"
};

// The local day, or the ISO week (Monday to Sunday) that holds day.
TReportPeriod ReportPeriodOf(ReportSpan span, QDate day, const QTimeZone& zone);
// "YYYY-MM-DD" or "YYYY-Www"; empty for anything else (or a week the year lacks).
std::optional<TReportPeriod> ParseReportPeriod(const QString& text, const QTimeZone& zone);
// The last whole day (or week) before nowMs.
TReportPeriod PreviousReportPeriod(ReportSpan span, qint64 nowMs, const QTimeZone& zone);
// "NAME-2026-12-08.html", "NAME-2026-W50.html".
QString ReportFileName(const QString& monitor, const TReportPeriod& period);

struct TReportAlarm {
  std::string Source;  // AlarmSourceName
  qint64 StartMs = 0;
  std::optional<qint64> EndMs;  // none: still active at the end of the period
  bool EndNotSeen = false;      // the program stopped before it cleared
  double Value = 0, Level = 0;  // at the trip
};

struct TReportFigures {
  bool FromRaw = false;  // wholly from the raw readings
  // The raw readings are pruned sooner than the summaries: up to this time (a whole
  // minute) the figures come from the summaries, which know keyed time only.
  std::optional<qint64> SummariesUntilMs;
  TSummary Summary;      // the readings of the period
  qint64 CoveredMs = 0;  // with readings
  qint64 OnAirMs = 0;    // forward at or above the off-air level (keyed without that level)
  qint64 KeyedMs = 0;
  // VSWR above its limit while keyed, counted where there are raw readings; none: unknown.
  std::optional<qint64> AboveLimitMs;
  std::vector<TReportAlarm> Alarms;  // those active at some time of the period
  std::vector<TSummary> Trend;       // one column per picture column

  bool HasData() const { return Summary.HasData(); }
};

// Reads what the period needs; raises StoreError. levels: the VSWR limit (VSWRAbove) and
// the off-air level (OffAirBelow) the station uses; 0 for none.
TReportFigures GatherReport(SqliteDb& db, const TReportPeriod& period, const TAlarmLevels& levels);

struct TReport {
  QString Html;        // one self-contained document
  QByteArray Picture;  // the trend as PNG, also inside Html as a data: URI
  QString PictureUri;
};

// madeMs: when the report is made, stated at its foot.
TReport RenderReport(const QString& monitor, const TReportPeriod& period,
                     const TAlarmLevels& levels, const TReportFigures& figures, qint64 madeMs);

// Gathers and renders from the database at path (opened read-only, beside its writer).
// Raises StoreError when the file cannot be read.
TReport BuildReport(const std::string& path, const QString& monitor, const TReportPeriod& period,
                    const TAlarmLevels& levels, qint64 madeMs);

// "3 h 02 min 05 s", "45 s".
QString DurationText(qint64 ms);

}  // namespace vemo

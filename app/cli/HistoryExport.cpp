// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/HistoryExport.h"

#include "station/IsoTime.h"
#include "station/ReadingCsv.h"
#include "store/HistoryQueries.h"
#include "store/Sqlite.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <charconv>
#include <tuple>
#include <vector>

namespace vemo::cli {

namespace {

const char* const kSummaryHeader =
    "time,readings,gaps,forward_min_w,forward_mean_w,forward_max_w,reflected_min_w,"
    "reflected_mean_w,reflected_max_w,vswr_min,vswr_mean,vswr_max,alarm_s,keyed_s";

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", v);
  return text;
}

// The minute, hour or day that holds timeMs: [start, end). Hours are whole hours of UTC
// (local hours too but in a few half-hour zones); days are local days, or UTC ones with
// --utc, so that a day holds 23 or 25 hours when the clocks change.
std::pair<qint64, qint64> Bucket(qint64 timeMs, HistorySummary summary) {
  const qint64 length = summary == HistorySummary::Minute ? 60'000 : 3'600'000;
  if (summary != HistorySummary::Day)
    return {timeMs - timeMs % length, timeMs - timeMs % length + length};
  const QTimeZone zone = IsoTimesInUtc() ? QTimeZone::utc() : QTimeZone::systemTimeZone();
  const QDate day = QDateTime::fromMSecsSinceEpoch(timeMs, zone).date();
  return {day.startOfDay(zone).toMSecsSinceEpoch(),
          day.addDays(1).startOfDay(zone).toMSecsSinceEpoch()};
}

class Table {
 public:
  Table(std::FILE* out, bool csv) : out_(out), csv_(csv) {}
  void Row(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
      if (csv_) {
        line += (i ? "," : "") + CsvField(fields[i]);
        continue;
      }
      if (i) line += "  ";
      // Columns as wide as the header's names, the time's as wide as a time.
      const size_t width = i == 0 ? 29 : widths_.empty() ? 0 : widths_[i];
      line += fields[i] + std::string(width > fields[i].size() ? width - fields[i].size() : 0, ' ');
    }
    while (!csv_ && !line.empty() && line.back() == ' ') line.pop_back();
    if (widths_.empty())
      for (const std::string& f : fields) widths_.push_back(f.size());
    std::fputs((line + '\n').c_str(), out_);
  }

 private:
  std::FILE* out_;
  bool csv_;
  std::vector<size_t> widths_;
};

void WriteSummary(Table& table, const TStoredMinute& m) {
  const TSummary& s = m.Summary;
  std::vector<std::string> row = {IsoTime(m.StartMs), std::to_string(s.Count),
                                  std::to_string(s.Gaps)};
  const auto range = [&](const TValueRange& r, double mean) {
    for (const double v : {static_cast<double>(r.Min), mean, static_cast<double>(r.Max)})
      row.push_back(s.HasData() ? Number(v) : std::string());
  };
  range(s.Forward, s.MeanForward());
  range(s.Reflected, s.MeanReflected());
  range(s.VSWR, s.MeanVSWR());
  row.push_back(Number(static_cast<double>(m.AlarmMs) / 1000));
  row.push_back(Number(static_cast<double>(m.KeyedMs) / 1000));
  table.Row(row);
}

}  // namespace

int ExportHistory(const THistoryExport& e, std::FILE* out, std::FILE* err) {
  const qint64 from = e.FromMs.value_or(0);
  const qint64 to = e.ToMs.value_or(QDateTime::currentMSecsSinceEpoch() + 1);
  try {
    SqliteDb db(e.Database, SqliteDb::Mode::ReadOnly);
    const std::vector<std::string> columns = StoredColumns(db);
    if (columns.empty()) throw StoreError(0, "it holds no readings table");
    Table table(out, e.Csv);
    if (e.Summary == HistorySummary::None) {
      // The log's order: keyed follows the alarms (last in a file written before they were
      // stored).
      const auto alarms = std::find(columns.begin(), columns.end(), "alarms");
      const size_t keyedAt =
          1 + static_cast<size_t>(alarms - columns.begin()) + (alarms == columns.end() ? 0 : 1);
      std::vector<std::string> header = {"time"};
      header.insert(header.end(), columns.begin(), columns.end());
      header.insert(header.begin() + static_cast<std::ptrdiff_t>(keyedAt), "keyed");
      table.Row(header);
      std::vector<std::string> row;
      ForEachReading(db, from, to, [&](const TStoredReading& r) {
        if (r.Gap) return;
        row = {IsoTime(r.TimeMs)};
        row.insert(row.end(), r.Fields.begin(), r.Fields.end());
        row.insert(row.begin() + static_cast<std::ptrdiff_t>(keyedAt), r.Keyed ? "1" : "0");
        table.Row(row);
      });
      return 0;
    }
    table.Row(CsvHeaderColumns(kSummaryHeader));
    TStoredMinute bucket;
    qint64 bucketEnd = 0;
    bool any = false;
    ForEachMinute(db, from, to, [&](const TStoredMinute& m) {
      if (!any || m.StartMs >= bucketEnd) {
        if (any) WriteSummary(table, bucket);
        bucket = {};
        std::tie(bucket.StartMs, bucketEnd) = Bucket(m.StartMs, e.Summary);
        any = true;
      }
      bucket.Merge(m);
    });
    if (any) WriteSummary(table, bucket);
    return 0;
  } catch (const StoreError& x) {
    std::fflush(out);
    std::fprintf(err,
                 "vemoswr-cli: cannot read the history %s: %s. Give the database of a monitor "
                 "(NAME.sqlite in the program's or the service's data folder).\n",
                 e.Database.c_str(), x.what());
    return 1;
  }
}

}  // namespace vemo::cli

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/trend/TrendExport.h"

#include "monitor/VSWRMon.h"
#include "station/IsoTime.h"
#include "station/ReadingCsv.h"
#include "station/ReadingHistory.h"
#include "station/Readout.h"

namespace vemo {

namespace {

void AppendRange(std::string& line, const TValueRange& r, double mean) {
  for (double v : {static_cast<double>(r.Min), static_cast<double>(r.Max), mean})
    line += ',' + FormatNumber("%.6g", v);
}

}  // namespace

std::string TrendCsv(const ReadingHistory& history, qint64 fromMs, qint64 toMs) {
  std::string csv;
  if (fromMs >= history.RawFromMs()) {
    csv = std::string(kReadingCsvHeader) + '\n';
    for (const THistoryEntry& e : history.Entries(fromMs, toMs)) {
      if (e.Gap) continue;
      TMonitorReading reading;
      reading.Forward = e.Reading.Forward;
      reading.Reflected = e.Reading.Reflected;
      reading.Alarm = e.Reading.Alarm;
      csv += ReadingCsvRow(e.TimeMs, reading) + '\n';
    }
    return csv;
  }
  csv = std::string(kTrendMinutesCsvHeader) + '\n';
  for (const TArchiveMinute& m : history.Minutes(fromMs, toMs)) {
    const TSummary& s = m.Summary;
    std::string line =
        IsoTime(m.StartMs) + ',' + std::to_string(s.Count) + ',' + std::to_string(s.Gaps);
    if (s.HasData()) {
      AppendRange(line, s.Forward, s.MeanForward());
      AppendRange(line, s.Reflected, s.MeanReflected());
      AppendRange(line, s.VSWR, s.MeanVSWR());
    } else {
      line += ",,,,,,,,,";
    }
    csv += line + ',' + (s.Alarm ? '1' : '0') + '\n';
  }
  return csv;
}

}  // namespace vemo

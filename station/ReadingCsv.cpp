// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/ReadingCsv.h"

#include "monitor/VSWRMon.h"
#include "station/AlarmEvaluator.h"
#include "station/IsoTime.h"
#include "station/Plausibility.h"
#include "station/Readout.h"

namespace vemo {

namespace {

std::string Trimmed(const std::string& s) {
  const size_t first = s.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : s.substr(first);
}

}  // namespace

std::string ReadingCsvRow(qint64 timeMs, const TMonitorReading& reading) {
  // The columns do not depend on the display unit, so the full scale does not matter.
  const TReadout r = DeriveReadout(reading.Forward, reading.Reflected, 0);
  return IsoTime(timeMs) + ',' + FormatNumber("%.6g", reading.Forward) + ',' +
         FormatNumber("%.6g", reading.Reflected) + ',' + Trimmed(r.VSWRText) + ',' +
         Trimmed(r.ReturnLossText) + ',' + Trimmed(r.RhoText) + ',' + Trimmed(r.TransmittedText) +
         ',' + Trimmed(r.DBmText) + ',' + (reading.Alarm ? '1' : '0') + ',' +
         (JudgeReading(reading) != Implausibility::None ? '1' : '0');
}

std::string ReadingLogCsvRow(qint64 timeMs, const TMonitorReading& reading,
                             const TReadingMarks& marks) {
  std::string alarms;
  for (int i = 0; i < kAlarmSourceCount; ++i) {
    const auto source = static_cast<AlarmSource>(i);
    if (!(marks.Alarms & AlarmSourceBit(source))) continue;
    if (!alarms.empty()) alarms += '+';
    alarms += AlarmSourceName(source);
  }
  return ReadingCsvRow(timeMs, reading) + ',' + alarms + ',' + (marks.Keyed ? '1' : '0');
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + '"';
}

std::string ReadingCsvRigFields(const TReadingPlace& place) {
  // A band named by the user may hold a comma or a quote.
  return ',' + (place.FrequencyHz > 0 ? FormatNumber("%.0f", place.FrequencyHz) : std::string()) +
         ',' + CsvField(place.Band) + ',' + FormatNumber("%.6g", place.ForwardRaw) + ',' +
         FormatNumber("%.6g", place.ReflectedRaw);
}

}  // namespace vemo

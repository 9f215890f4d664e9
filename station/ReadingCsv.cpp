// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/ReadingCsv.h"

#include "monitor/VSWRMon.h"
#include "station/AlarmEvaluator.h"
#include "station/IsoTime.h"
#include "station/Plausibility.h"
#include "station/Readout.h"

#include <array>

namespace vemo {

namespace {

std::string Trimmed(const std::string& s) {
  const size_t first = s.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : s.substr(first);
}

// The fields of kReadingCsvHeader.
std::vector<std::string> ReadingCsvFields(qint64 timeMs, const TMonitorReading& reading) {
  // The columns do not depend on the display unit, so the full scale does not matter.
  const TReadout r = DeriveReadout(reading.Forward, reading.Reflected, 0);
  return {IsoTime(timeMs),
          FormatNumber("%.6g", reading.Forward),
          FormatNumber("%.6g", reading.Reflected),
          Trimmed(r.VSWRText),
          Trimmed(r.ReturnLossText),
          Trimmed(r.RhoText),
          Trimmed(r.TransmittedText),
          Trimmed(r.DBmText),
          reading.Alarm ? "1" : "0",
          JudgeReading(reading) != Implausibility::None ? "1" : "0"};
}

// The fields of kReadingCsvRigColumns, unquoted.
std::array<std::string, 4> RigFields(const TReadingPlace& place) {
  return {place.FrequencyHz > 0 ? FormatNumber("%.0f", place.FrequencyHz) : std::string(),
          place.Band, FormatNumber("%.6g", place.ForwardRaw),
          FormatNumber("%.6g", place.ReflectedRaw)};
}

std::string Joined(const std::vector<std::string>& fields, size_t count) {
  std::string row;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) row += ',';
    row += fields[i];
  }
  return row;
}

}  // namespace

std::vector<std::string> CsvHeaderColumns(const std::string& header) {
  std::vector<std::string> columns;
  for (size_t from = 0;;) {
    const size_t comma = header.find(',', from);
    columns.push_back(header.substr(from, comma - from));
    if (comma == std::string::npos) return columns;
    from = comma + 1;
  }
}

std::string ReadingCsvRow(qint64 timeMs, const TMonitorReading& reading) {
  const std::vector<std::string> fields = ReadingCsvFields(timeMs, reading);
  return Joined(fields, fields.size());
}

std::vector<std::string> ReadingLogCsvColumns() {
  return CsvHeaderColumns(std::string(kReadingLogCsvHeader) + kReadingCsvRigColumns);
}

std::vector<std::string> ReadingLogCsvFields(qint64 timeMs, const TMonitorReading& reading,
                                             const TReadingMarks& marks,
                                             const TReadingPlace* place) {
  std::vector<std::string> fields = ReadingCsvFields(timeMs, reading);
  std::string alarms;
  for (int i = 0; i < kAlarmSourceCount; ++i) {
    const auto source = static_cast<AlarmSource>(i);
    if (!(marks.Alarms & AlarmSourceBit(source))) continue;
    if (!alarms.empty()) alarms += '+';
    alarms += AlarmSourceName(source);
  }
  fields.push_back(std::move(alarms));
  fields.push_back(marks.Keyed ? "1" : "0");
  if (place) {
    for (std::string& field : RigFields(*place)) fields.push_back(std::move(field));
  } else {
    fields.resize(fields.size() + 4);
  }
  return fields;
}

std::string ReadingLogCsvRow(qint64 timeMs, const TMonitorReading& reading,
                             const TReadingMarks& marks) {
  // The log's own columns: the rig's follow only where a rig is known.
  static const size_t kLogColumns = CsvHeaderColumns(kReadingLogCsvHeader).size();
  return Joined(ReadingLogCsvFields(timeMs, reading, marks), kLogColumns);
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + '"';
}

std::string ReadingCsvRigFields(const TReadingPlace& place) {
  std::array<std::string, 4> fields = RigFields(place);
  // A band named by the user may hold a comma or a quote.
  fields[1] = CsvField(place.Band);
  std::string text;
  for (const std::string& field : fields) text += ',' + field;
  return text;
}

}  // namespace vemo

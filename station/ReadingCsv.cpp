#include "station/ReadingCsv.h"

#include "monitor/VSWRMon.h"
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

std::string ReadingCsvRow(qint64 timeMs, const TMonitorReading& reading) {
  std::string row;
  for (const std::string& field : ReadingCsvFields(timeMs, reading)) {
    if (!row.empty()) row += ',';
    row += field;
  }
  return row;
}

std::vector<std::string> ReadingCsvColumns() {
  std::vector<std::string> columns;
  const std::string header = kReadingCsvHeader;
  for (size_t from = 0;;) {
    const size_t comma = header.find(',', from);
    columns.push_back(header.substr(from, comma - from));
    if (comma == std::string::npos) return columns;
    from = comma + 1;
  }
}

}  // namespace vemo

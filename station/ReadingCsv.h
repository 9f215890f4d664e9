// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The CSV form of a reading, shared by the command-line tool's output and the log file
// so that the two never disagree. Numbers always use "." whatever the locale.

#include <QtGlobal>

#include <string>
#include <vector>

namespace vemo {

struct TMonitorReading;

inline constexpr char kReadingCsvHeader[] =
    "time,forward_w,reflected_w,vswr,return_loss_db,rho,transmitted_pct,dbm,alarm,implausible";

// One line without its newline: the time (IsoTime), the powers in watts, the derived
// quantities as the read-outs show them, the alarm, and 1 for an implausible reading
// (JudgeReading; last, so that spreadsheets made for the earlier columns still fit).
std::string ReadingCsvRow(qint64 timeMs, const TMonitorReading& reading);

// The log of readings adds, after those columns, what the program made of the reading:
// `alarms`, the program's own alarms active then ("vswr+offair", empty for none), and
// `keyed`, 1 when the transmitter counted as keyed (0: its VSWR means nothing).
inline constexpr char kReadingLogCsvHeader[] =
    "time,forward_w,reflected_w,vswr,return_loss_db,rho,transmitted_pct,dbm,alarm,implausible,"
    "alarms,keyed";

struct TReadingMarks {
  unsigned Alarms = 0;  // AlarmSourceBit of each active source
  bool Keyed = true;
};
std::string ReadingLogCsvRow(qint64 timeMs, const TMonitorReading& reading,
                             const TReadingMarks& marks);

// Where a reading was taken, when the meter sits behind a rig: its columns follow the
// others, so that files made before a rig was configured still line up.
inline constexpr char kReadingCsvRigColumns[] = ",frequency_hz,band,forward_raw_w,reflected_raw_w";

struct TReadingPlace {
  double FrequencyHz = 0;  // 0: not known (an empty field)
  std::string Band;        // empty: outside every band, or not known
  float ForwardRaw = 0;    // the monitor's own values, before the band's correction
  float ReflectedRaw = 0;
};
// text as one CSV field: quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);

// The fields kReadingCsvRigColumns names, each with its leading comma.
std::string ReadingCsvRigFields(const TReadingPlace& place);

// The names in a header line such as kReadingCsvHeader, in order.
std::vector<std::string> CsvHeaderColumns(const std::string& header);

// The log's columns as the stored history keeps them: kReadingLogCsvHeader's, then
// kReadingCsvRigColumns'. The stored history keeps every field but the time under its
// column's name, so a column added here is stored too.
std::vector<std::string> ReadingLogCsvColumns();
// One field per column of ReadingLogCsvColumns, as the log writes it but unquoted; without
// a place the rig's fields are empty.
std::vector<std::string> ReadingLogCsvFields(qint64 timeMs, const TMonitorReading& reading,
                                             const TReadingMarks& marks,
                                             const TReadingPlace* place = nullptr);

}  // namespace vemo

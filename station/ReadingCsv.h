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

// The same line as fields, one per column of the header. The stored history keeps every
// field but the time under its column's name, so a column added here is stored too.
std::vector<std::string> ReadingCsvFields(qint64 timeMs, const TMonitorReading& reading);
// The names of the header's columns, in order.
std::vector<std::string> ReadingCsvColumns();

}  // namespace vemo

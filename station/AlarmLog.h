// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The alarm log: a CSV file with one line per alarm event, as it happens, so that nothing
// waits for an alarm to clear before it is on disk:
//   time,source,event,value,level
//   2024-03-01T12:00:00.345,vswr,tripped,2.31,2
//   2024-03-01T12:00:09.120,vswr,acknowledged,2.31,2
//   2024-03-01T12:01:30.002,vswr,cleared,1.62,2
// "cleared unacknowledged" marks an alarm that went before anyone acknowledged it. Times
// are local, with milliseconds; numbers use "." whatever the locale. The header is
// written once at the top of a new file; trouble writing is told once, never thrown
// (see AppendingFile).

#include "station/AlarmEvaluator.h"
#include "station/AppendingFile.h"

#include <string>

namespace vemo {

extern const char* const kAlarmCsvHeader;

// The event's value as the log, the hook and the command-line tool write it: VSWR with two
// decimals, watts as the reading log writes them, seconds with one decimal, 1/0 for a flag.
std::string AlarmValueText(AlarmSource source, double value);
// "tripped", "acknowledged", "cleared" or "cleared unacknowledged".
std::string AlarmEventText(const TAlarmEvent& event);
std::string AlarmCsvRow(const TAlarmEvent& event);

class AlarmLog {
 public:
  using Notify = AppendingFile::Notify;

  AlarmLog(std::string path, Notify notify = {});

  // False if the event was not logged.
  bool Write(const TAlarmEvent& event);

  const std::string& Path() const { return path_; }
  bool Failing() const { return file_.Failing(); }
  qint64 NotLogged() const { return file_.NotWritten(); }

 private:
  std::string path_;
  AppendingFile file_;
};

}  // namespace vemo

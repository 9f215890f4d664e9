// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The CSV log of readings: one line per reading, written straight to the file (nothing
// waits in a buffer), the header once at the top of a new or empty file. A file begun
// without the columns `alarms` and `keyed` goes on without them; with a rig, a new file
// also gets the reading's place (kReadingCsvRigColumns), and a file begun with them keeps
// them (empty where the rig gave nothing). Optionally one
// file per local day: "name.csv" becomes "name-YYYY-MM-DD.csv".
//
// A reading that cannot be written (folder removed, disk full, file cannot be opened) is
// counted, and the caller hears of the trouble once, with a message for the user; every
// later reading tries again (reopening the file), and the caller hears when logging
// resumes. A file removed or replaced while logging is reopened (a new file gets its
// header). Nothing here throws.

#include "station/AppendingFile.h"
#include "station/ReadingCsv.h"

#include <QtGlobal>

#include <string>

namespace vemo {

struct TMonitorReading;

class ReadingLog {
 public:
  // failing is true when logging stops, false when it resumes.
  using Notify = AppendingFile::Notify;

  // rig: new files get the columns of the reading's place.
  ReadingLog(std::string path, bool daily, Notify notify = {}, bool rig = false);
  ReadingLog(const ReadingLog&) = delete;
  ReadingLog& operator=(const ReadingLog&) = delete;

  // Appends the reading taken at timeMs (ms since the epoch); false if it was not logged.
  // place: where it was taken, and the monitor's own values; none without a rig.
  bool Write(qint64 timeMs, const TMonitorReading& reading, const TReadingMarks& marks = {},
             const TReadingPlace* place = nullptr);

  // The file a reading taken at timeMs goes to.
  std::string FileFor(qint64 timeMs) const;
  const std::string& Path() const { return path_; }
  bool Daily() const { return daily_; }
  bool Failing() const { return file_.Failing(); }
  // Readings not logged since this log was started.
  qint64 NotLogged() const { return file_.NotWritten(); }

 private:
  std::string path_;
  bool daily_;
  AppendingFile file_;
};

}  // namespace vemo

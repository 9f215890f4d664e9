#pragma once
// The CSV log of readings: one line per reading, written straight to the file (nothing
// waits in a buffer), the header once at the top of a new or empty file. Optionally one
// file per local day: "name.csv" becomes "name-YYYY-MM-DD.csv".
//
// A reading that cannot be written (folder removed, disk full, file cannot be opened) is
// counted, and the caller hears of the trouble once, with a message for the user; every
// later reading tries again (reopening the file), and the caller hears when logging
// resumes. A file removed or replaced while logging is reopened (a new file gets its
// header). Nothing here throws.

#include <QtGlobal>

#include <functional>
#include <string>

#include <sys/types.h>

namespace vemo {

struct TMonitorReading;

class ReadingLog {
 public:
  // failing is true when logging stops, false when it resumes.
  using Notify = std::function<void(bool failing, const std::string& message)>;

  ReadingLog(std::string path, bool daily, Notify notify = {});
  ~ReadingLog();
  ReadingLog(const ReadingLog&) = delete;
  ReadingLog& operator=(const ReadingLog&) = delete;

  // Appends the reading taken at timeMs (ms since the epoch); false if it was not logged.
  bool Write(qint64 timeMs, const TMonitorReading& reading);

  // The file a reading taken at timeMs goes to.
  std::string FileFor(qint64 timeMs) const;
  const std::string& Path() const { return path_; }
  bool Daily() const { return daily_; }
  bool Failing() const { return failing_; }
  // Readings not logged since this log was started.
  qint64 NotLogged() const { return notLogged_; }

 private:
  bool Append(const std::string& file, const std::string& line, std::string& error);
  bool Open(const std::string& file, std::string& error);
  bool StillOpenAt(const std::string& file) const;
  void Close();

  std::string path_;
  bool daily_;
  Notify notify_;
  int fd_ = -1;
  std::string file_;  // the file fd_ was opened on
  dev_t device_ = 0;
  ino_t inode_ = 0;
  bool failing_ = false;
  qint64 notLogged_ = 0;
};

}  // namespace vemo

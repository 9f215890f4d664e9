// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A text file that lines are appended to, each straight to the file (nothing waits in a
// buffer), with a header line at the top of a new or empty file. The logs of readings and
// of alarms share it.
//
// A line that cannot be written (folder removed, disk full, file cannot be opened) is
// counted, and the owner hears of the trouble once, with a message for the user; every
// later line tries again (reopening the file), and the owner hears when writing resumes.
// A file removed or replaced meanwhile is reopened (a new file gets its header). A line
// cut short by a full disk is taken back. Nothing here throws.

#include <QtGlobal>

#include <functional>
#include <string>

#include <sys/types.h>

namespace vemo {

class AppendingFile {
 public:
  // failing is true when writing stops, false when it resumes.
  using Notify = std::function<void(bool failing, const std::string& message)>;

  // singular and plural name what a line holds in the messages ("reading", "readings").
  AppendingFile(std::string header, std::string singular, std::string plural, Notify notify);
  ~AppendingFile();
  AppendingFile(const AppendingFile&) = delete;
  AppendingFile& operator=(const AppendingFile&) = delete;

  // Appends line (without its line break) to file; false if it was not written.
  bool Write(const std::string& file, const std::string& line);
  // The same, with the line made for the header the file has (a file begun by an earlier
  // version keeps its own columns).
  using LineFor = std::function<std::string(const std::string& fileHeader)>;
  bool Write(const std::string& file, const LineFor& line);

  bool Failing() const { return failing_; }
  // Lines not written since this object was made.
  qint64 NotWritten() const { return notWritten_; }

 private:
  bool Append(const std::string& file, const LineFor& line, std::string& error);
  bool Open(const std::string& file, std::string& error);
  bool StillOpenAt(const std::string& file) const;
  void Close();

  std::string header_;
  std::string singular_, plural_;
  Notify notify_;
  int fd_ = -1;
  std::string file_;  // the file fd_ was opened on
  dev_t device_ = 0;
  ino_t inode_ = 0;
  bool failing_ = false;
  qint64 notWritten_ = 0;
};

}  // namespace vemo

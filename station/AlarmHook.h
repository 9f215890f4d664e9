#pragma once
// The alarm hook: a command the operator configures, run when an alarm trips or clears
// (not when it is acknowledged), to pass the alarm on (mail, a pager, a relay).
//
// The command line is split into program and arguments here, as a desktop entry's Exec
// key is (blanks separate arguments; double quotes group, and inside them a backslash
// takes the next character as it is); no shell runs it and nothing is expanded. The
// alarm's details reach it only in the environment: VEMOSWR_ALARM_SOURCE (see
// AlarmSourceName), VEMOSWR_ALARM_STATE ("tripped" or "cleared"), VEMOSWR_ALARM_VALUE,
// VEMOSWR_ALARM_TIME (local ISO 8601 with milliseconds) and VEMOSWR_ALARM_PORT.
//
// One hook runs at a time, without blocking the caller: events that come meanwhile wait
// in order, at most kMaxWaiting of them; further ones are dropped and counted (an alarm
// that chatters must not start processes without end). A hook still running after the
// limit is killed. A failure (cannot start, non-zero exit, killed, crashed, dropped
// events) is told once, until a hook succeeds again. Needs the thread's event loop.

#include "station/AlarmEvaluator.h"

#include <QObject>
#include <QProcess>
#include <QTimer>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace vemo {

// Splits a command line as above into arguments; false, with a message, for an empty line,
// an unterminated quote or a backslash at the end.
bool SplitCommandLine(const std::string& line, std::vector<std::string>& args, std::string& error);

class AlarmHook {
 public:
  // failing is true when the hook fails, false when it works again.
  using Notify = std::function<void(bool failing, const std::string& message)>;
  static constexpr int kLimitMs = 10'000;
  static constexpr size_t kMaxWaiting = 16;

  // port: the monitor's port, for VEMOSWR_ALARM_PORT.
  AlarmHook(std::string commandLine, std::string port, Notify notify, int limitMs = kLimitMs);
  ~AlarmHook();
  AlarmHook(const AlarmHook&) = delete;
  AlarmHook& operator=(const AlarmHook&) = delete;

  // Returns at once; ignores acknowledgements.
  void Run(const TAlarmEvent& event);

  // The port for hooks started from now on (the user may switch ports while running).
  void SetPort(std::string port) { port_ = std::move(port); }

  bool Busy() const { return running_ || !waiting_.empty(); }
  const std::string& CommandLine() const { return commandLine_; }

 private:
  void StartNext();
  void Finished(const std::string& failure);
  void Fail(const std::string& message);

  std::string commandLine_;
  std::string port_;
  Notify notify_;
  int limitMs_;
  std::deque<TAlarmEvent> waiting_;
  qint64 dropped_ = 0;
  bool running_ = false;
  bool timedOut_ = false;
  bool failing_ = false;
  QObject context_;  // receives the process's signals; goes before the process
  QTimer limit_;
  QProcess process_;
};

}  // namespace vemo

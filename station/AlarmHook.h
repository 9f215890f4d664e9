// SPDX-License-Identifier: GPL-3.0-or-later
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
// Hooks run without blocking the caller: one at a time per alarm source, so that each
// source's events arrive in order, and up to kConcurrent of different sources at once, so
// that a hook that hangs never holds up another source's. An event that comes while its
// source's hook still runs waits; a later one of the same source replaces it (the hook
// learns the latest state, and an alarm that chatters cannot start processes without
// end). Each hook runs in a process group of its own: at the time limit the group gets
// SIGTERM, and SIGKILL kKillAfterTermMs later, so that nothing it started outlives it. A
// failure (cannot start, non-zero exit, stopped, crashed) is told once, until a hook
// succeeds again. Needs the thread's event loop.

#include "station/AlarmEvaluator.h"

#include <QObject>

#include <deque>
#include <functional>
#include <memory>
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
  static constexpr int kKillAfterTermMs = 2'000;
  static constexpr int kConcurrent = 3;

  // port: the monitor's port, for VEMOSWR_ALARM_PORT.
  AlarmHook(std::string commandLine, std::string port, Notify notify, int limitMs = kLimitMs);
  ~AlarmHook();
  AlarmHook(const AlarmHook&) = delete;
  AlarmHook& operator=(const AlarmHook&) = delete;

  // Returns at once; ignores acknowledgements.
  void Run(const TAlarmEvent& event);

  // The port for hooks started from now on (the user may switch ports while running).
  void SetPort(std::string port) { port_ = std::move(port); }

  bool Busy() const;
  const std::string& CommandLine() const { return commandLine_; }

 private:
  struct Runner;

  void StartNext();
  bool Start(Runner& runner, const TAlarmEvent& event);
  void Finished(Runner& runner, const std::string& failure);
  void Fail(const std::string& message);

  std::string commandLine_;
  std::string port_;
  Notify notify_;
  int limitMs_;
  std::deque<TAlarmEvent> waiting_;  // at most one per source
  bool failing_ = false;
  QObject context_;  // receives the processes' signals; goes before them
  std::vector<std::unique_ptr<Runner>> runners_;
};

}  // namespace vemo

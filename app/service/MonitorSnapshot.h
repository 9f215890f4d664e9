// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the service knows of one monitor at one moment, as the poller publishes it: plain,
// immutable data that the HTTP side, the metrics and the message-broker bridge read on
// their own thread while polling goes on.

#include "monitor/VSWRMon.h"
#include "station/AlarmEvaluator.h"

#include <QString>

#include <array>
#include <optional>
#include <string>

namespace vemo::service {

enum class MonitorPhase { Starting, Connecting, Polling, Waiting };
// "starting", "connecting", "polling", "waiting".
const char* PhaseName(MonitorPhase phase);

enum class ErrorKind { Timeout, Protocol, Port };
constexpr int kErrorKindCount = 3;
// "timeout", "protocol", "port": label values of the error counter.
const char* ErrorKindName(ErrorKind kind);

// A monitor counts as up while its latest reading is at most this many intervals old: a
// poller held up for longer must not look current.
constexpr int kFreshIntervals = 3;

struct MonitorSnapshot {
  QString Name;
  QString Device;  // as the user gave it: a port number or a device path
  int IntervalMs = 500;
  MonitorPhase Phase = MonitorPhase::Starting;
  bool LatestSucceeded = false;  // the latest reading succeeded
  std::string Model;             // trimmed identification, once identified
  std::string Firmware;          // ISO date
  double FullScale = 0;
  // The latest plausible reading, only while LatestSucceeded; implausible readings leave
  // it in place.
  std::optional<TMonitorReading> Reading;
  qint64 ReadingTimeMs = 0;  // of the latest plausible reading ever; 0: none yet
  qint64 AnsweredMs = 0;     // of the latest reading, plausible or not
  quint64 ReadingsTotal = 0;
  // The latest reading while they are implausible (JudgeReading); none once one is not.
  std::optional<TMonitorReading> Implausible;
  qint64 ImplausibleTimeMs = 0;
  quint64 ImplausibleTotal = 0;
  std::array<quint64, kErrorKindCount> Errors{};
  std::string LastError;
  qint64 RetryInMs = 0;  // while waiting
  std::array<AlarmState, kAlarmSourceCount> Alarms{};
  bool Sounding = false;
  // With a rig ([Rig NAME]): where the latest reading was taken (none: not known), whether
  // the rig answers, and the transmit interlock.
  bool Rig = false;
  std::optional<double> FrequencyHz;
  std::string Band;
  bool RigConnected = false;
  bool InterlockEnabled = false;
  bool InterlockLatched = false;

  // Up at nowMs: the latest reading succeeded and is at most kFreshIntervals old.
  bool Up(qint64 nowMs) const {
    return LatestSucceeded &&
           nowMs - AnsweredMs <= static_cast<qint64>(kFreshIntervals) * IntervalMs;
  }
  AlarmState Alarm(AlarmSource source) const { return Alarms[static_cast<size_t>(source)]; }
  // Tripped and not yet cleared, acknowledged or not; a latched alarm has cleared.
  bool AlarmActive(AlarmSource source) const {
    return Alarm(source) == AlarmState::Active || Alarm(source) == AlarmState::Acknowledged;
  }
};

}  // namespace vemo::service

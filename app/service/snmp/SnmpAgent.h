// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The service's SNMP agent: an AgentX subagent of the system's snmpd that serves the
// monitor table (see SnmpTable.h and VEMOSWR-MIB) read-only and sends its notifications
// through snmpd to the trap sinks configured there.
//
// net-snmp is not thread-safe, and answering from the pollers' snapshots takes
// microseconds, so every net-snmp call is made on the thread that creates the agent (the
// service's main thread, where the observers are told of alarms too), from its event
// loop: net-snmp's descriptors are watched by socket notifiers and its timers by a
// single-shot timer, and each wake-up processes only what is ready. Nothing here blocks,
// and polling, on a thread of its own, never waits for a manager.
//
// One agent per process (net-snmp keeps global state). A master agent that is not there
// yet, or goes away, is attached to again within about 15 seconds of its coming back.

#include "app/service/snmp/SnmpTable.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <string>

class QSocketNotifier;

namespace vemo::service {

// One notification of the MIB, about the monitor in row Row.
struct SnmpNotice {
  enum class Kind { AlarmTripped = 1, AlarmCleared = 2, LinkLost = 3, LinkFound = 4 };
  Kind What = Kind::AlarmTripped;
  std::uint32_t Row = 0;
  std::string Source;  // alarms: AlarmSourceName
  double Value = 0;    // alarms: the source's value and level, as in TAlarmEvent
  double Level = 0;
};

class SnmpAgent : public QObject {
  Q_OBJECT

 public:
  // How often the master is asked whether it is still there (a TCP master can vanish
  // without the connection closing).
  static constexpr int kPingS = 5;
  using RowsFn = std::function<std::vector<SnmpMonitor>()>;

  // socket: the master's AgentX address, e.g. "unix:/run/agentx/master" or
  // "tcp:127.0.0.1:705". rows: the monitors at the moment of a request.
  SnmpAgent(std::string socket, unsigned enterprise, RowsFn rows, QObject* parent = nullptr);
  ~SnmpAgent() override;

  // Starts the subagent; false with a message when net-snmp cannot be set up. A master
  // that is not listening is not an error: the agent keeps trying.
  bool Start(std::string& error);
  // Sends one notification at once, with the monitor's name and current values.
  void Notify(const SnmpNotice& notice);

  // The cells of the table as a request sees them: derived afresh at most every 100 ms, so
  // that a walk of many monitors does not derive every row once per step.
  const std::vector<SnmpCell>& Cells();

 private:
  // Answers the requests that are ready and runs net-snmp's due timers.
  void Process();
  // Watches the descriptors net-snmp now uses and wakes up at its next timer.
  void Rearm();

  const std::string socket_;
  const unsigned enterprise_;
  const RowsFn rows_;
  std::map<int, std::unique_ptr<QSocketNotifier>> notifiers_;
  QTimer timer_;
  std::vector<SnmpCell> cells_;
  QElapsedTimer cellsAge_;
  bool started_ = false;
};

}  // namespace vemo::service

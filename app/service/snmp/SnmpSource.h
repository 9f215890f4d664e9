// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the SNMP agent reads of the service's monitors, and how it hears of their changes:
// the one place that knows the pollers' interface.

#include "app/service/MonitorObserver.h"
#include "app/service/snmp/SnmpAgent.h"

#include <map>
#include <vector>

namespace vemo::service {

class MonitorPoller;

// The monitors at nowMs, in the order of the pollers (row i + 1 is pollers[i]).
std::vector<SnmpMonitor> SnmpMonitors(const std::vector<MonitorPoller*>& pollers, qint64 nowMs);

// Turns the pollers' events into the agent's notifications: an alarm that trips or
// clears, a link that is lost or found. Each transition is told once; the first reading
// after start counts as a link found.
class SnmpObserver : public MonitorObserver {
 public:
  SnmpObserver(SnmpAgent& agent, const std::vector<MonitorPoller*>& pollers);

  void OnReading(const MonitorSnapshot&) override {}
  void OnAvailability(const QString& name, bool online) override;
  void OnAlarm(const QString& name, const TAlarmEvent& event) override;

 private:
  struct Known {
    std::uint32_t Row = 0;
    bool Online = false;
  };
  SnmpAgent& agent_;
  std::map<QString, Known> monitors_;
};

}  // namespace vemo::service

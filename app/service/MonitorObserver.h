// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a publisher (the HTTP stream, a message-broker bridge) is told about each monitor.
// Called on the thread that created the pollers, after the poller has published the
// snapshot; an observer must not block that thread for long.
//
//   OnReading:      the monitor's snapshot, once per reading and when it goes down
//   OnAvailability: online = a reading succeeded; false once polling fails
//   OnAlarm:        one alarm event

#include "app/service/MonitorSnapshot.h"

#include <QString>

namespace vemo::service {

class MonitorObserver {
 public:
  virtual ~MonitorObserver() = default;
  virtual void OnReading(const MonitorSnapshot& snapshot) = 0;
  virtual void OnAvailability(const QString& name, bool online) = 0;
  virtual void OnAlarm(const QString& name, const TAlarmEvent& event) = 0;
};

}  // namespace vemo::service

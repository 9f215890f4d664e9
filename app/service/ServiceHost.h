// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the service asks of the system it runs on: file handles enough for its monitors,
// and the service manager told when it is ready, alive and stopping.

#include "app/service/GuardedTcpServer.h"

#include <QObject>
#include <QTimer>

#include <string>

namespace vemo::service {

// File handles a monitor keeps open: the device, the serial layer's wake pipe and thread,
// the lock file; three more for its broker connection with MQTT.
constexpr int kHandlesPerMonitor = 5;
constexpr int kHandlesPerMonitorMqtt = 8;
// The process's own handles beside the monitors and the HTTP connections.
constexpr int kBaseHandles = 64;

// Raises the soft limit of open files to the hard limit; returns the limit in force.
long RaiseFileHandleLimit();

// How many monitors a limit of `handles` leaves room for beside the HTTP connections that
// `limits` allow.
int MonitorsWithin(long handles, bool mqtt, const GuardedTcpServer::Limits& limits);

// The systemd notification protocol (Type=notify): "ready" once the service serves, a
// watchdog kept fed from the event loop at half the unit's WatchdogSec, so that a service
// whose loop hangs is restarted, and "stopping". Does nothing outside systemd.
class ServiceManager : public QObject {
  Q_OBJECT

 public:
  explicit ServiceManager(QObject* parent = nullptr);
  void Ready(const std::string& status);
  void Stopping();

 private:
  QTimer watchdog_;
};

}  // namespace vemo::service

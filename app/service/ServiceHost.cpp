// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service/ServiceHost.h"

#include <systemd/sd-daemon.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdint>

namespace vemo::service {

long RaiseFileHandleLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  if (limit.rlim_cur < limit.rlim_max) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  // An unlimited count is still bounded by what the kernel hands out; say "a great many".
  return limit.rlim_cur == RLIM_INFINITY
             ? INT32_MAX
             : static_cast<long>(std::min<rlim_t>(limit.rlim_cur, INT32_MAX));
}

int MonitorsWithin(long handles, bool mqtt, const GuardedTcpServer::Limits& limits) {
  const long http = limits.MaxConnections + limits.MaxStreams + 1;
  const long left = handles - kBaseHandles - http;
  return left <= 0 ? 0
                   : static_cast<int>(left / (mqtt ? kHandlesPerMonitorMqtt : kHandlesPerMonitor));
}

ServiceManager::ServiceManager(QObject* parent) : QObject(parent) {
  uint64_t usec = 0;
  if (sd_watchdog_enabled(0, &usec) <= 0 || usec == 0) return;
  connect(&watchdog_, &QTimer::timeout, this, [] { sd_notify(0, "WATCHDOG=1"); });
  watchdog_.start(static_cast<int>(std::max<uint64_t>(usec / 2000, 1)));
}

void ServiceManager::Ready(const std::string& status) {
  sd_notify(0, ("READY=1\nSTATUS=" + status).c_str());
}

void ServiceManager::Stopping() {
  watchdog_.stop();
  sd_notify(0, "STOPPING=1");
}

}  // namespace vemo::service

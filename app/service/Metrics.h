// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Prometheus text exposition of the service's monitors. A monitor that is not up
// (see MonitorSnapshot::Up) gives no reading: no value is carried over from an earlier
// one. Its vemoswr_up 0, its info, its program alarms (the link alarm above all), its
// counters and the time of its latest reading stay.

#include "app/service/MonitorSnapshot.h"

#include <QByteArray>

#include <vector>

namespace vemo::service {

// The exposition of snapshots at nowMs (milliseconds since the epoch).
QByteArray MetricsText(const std::vector<const MonitorSnapshot*>& monitors, qint64 nowMs);

// A label value with backslash, double quote and line feed escaped.
QByteArray EscapedLabel(const QByteArray& value);

}  // namespace vemo::service

#pragma once
// The Prometheus text exposition of the service's monitors. A monitor that is not up
// gives only vemoswr_up 0: no value is carried over from an earlier reading.

#include <QByteArray>

#include <vector>

namespace vemo::service {

class MonitorPoller;

QByteArray MetricsText(const std::vector<const MonitorPoller*>& pollers);

// A label value with backslash, double quote and line feed escaped.
QByteArray EscapedLabel(const QByteArray& value);

}  // namespace vemo::service

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service/snmp/SnmpSource.h"

#include "app/service/MonitorPoller.h"

namespace vemo::service {

std::vector<SnmpMonitor> SnmpMonitors(const std::vector<MonitorPoller*>& pollers, qint64 nowMs) {
  std::vector<SnmpMonitor> rows;
  rows.reserve(pollers.size());
  for (const MonitorPoller* p : pollers) {
    const std::shared_ptr<const MonitorSnapshot> snapshot = p->Snapshot();
    const MonitorSnapshot& s = *snapshot;
    SnmpMonitor m;
    m.Name = s.Name.toStdString();
    m.Model = s.Model;
    m.Firmware = s.Firmware;
    m.Status = static_cast<int>(s.Phase) + 1;  // starting(1) to waiting(4), in the enum's order
    m.Up = s.Up(nowMs);
    if (m.Up) m.Reading = s.Reading;
    m.FullScale = s.FullScale;
    m.Alarms = s.Alarms;
    if (s.ReadingTimeMs > 0) m.ReadingAgeMs = nowMs - s.ReadingTimeMs;
    rows.push_back(std::move(m));
  }
  return rows;
}

SnmpObserver::SnmpObserver(SnmpAgent& agent, const std::vector<MonitorPoller*>& pollers)
    : agent_(agent) {
  for (size_t i = 0; i < pollers.size(); ++i)
    monitors_[pollers[i]->Config().Name] = {static_cast<std::uint32_t>(i + 1), false};
}

void SnmpObserver::OnAvailability(const QString& name, bool online) {
  const auto it = monitors_.find(name);
  if (it == monitors_.end() || it->second.Online == online) return;
  it->second.Online = online;
  agent_.Notify({online ? SnmpNotice::Kind::LinkFound : SnmpNotice::Kind::LinkLost,
                 it->second.Row,
                 {},
                 0,
                 0});
}

void SnmpObserver::OnAlarm(const QString& name, const TAlarmEvent& e) {
  const auto it = monitors_.find(name);
  // An acknowledgement changes no state that a manager is told of.
  if (it == monitors_.end() || e.Change == AlarmChange::Acknowledged) return;
  agent_.Notify({e.Change == AlarmChange::Tripped ? SnmpNotice::Kind::AlarmTripped
                                                  : SnmpNotice::Kind::AlarmCleared,
                 it->second.Row, AlarmSourceName(e.Source), e.Value, e.Level});
}

}  // namespace vemo::service

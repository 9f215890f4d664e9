#include "app/service/snmp/SnmpSource.h"

#include "app/service/MonitorPoller.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace vemo::service {

namespace {

int StatusOf(const std::string& phase) {
  if (phase == "connecting") return 2;
  if (phase == "polling") return 3;
  if (phase == "waiting") return 4;
  return 1;
}

}  // namespace

std::vector<SnmpMonitor> SnmpMonitors(const std::vector<MonitorPoller*>& pollers, qint64 nowMs) {
  std::vector<SnmpMonitor> rows;
  rows.reserve(pollers.size());
  for (const MonitorPoller* p : pollers) {
    const MonitorState& s = p->State();
    SnmpMonitor m;
    m.Name = p->Config().Name.toStdString();
    m.Model = s.Model;
    m.Firmware = s.Firmware;
    m.Status = StatusOf(s.Phase);
    m.Up = s.Up && s.Reading.has_value();
    if (m.Up) m.Reading = s.Reading;
    m.FullScale = s.FullScale;
    for (size_t i = 0; i < kAlarmSources.size(); ++i)
      m.Alarms[i] = p->Alarms().State(kAlarmSources[i]);
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

void SnmpObserver::OnAlarm(const QString& name, const QByteArray& json) {
  const auto it = monitors_.find(name);
  if (it == monitors_.end()) return;
  const QJsonObject e = QJsonDocument::fromJson(json).object();
  const QString change = e.value("event").toString();
  if (change != "tripped" && change != "cleared") return;  // an acknowledgement changes no state
  agent_.Notify(
      {change == "tripped" ? SnmpNotice::Kind::AlarmTripped : SnmpNotice::Kind::AlarmCleared,
       it->second.Row, e.value("source").toString().toStdString(), e.value("value").toDouble(),
       e.value("level").toDouble()});
}

}  // namespace vemo::service

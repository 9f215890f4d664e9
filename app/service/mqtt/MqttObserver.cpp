// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service/mqtt/MqttObserver.h"

#include "app/service/ServiceJson.h"
#include "app/service/mqtt/MqttPublisher.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

namespace vemo {

namespace {

// The powers are the monitor's single-precision numbers: seven significant digits say all
// they hold (100.1, not 100.0999984741211).
double Rounded(const QJsonValue& v, int significant) {
  return QString::number(v.toDouble(), 'g', significant).toDouble();
}

double RoundedTo(const QJsonValue& v, int decimals) {
  return QString::number(v.toDouble(), 'f', decimals).toDouble();
}

}  // namespace

QByteArray MqttStateOf(const QJsonObject& monitor) {
  const QJsonValue reading = monitor.value("reading");
  // An implausible reading is no measurement: the state published before stays.
  if (!reading.isObject() || monitor.value("implausible").toBool()) return {};
  QJsonObject state = reading.toObject();
  for (const char* key : {"forward_watts", "reflected_watts"})
    if (state.contains(key)) state[key] = Rounded(state[key], 7);
  for (const char* key : {"vswr", "return_loss_db"})
    if (state.contains(key)) state[key] = RoundedTo(state[key], 3);
  state["full_scale_watts"] = Rounded(monitor.value("full_scale_watts"), 7);
  state["sounding"] = monitor.value("sounding");
  bool programAlarm = false;
  for (const QJsonValue& alarm : monitor.value("alarms").toObject())
    programAlarm = programAlarm || alarm.toString() != "normal";
  state["program_alarm"] = programAlarm;
  if (monitor.contains("rig"))
    state["interlock"] = monitor.value("rig").toObject().value("interlock");
  return QJsonDocument(state).toJson(QJsonDocument::Compact);
}

void MqttObserver::OnReading(const service::MonitorSnapshot& snapshot) {
  const QString& name = snapshot.Name;
  const QJsonObject monitor = service::MonitorObject(snapshot, QDateTime::currentMSecsSinceEpoch());
  const QString model = monitor.value("model").toString();
  if (!model.isEmpty()) {
    const Identity id{model, monitor.value("firmware").toString(),
                      monitor.value("full_scale_watts").toDouble()};
    const auto known = identified_.find(name);
    if (known == identified_.end() || known->second != id) {
      identified_[name] = id;
      publisher_.PublishDiscovery(name, id.Model, id.Firmware, id.FullScale);
    }
  }
  const QByteArray state = MqttStateOf(monitor);
  if (!state.isEmpty()) publisher_.PublishState(name, state);
}

void MqttObserver::OnAvailability(const QString& name, bool online) {
  publisher_.PublishAvailability(name, online);
}

void MqttObserver::OnAlarm(const QString& name, const TAlarmEvent& event) {
  publisher_.PublishAlarm(name, service::AlarmEventJson(event));
}

}  // namespace vemo

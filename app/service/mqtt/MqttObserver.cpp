#include "app/service/mqtt/MqttObserver.h"

#include "app/service/mqtt/MqttPublisher.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace vemo {

namespace {

QJsonObject Parse(const QByteArray& json) {
  return QJsonDocument::fromJson(json).object();
}

QByteArray StateOf(const QJsonObject& monitor) {
  const QJsonValue reading = monitor.value("reading");
  // An implausible reading is no measurement: the state published before stays.
  if (!reading.isObject() || monitor.value("implausible").toBool()) return {};
  QJsonObject state = reading.toObject();
  state["full_scale_watts"] = monitor.value("full_scale_watts");
  state["sounding"] = monitor.value("sounding");
  return QJsonDocument(state).toJson(QJsonDocument::Compact);
}

}  // namespace

void MqttObserver::OnReading(const QString& name, const QByteArray& json) {
  const QJsonObject monitor = Parse(json);
  const QString model = monitor.value("model").toString();
  if (!model.isEmpty()) {
    const std::pair<QString, QString> id{model, monitor.value("firmware").toString()};
    const auto known = identified_.find(name);
    if (known == identified_.end() || known->second != id) {
      identified_[name] = id;
      publisher_.PublishDiscovery(name, id.first, id.second);
    }
  }
  const QByteArray state = StateOf(monitor);
  if (!state.isEmpty()) publisher_.PublishState(name, state);
}

void MqttObserver::OnAvailability(const QString& name, bool online) {
  publisher_.PublishAvailability(name, online);
}

void MqttObserver::OnAlarm(const QString& name, const QByteArray& json) {
  publisher_.PublishAlarm(name, json);
}

}  // namespace vemo

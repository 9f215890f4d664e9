#include "app/service/mqtt/MqttDiscovery.h"

#include "app/service/mqtt/MqttOptions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vemo {
namespace {

// Discovery topics and unique ids allow only [A-Za-z0-9_-].
QString ObjectId(const QString& name) {
  QString id;
  for (const QChar c : name) {
    const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                       (c >= u'0' && c <= u'9') || c == u'_' || c == u'-';
    id += plain ? c : QChar(u'_');
  }
  return id;
}

struct TEntity {
  const char* Component;
  const char* Object;
  const char* Title;
  const char* Template;
  const char* Unit;         // nullptr: none
  const char* DeviceClass;  // nullptr: none
};

constexpr TEntity kEntities[] = {
    {"sensor", "forward", "Forward power", "{{ value_json.forward_watts }}", "W", "power"},
    {"sensor", "reflected", "Reflected power", "{{ value_json.reflected_watts }}", "W", "power"},
    {"sensor", "vswr", "VSWR", "{{ value_json.vswr }}", nullptr, nullptr},
    {"sensor", "return_loss", "Return loss", "{{ value_json.return_loss_db }}", "dB", nullptr},
    {"binary_sensor", "alarm", "Alarm", "{{ 'ON' if value_json.alarm else 'OFF' }}", nullptr,
     "problem"},
};

}  // namespace

QByteArray MqttMonitorTopic(const TMqttOptions& options, const QString& name, const char* leaf) {
  return QByteArray::fromStdString(options.TopicPrefix) + '/' + name.toUtf8() + '/' + leaf;
}

bool IsValidMqttMonitorName(const QString& name) {
  if (name.isEmpty() || name.toUtf8().size() > 64) return false;
  for (const QChar c : name) {
    if (c == u'/' || c == u'+' || c == u'#' || c.category() == QChar::Other_Control ||
        c.isSurrogate())
      return false;
  }
  return true;
}

std::vector<TMqttMessage> MqttDiscoveryConfigs(const TMqttOptions& options, const QString& name,
                                               const QString& model, const QString& firmware) {
  const QString node = "vemoswr_" + ObjectId(name);
  QJsonObject device{{"identifiers", QJsonArray{node}}, {"name", name}, {"model", model}};
  if (!firmware.isEmpty()) device["sw_version"] = firmware;

  std::vector<TMqttMessage> messages;
  for (const TEntity& entity : kEntities) {
    QJsonObject config{
        {"name", QString::fromUtf8(entity.Title)},
        {"unique_id", node + '_' + entity.Object},
        {"object_id", node + '_' + entity.Object},
        {"state_topic", QString::fromUtf8(MqttMonitorTopic(options, name, "state"))},
        {"value_template", QString::fromUtf8(entity.Template)},
        {"availability_topic", QString::fromUtf8(MqttMonitorTopic(options, name, "availability"))},
        {"payload_available", "online"},
        {"payload_not_available", "offline"},
        {"device", device},
    };
    if (entity.Unit) config["unit_of_measurement"] = entity.Unit;
    if (entity.DeviceClass) config["device_class"] = entity.DeviceClass;
    if (QByteArrayView(entity.Component) == "sensor") config["state_class"] = "measurement";
    messages.push_back({QByteArray::fromStdString(options.DiscoveryPrefix) + '/' +
                            entity.Component + '/' + node.toUtf8() + '/' + entity.Object +
                            "/config",
                        QJsonDocument(config).toJson(QJsonDocument::Compact)});
  }
  return messages;
}

}  // namespace vemo

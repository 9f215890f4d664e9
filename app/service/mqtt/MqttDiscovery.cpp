// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service/mqtt/MqttDiscovery.h"

#include "app/service/mqtt/MqttOptions.h"
#include "station/Readout.h"

#include <QCryptographicHash>
#include <QSysInfo>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

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

enum class Precision { None, Forward, Reflected, Two, One };

struct TEntity {
  const char* Component;
  const char* Object;
  const char* Title;
  const char* Template;
  const char* Unit;         // nullptr: none
  const char* DeviceClass;  // nullptr: none
  Precision Decimals;
};

constexpr TEntity kEntities[] = {
    {"sensor", "forward", "Forward power", "{{ value_json.forward_watts }}", "W", "power",
     Precision::Forward},
    {"sensor", "reflected", "Reflected power", "{{ value_json.reflected_watts }}", "W", "power",
     Precision::Reflected},
    {"sensor", "vswr", "VSWR", "{{ value_json.vswr }}", nullptr, nullptr, Precision::Two},
    {"sensor", "return_loss", "Return loss", "{{ value_json.return_loss_db }}", "dB", nullptr,
     Precision::One},
    {"binary_sensor", "alarm", "Alarm",
     "{{ 'ON' if value_json.alarm or value_json.program_alarm else 'OFF' }}", nullptr, "problem",
     Precision::None},
};

// The decimals of a read-out format ("%7.1f" -> 1), in watts for a unit of `scale`.
int WattDecimals(const char* format, double scale) {
  const char* point = std::strchr(format, '.');
  const int inUnit = point ? std::atoi(point + 1) : 0;
  return std::max(0, inUnit - static_cast<int>(std::lround(std::log10(1 / scale))));
}

int DecimalsOf(Precision p, double fullScale) {
  const TDisplayUnit unit = DisplayUnitFor(fullScale);
  switch (p) {
    case Precision::Forward:
      return WattDecimals(unit.ForwardFormat, unit.Scale);
    case Precision::Reflected:
      return WattDecimals(unit.ReflectedFormat, unit.Scale);
    case Precision::Two:
      return 2;
    case Precision::One:
      return 1;
    case Precision::None:
      break;
  }
  return -1;
}

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
                                               const QString& model, const QString& firmware,
                                               double fullScale) {
  const QString entityId = "vemoswr_" + ObjectId(name);
  const QString node = QString::fromStdString(options.IdPrefix) + '_' + ObjectId(name);
  QJsonObject device{{"identifiers", QJsonArray{node}}, {"name", name}, {"model", model}};
  if (!firmware.isEmpty()) device["sw_version"] = firmware;
  const auto topic = [&](const TEntity& entity, const QString& nodeId) {
    return QByteArray::fromStdString(options.DiscoveryPrefix) + '/' + entity.Component + '/' +
           nodeId.toUtf8() + '/' + entity.Object + "/config";
  };

  std::vector<TMqttMessage> messages;
  // Older versions published under vemoswr_NAME: left there, the controller would keep a
  // second set of entities.
  if (node != entityId)
    for (const TEntity& entity : kEntities) messages.push_back({topic(entity, entityId), {}});
  for (const TEntity& entity : kEntities) {
    QJsonObject config{
        {"name", QString::fromUtf8(entity.Title)},
        {"unique_id", node + '_' + entity.Object},
        {"default_entity_id",
         QString::fromUtf8(entity.Component) + '.' + entityId + '_' + entity.Object},
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
    if (const int decimals = DecimalsOf(entity.Decimals, fullScale); decimals >= 0)
      config["suggested_display_precision"] = decimals;
    messages.push_back({topic(entity, node), QJsonDocument(config).toJson(QJsonDocument::Compact)});
  }
  return messages;
}

std::string MachineIdPrefix() {
  const QByteArray id = QSysInfo::machineUniqueId();
  if (id.isEmpty()) return "vemoswr";
  const QByteArray hash =
      QCryptographicHash::hash("vemoswrd discovery " + id, QCryptographicHash::Sha256);
  return "vemoswr_" + hash.toHex().left(8).toStdString();
}

}  // namespace vemo

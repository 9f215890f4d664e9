#pragma once
// The discovery configs a home-automation controller reads to create a monitor's entities
// by itself: sensors for forward power, reflected power, VSWR and return loss, and a
// binary sensor for the alarm, all read from the monitor's state topic and marked
// unavailable through its availability topic. Published retained under
// DiscoveryPrefix/sensor|binary_sensor/vemoswr_NAME/OBJECT/config.
//
// The state JSON is the caller's; the templates rely on these fields of it:
//   "forward_watts", "reflected_watts", "vswr", "return_loss_db"  numbers
//   "alarm"                                                          true/false

#include <QByteArray>
#include <QString>

#include <vector>

namespace vemo {

struct TMqttOptions;

struct TMqttMessage {
  QByteArray Topic;
  QByteArray Payload;
};

// TopicPrefix/NAME/LEAF, e.g. "vemoswr/tx/state".
QByteArray MqttMonitorTopic(const TMqttOptions& options, const QString& name, const char* leaf);

// A name fit for a topic level: not empty, no '/', '+', '#' or control characters, at most
// 64 bytes of UTF-8.
bool IsValidMqttMonitorName(const QString& name);

std::vector<TMqttMessage> MqttDiscoveryConfigs(const TMqttOptions& options, const QString& name,
                                               const QString& model, const QString& firmware);

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The discovery configs a home-automation controller reads to create a monitor's entities
// by itself: sensors for forward power, reflected power, VSWR and return loss, and a
// binary sensor for the alarm, all read from the monitor's state topic and marked
// unavailable through its availability topic. Published retained under
// DiscoveryPrefix/sensor|binary_sensor/IDPREFIX_NAME/OBJECT/config, each entity suggesting
// the entity id sensor.vemoswr_NAME_OBJECT and showing powers with the decimals the
// program shows for the monitor's full scale.
//
// The state JSON is the caller's; the templates rely on these fields of it:
//   "forward_watts", "reflected_watts", "vswr", "return_loss_db"  numbers
//   "alarm"          true/false: the monitor's own alarm
//   "program_alarm"  true/false: any of the program's alarms for the monitor

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

// The configs, after empty retained messages that remove the configs that an older version
// published under other topics (where IdPrefix is not the old one).
std::vector<TMqttMessage> MqttDiscoveryConfigs(const TMqttOptions& options, const QString& name,
                                               const QString& model, const QString& firmware,
                                               double fullScale);

// A prefix for TMqttOptions::IdPrefix that is this machine's own, "vemoswr_" and eight
// hexadecimal digits drawn from (not revealing) the machine id; "vemoswr" when there is none.
std::string MachineIdPrefix();

}  // namespace vemo

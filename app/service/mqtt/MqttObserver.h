// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Feeds the service's monitors to an MqttPublisher, as one more observer of each poller.
//
// The state message is flat, so that the discovery templates read it directly:
//   {"time_ms":1700000000000,"forward_watts":100.1,"reflected_watts":1.5,"vswr":1.28,
//    "return_loss_db":-18.2,"alarm":false,"full_scale_watts":625,"sounding":false,
//    "program_alarm":false}
// It is sent only for a reading: a monitor that is down is "offline" on its availability
// topic and has no state to report. The discovery configs follow the identification,
// again whenever the model, firmware or full scale changes. Alarm events go out as the
// service's own alarm JSON.

#include "app/service/MonitorObserver.h"

#include <QJsonObject>
#include <QString>

#include <map>

namespace vemo {

class MqttPublisher;

// The state message of a monitor's JSON (the service's MonitorJson); empty without a
// reading. Powers keep seven significant digits, VSWR and return loss three decimals;
// "program_alarm" is true while any of the program's alarms is not normal.
QByteArray MqttStateOf(const QJsonObject& monitor);

class MqttObserver : public service::MonitorObserver {
 public:
  explicit MqttObserver(MqttPublisher& publisher) : publisher_(publisher) {}

  void OnReading(const service::MonitorSnapshot& snapshot) override;
  void OnAvailability(const QString& name, bool online) override;
  void OnAlarm(const QString& name, const TAlarmEvent& event) override;

 private:
  MqttPublisher& publisher_;
  struct Identity {
    QString Model;
    QString Firmware;
    double FullScale = 0;
    bool operator==(const Identity&) const = default;
  };
  std::map<QString, Identity> identified_;
};

}  // namespace vemo

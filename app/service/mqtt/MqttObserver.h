#pragma once
// Feeds the service's monitors to an MqttPublisher, as one more observer of each poller.
//
// The state message is flat, so that the discovery templates read it directly:
//   {"time_ms":1700000000000,"forward_watts":100,"reflected_watts":1.5,"vswr":1.28,
//    "return_loss_db":-18.2,"alarm":false,"full_scale_watts":625,"sounding":false}
// It is sent only for a reading: a monitor that is down is "offline" on its availability
// topic and has no state to report. The discovery configs follow the identification,
// again whenever the model or firmware changes. Alarm events go out as the service's own
// alarm JSON.

#include "app/service/MonitorObserver.h"

#include <QString>

#include <map>
#include <utility>

namespace vemo {

class MqttPublisher;

class MqttObserver : public service::MonitorObserver {
 public:
  explicit MqttObserver(MqttPublisher& publisher) : publisher_(publisher) {}

  void OnReading(const service::MonitorSnapshot& snapshot) override;
  void OnAvailability(const QString& name, bool online) override;
  void OnAlarm(const QString& name, const TAlarmEvent& event) override;

 private:
  MqttPublisher& publisher_;
  std::map<QString, std::pair<QString, QString>> identified_;  // model, firmware
};

}  // namespace vemo

#pragma once
// What a publisher (the HTTP stream, a message-broker bridge) is told about each monitor.
// Called on the service's thread, after the poller has updated its state; an observer
// must not block: polling waits for it.
//
// The JSON passed on is that of MonitorJson (see ServiceJson.h):
//   OnReading:      the monitor's state object, once per reading
//   OnAvailability: online = a reading succeeded; false once polling fails
//   OnAlarm:        one alarm event, AlarmEventJson

#include <QByteArray>
#include <QString>

namespace vemo::service {

class MonitorObserver {
 public:
  virtual ~MonitorObserver() = default;
  virtual void OnReading(const QString& name, const QByteArray& json) = 0;
  virtual void OnAvailability(const QString& name, bool online) = 0;
  virtual void OnAlarm(const QString& name, const QByteArray& json) = 0;
};

}  // namespace vemo::service

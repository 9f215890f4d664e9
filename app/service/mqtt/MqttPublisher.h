// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Publishes monitors to an MQTT broker:
//   TopicPrefix/NAME/state         the caller's reading JSON, not retained, dropped while
//                                  the broker cannot be reached (a stale reading is no use)
//   TopicPrefix/NAME/availability  "online"/"offline", retained; "offline" is also the
//                                  connection's last-will, so it appears when the service
//                                  dies without saying goodbye
//   TopicPrefix/NAME/alarm         the caller's alarm JSON, not retained, dropped likewise
//   discovery configs              retained, see MqttDiscovery.h for the state fields
//
// A last-will belongs to a connection, so each monitor has its own connection to the
// broker. Availability and discovery are remembered and published again on every
// (re)connection, since a restarted broker may have lost its retained messages. A lost
// connection is retried for ever, 1 s doubling to 30 s between attempts.
//
// The network work happens on libmosquitto's threads; every call here returns at once and
// signals come on the publisher's own thread. The broker's host name is resolved in
// Start(), on the caller's thread: give an address or a local name to keep that instant.

#include "app/service/mqtt/MqttOptions.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <map>
#include <memory>

struct mosquitto;

namespace vemo {

class MqttPublisher : public QObject {
  Q_OBJECT
 public:
  enum class LogLevel { Info, Warning, Error };
  Q_ENUM(LogLevel)

  // How long Stop() lets the "offline" messages and the goodbyes reach the broker.
  static constexpr int kStopLimitMs = 1000;
  static constexpr int kKeepAliveSeconds = 30;

  explicit MqttPublisher(TMqttOptions options, QObject* parent = nullptr);
  // Without Stop() first, the connections just drop and the broker sends the last-wills.
  ~MqttPublisher() override;

  // False, with a Log, for a name no topic can carry (see IsValidMqttMonitorName) or one
  // already added. A monitor added after Start() connects at once.
  bool AddMonitor(const QString& name);

  // Ignored for a monitor not added.
  void PublishState(const QString& name, const QByteArray& json);
  void PublishAvailability(const QString& name, bool online);  // "offline" until told
  void PublishAlarm(const QString& name, const QByteArray& json);
  void PublishDiscovery(const QString& name, const QString& model, const QString& firmware,
                        double fullScale);

  // False, with a Log, when the options cannot work (a CA file that cannot be read, ...);
  // then nothing connects.
  bool Start();
  // Publishes "offline" for every monitor and disconnects; Stopped() follows within
  // kStopLimitMs, also when the broker cannot be reached. Publishing after Stop() does
  // nothing.
  void Stop();

  // Whether the monitor's connection is up (for status displays and tests).
  bool Connected(const QString& name) const;

 Q_SIGNALS:
  void Log(vemo::MqttPublisher::LogLevel level, const QString& text);
  void Stopped();

 private:
  struct Link;

  // libmosquitto's callbacks, on its network thread: they only hand over to ours.
  static void ConnectCallback(mosquitto* client, void* link, int result);
  static void DisconnectCallback(mosquitto* client, void* link, int result);

  bool StartLink(Link& link);
  bool Connect(Link& link);
  void OnConnected(Link& link, int result);
  void OnDisconnected(Link& link, int result);
  void PublishRetained(Link& link, const QByteArray& topic, const QByteArray& payload);
  void PublishRemembered(Link& link);
  void JoinLink(Link& link, bool force);
  void FinishStopIfDone();
  Link* Find(const QString& name) const;
  QString BrokerText() const;

  TMqttOptions options_;
  std::map<QString, std::unique_ptr<Link>> links_;
  bool started_ = false;
  bool stopping_ = false;
  bool stopReported_ = false;
  QTimer stopLimit_;
};

}  // namespace vemo

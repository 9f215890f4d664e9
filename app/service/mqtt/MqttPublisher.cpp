// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service/mqtt/MqttPublisher.h"

#include "app/service/mqtt/MqttDiscovery.h"

#include <mosquitto.h>

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include <unistd.h>

namespace vemo {

struct MqttPublisher::Link {
  MqttPublisher* Owner = nullptr;
  QString Name;
  QByteArray StateTopic;
  QByteArray AvailabilityTopic;
  QByteArray AlarmTopic;
  mosquitto* Client = nullptr;
  // Set on the network thread as the broker accepts or drops the connection; read on ours
  // to drop messages nobody could receive instead of queueing them without bound.
  std::atomic<bool> Up{false};
  // The rest belongs to the publisher's thread.
  bool Running = false;    // the network thread runs
  bool Announced = false;  // "connected" was logged, so a loss is worth telling
  int LastRefusal = 0;     // the refusal last logged: a retry that fails alike stays quiet
  int RetryMs = 0;         // until the first connection gets under way
  bool Online = false;
  bool HaveDiscovery = false;
  QString Model;
  QString Firmware;
  double FullScale = 0;
};

namespace {

constexpr int kQosOnce = 0;
constexpr int kQosAtLeastOnce = 1;
constexpr unsigned kReconnectFirstSeconds = 1;
constexpr unsigned kReconnectMaxSeconds = 30;
constexpr char kOffline[] = "offline";
constexpr char kOnline[] = "online";
// Without a CA file the system's trust store vouches for the broker.
constexpr char kSystemCaPath[] = "/etc/ssl/certs";

QString ErrorText(int result) {
  if (result == MOSQ_ERR_ERRNO) return QString::fromLocal8Bit(std::strerror(errno));
  return QString::fromUtf8(mosquitto_strerror(result));
}

}  // namespace

MqttPublisher::MqttPublisher(TMqttOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { mosquitto_lib_init(); });
  stopLimit_.setSingleShot(true);
  connect(&stopLimit_, &QTimer::timeout, this, [this] {
    for (auto& [name, link] : links_) {
      if (link->Running) JoinLink(*link, true);
    }
    FinishStopIfDone();
  });
}

MqttPublisher::~MqttPublisher() {
  // Forced: no goodbye is sent, so the broker publishes the last-wills.
  for (auto& [name, link] : links_) {
    if (link->Running) JoinLink(*link, true);
  }
  for (auto& [name, link] : links_) {
    if (link->Client) mosquitto_destroy(link->Client);
  }
}

QString MqttPublisher::BrokerText() const {
  return QStringLiteral("%1://%2:%3")
      .arg(options_.Tls ? "mqtts" : "mqtt", QString::fromStdString(options_.Host))
      .arg(options_.Port);
}

MqttPublisher::Link* MqttPublisher::Find(const QString& name) const {
  const auto it = links_.find(name);
  return it == links_.end() ? nullptr : it->second.get();
}

bool MqttPublisher::Connected(const QString& name) const {
  const Link* link = Find(name);
  return link && link->Up;
}

bool MqttPublisher::AddMonitor(const QString& name) {
  if (!IsValidMqttMonitorName(name)) {
    Q_EMIT Log(LogLevel::Error,
               QStringLiteral("MQTT: the monitor name \"%1\" cannot be part of a topic: use up "
                              "to 64 characters without '/', '+', '#' or control characters")
                   .arg(name));
    return false;
  }
  if (Find(name)) {
    Q_EMIT Log(LogLevel::Error,
               QStringLiteral("MQTT: the monitor \"%1\" is named twice").arg(name));
    return false;
  }
  auto link = std::make_unique<Link>();
  link->Owner = this;
  link->Name = name;
  link->StateTopic = MqttMonitorTopic(options_, name, "state");
  link->AvailabilityTopic = MqttMonitorTopic(options_, name, "availability");
  link->AlarmTopic = MqttMonitorTopic(options_, name, "alarm");
  Link& added = *link;
  links_.emplace(name, std::move(link));
  if (started_ && !stopping_) return StartLink(added);
  return true;
}

bool MqttPublisher::Start() {
  if (started_) {
    Q_EMIT Log(LogLevel::Error, QStringLiteral("MQTT: the publisher was already started"));
    return false;
  }
  started_ = true;
  Q_EMIT Log(LogLevel::Info, QStringLiteral("MQTT: publishing to %1").arg(BrokerText()));
  bool ok = true;
  for (auto& [name, link] : links_) ok = StartLink(*link) && ok;
  return ok;
}

bool MqttPublisher::StartLink(Link& link) {
  const std::string base =
      options_.ClientId.empty() ? "vemoswrd-" + std::to_string(::getpid()) : options_.ClientId;
  const std::string clientId = base + "-" + link.Name.toStdString();
  link.Client = mosquitto_new(clientId.c_str(), true, &link);
  if (!link.Client) {
    Q_EMIT Log(LogLevel::Error, QStringLiteral("MQTT: cannot create a client for monitor %1: %2")
                                    .arg(link.Name, QString::fromLocal8Bit(std::strerror(errno))));
    return false;
  }
  mosquitto_connect_callback_set(link.Client, &MqttPublisher::ConnectCallback);
  mosquitto_disconnect_callback_set(link.Client, &MqttPublisher::DisconnectCallback);
  mosquitto_reconnect_delay_set(link.Client, kReconnectFirstSeconds, kReconnectMaxSeconds, true);
  link.RetryMs = int(kReconnectFirstSeconds) * 1000;
  int result = mosquitto_will_set(link.Client, link.AvailabilityTopic.constData(),
                                  int(sizeof kOffline - 1), kOffline, kQosAtLeastOnce, true);
  if (result == MOSQ_ERR_SUCCESS && !options_.User.empty()) {
    result =
        mosquitto_username_pw_set(link.Client, options_.User.c_str(),
                                  options_.Password.empty() ? nullptr : options_.Password.c_str());
  }
  if (result != MOSQ_ERR_SUCCESS) {
    Q_EMIT Log(LogLevel::Error, QStringLiteral("MQTT: cannot set up the connection for monitor "
                                               "%1: %2")
                                    .arg(link.Name, ErrorText(result)));
    return false;
  }
  if (options_.Tls) {
    const bool ownCa = !options_.CaFile.empty();
    result = mosquitto_tls_set(link.Client, ownCa ? options_.CaFile.c_str() : nullptr,
                               ownCa ? nullptr : kSystemCaPath, nullptr, nullptr, nullptr);
    if (result != MOSQ_ERR_SUCCESS) {
      // Never fall back to a plain connection: the password would travel in clear.
      Q_EMIT Log(LogLevel::Error,
                 ownCa ? QStringLiteral("MQTT: cannot use the CA file \"%1\" (%2): give a "
                                        "readable file of PEM certificates")
                             .arg(QString::fromStdString(options_.CaFile), ErrorText(result))
                       : QStringLiteral("MQTT: cannot use the system's certificates (%1): give "
                                        "a CA file")
                             .arg(ErrorText(result)));
      return false;
    }
  }

  return Connect(link);
}

bool MqttPublisher::Connect(Link& link) {
  if (stopping_) return false;
  int result =
      mosquitto_connect_async(link.Client, options_.Host.c_str(), options_.Port, kKeepAliveSeconds);
  if (result == MOSQ_ERR_INVAL) {
    Q_EMIT Log(LogLevel::Error,
               QStringLiteral("MQTT: %1 is not a usable broker address").arg(BrokerText()));
    return false;
  }
  if (result != MOSQ_ERR_SUCCESS) {
    // The network thread retries only connections that once got under way, so the first one
    // is retried from here, on the same schedule.
    if (link.RetryMs == int(kReconnectFirstSeconds) * 1000) {
      Q_EMIT Log(LogLevel::Warning,
                 QStringLiteral("MQTT: cannot reach %1 for monitor %2 (%3); retrying")
                     .arg(BrokerText(), link.Name, ErrorText(result)));
    }
    QTimer::singleShot(link.RetryMs, this, [this, &link] { Connect(link); });
    link.RetryMs = std::min(2 * link.RetryMs, int(kReconnectMaxSeconds) * 1000);
    return true;
  }
  result = mosquitto_loop_start(link.Client);
  if (result != MOSQ_ERR_SUCCESS) {
    Q_EMIT Log(LogLevel::Error, QStringLiteral("MQTT: cannot start the network thread for "
                                               "monitor %1: %2")
                                    .arg(link.Name, ErrorText(result)));
    return false;
  }
  link.Running = true;
  return true;
}

void MqttPublisher::ConnectCallback(mosquitto*, void* data, int result) {
  auto* link = static_cast<Link*>(data);
  if (result == 0) link->Up = true;
  QMetaObject::invokeMethod(
      link->Owner, [link, result] { link->Owner->OnConnected(*link, result); },
      Qt::QueuedConnection);
}

void MqttPublisher::DisconnectCallback(mosquitto*, void* data, int result) {
  auto* link = static_cast<Link*>(data);
  link->Up = false;
  QMetaObject::invokeMethod(
      link->Owner, [link, result] { link->Owner->OnDisconnected(*link, result); },
      Qt::QueuedConnection);
}

void MqttPublisher::OnConnected(Link& link, int result) {
  if (stopping_ || !link.Running) return;
  if (result != 0) {
    if (result != link.LastRefusal) {
      Q_EMIT Log(
          LogLevel::Error,
          QStringLiteral("MQTT: %1 refused the connection for monitor %2: %3; check the "
                         "user name and password in the MQTT URL (retrying)")
              .arg(BrokerText(), link.Name, QString::fromUtf8(mosquitto_connack_string(result))));
      link.LastRefusal = result;
    }
    return;
  }
  link.LastRefusal = 0;
  link.Announced = true;
  Q_EMIT Log(LogLevel::Info,
             QStringLiteral("MQTT: connected to %1 for monitor %2").arg(BrokerText(), link.Name));
  PublishRemembered(link);
}

void MqttPublisher::OnDisconnected(Link& link, int result) {
  if (stopping_) {
    // A clean goodbye ends the network thread; after a loss it may be retrying, so cut it.
    if (link.Running) JoinLink(link, result != 0);
    FinishStopIfDone();
    return;
  }
  if (link.Announced) {
    link.Announced = false;
    Q_EMIT Log(LogLevel::Warning,
               QStringLiteral("MQTT: lost the connection to %1 for monitor %2 (%3); reconnecting")
                   .arg(BrokerText(), link.Name, ErrorText(result)));
  }
}

void MqttPublisher::PublishRetained(Link& link, const QByteArray& topic,
                                    const QByteArray& payload) {
  mosquitto_publish(link.Client, nullptr, topic.constData(), int(payload.size()),
                    payload.constData(), kQosAtLeastOnce, true);
}

void MqttPublisher::PublishRemembered(Link& link) {
  PublishRetained(link, link.AvailabilityTopic, link.Online ? kOnline : kOffline);
  if (!link.HaveDiscovery) return;
  for (const TMqttMessage& message :
       MqttDiscoveryConfigs(options_, link.Name, link.Model, link.Firmware, link.FullScale))
    PublishRetained(link, message.Topic, message.Payload);
}

void MqttPublisher::PublishState(const QString& name, const QByteArray& json) {
  Link* link = Find(name);
  if (!link || stopping_ || !link->Running || !link->Up) return;
  mosquitto_publish(link->Client, nullptr, link->StateTopic.constData(), int(json.size()),
                    json.constData(), kQosOnce, false);
}

void MqttPublisher::PublishAlarm(const QString& name, const QByteArray& json) {
  Link* link = Find(name);
  if (!link || stopping_ || !link->Running || !link->Up) return;
  mosquitto_publish(link->Client, nullptr, link->AlarmTopic.constData(), int(json.size()),
                    json.constData(), kQosAtLeastOnce, false);
}

void MqttPublisher::PublishAvailability(const QString& name, bool online) {
  Link* link = Find(name);
  if (!link || stopping_) return;
  link->Online = online;
  if (link->Running && link->Up)
    PublishRetained(*link, link->AvailabilityTopic, online ? kOnline : kOffline);
}

void MqttPublisher::PublishDiscovery(const QString& name, const QString& model,
                                     const QString& firmware, double fullScale) {
  Link* link = Find(name);
  if (!link || stopping_) return;
  link->HaveDiscovery = true;
  link->Model = model;
  link->Firmware = firmware;
  link->FullScale = fullScale;
  if (!link->Running || !link->Up) return;
  for (const TMqttMessage& message :
       MqttDiscoveryConfigs(options_, name, model, firmware, fullScale))
    PublishRetained(*link, message.Topic, message.Payload);
}

void MqttPublisher::Stop() {
  if (stopping_) return;
  stopping_ = true;
  for (auto& [name, link] : links_) {
    if (!link->Running) continue;
    const bool up = link->Up;
    PublishRetained(*link, link->AvailabilityTopic, kOffline);
    mosquitto_disconnect(link->Client);
    // Not connected, the network thread may sit in a connect() to an unreachable host.
    if (!up) JoinLink(*link, true);
  }
  stopLimit_.start(kStopLimitMs);
  FinishStopIfDone();
}

void MqttPublisher::JoinLink(Link& link, bool force) {
  mosquitto_loop_stop(link.Client, force);
  link.Running = false;
  link.Up = false;
}

void MqttPublisher::FinishStopIfDone() {
  if (stopReported_) return;
  for (const auto& [name, link] : links_) {
    if (link->Running) return;
  }
  stopLimit_.stop();
  stopReported_ = true;
  Q_EMIT Log(LogLevel::Info, QStringLiteral("MQTT: stopped publishing to %1").arg(BrokerText()));
  QMetaObject::invokeMethod(
      this, [this] { Q_EMIT Stopped(); }, Qt::QueuedConnection);
}

}  // namespace vemo

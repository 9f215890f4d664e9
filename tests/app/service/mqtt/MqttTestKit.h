// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A real broker and a subscriber for the publisher's tests, on loopback only.
//
//   MqttTestBroker broker;
//   broker.Start();                       // anonymous; Start("user", "pass") for a password
//   MqttTestSubscriber sub(broker.Port());
//   ASSERT_TRUE(sub.Subscribe("vemoswr/#"));
//   ASSERT_TRUE(sub.WaitFor("vemoswr/tx/availability", "online"));

#include <QByteArray>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class QProcess;
class QTemporaryDir;
struct mosquitto;
struct mosquitto_message;

namespace vemo::test {

class MqttTestBroker {
 public:
  MqttTestBroker();
  ~MqttTestBroker();

  // The broker's port is a free loopback port, chosen at construction so that clients can
  // be pointed at it before it starts. Start() runs it there (again after Stop()), with a
  // password file when user is not empty. Raises std::runtime_error when it does not
  // accept connections within five seconds.
  void Start(const std::string& user = {}, const std::string& password = {});
  void Stop();
  int Port() const { return port_; }

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<QProcess> process_;
  int port_;
};

struct TReceived {
  QByteArray Topic;
  QByteArray Payload;
  bool Retained = false;
};

// Subscribes on its own connection (reconnecting, and subscribing again, by itself) and
// keeps every message it receives.
class MqttTestSubscriber {
 public:
  explicit MqttTestSubscriber(int port, const std::string& user = {},
                              const std::string& password = {});
  ~MqttTestSubscriber();

  // Waits (running the event loop) until the broker confirmed the subscription.
  bool Subscribe(const std::string& filter);
  // Waits (running the event loop) for a message on topic, with payload unless it is null;
  // returns it, or nothing after the timeout.
  std::optional<TReceived> WaitFor(const QByteArray& topic, const QByteArray& payload = {},
                                   int timeoutMs = 5000);
  std::vector<TReceived> Received() const;
  void Clear();
  // Publishes a retained message and waits until the broker sends it back.
  bool PublishRetained(const QByteArray& topic, const QByteArray& payload);

 private:
  static void OnConnect(mosquitto*, void* self, int result);
  static void OnSubscribe(mosquitto*, void* self, int mid, int count, const int* granted);
  static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);

  mosquitto* client_ = nullptr;
  mutable std::mutex mutex_;
  std::vector<std::string> filters_;
  std::vector<int> acknowledged_;
  std::vector<TReceived> received_;
};

}  // namespace vemo::test

// SPDX-License-Identifier: GPL-3.0-or-later
// vemoswrd publishing simulated monitors to a real broker on loopback, read back by a real
// subscriber: what a home-automation controller sees of the service, alive and dead.
#include "app/service/mqtt/MqttDiscovery.h"
#include "tests/app/service/mqtt/MqttTestKit.h"
#include "tests/support/SimProcess.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

namespace vemo::test {
namespace {

// Forward 100 W into 4 W reflected: VSWR 1.5.
std::vector<std::string> SimArgs(const QString& link, double forward) {
  return {"--link",       link.toStdString(),
          "--noise",      "0",
          "--forward",    std::to_string(forward),
          "--reflected",  "4",
          "--full-scale", "250"};
}

constexpr const char* kLegacyConfig = "homeassistant/sensor/vemoswr_tx/forward/config";

class ServiceMqtt : public ::testing::Test {
 protected:
  void SetUp() override {
    broker_.Start();
    // An older version's entity for tx, under the id every installation used to share.
    ASSERT_TRUE(MqttTestSubscriber(broker_.Port())
                    .PublishRetained(kLegacyConfig, R"({"unique_id":"vemoswr_tx_forward"})"));
    tx_.Start(SimArgs(dir_.filePath("tx"), 100));
    rx_.Start(SimArgs(dir_.filePath("rx"), 60));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VEMOSWRD_INI", dir_.filePath("none.ini"));  // no user configuration
    service_.setProcessEnvironment(env);
    service_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service_.start(QCoreApplication::applicationDirPath() + "/../bin/vemoswrd",
                   {"--monitor", "tx=" + dir_.filePath("tx"), "--monitor",
                    "rx=" + dir_.filePath("rx"), "--interval", "200", "--listen", "127.0.0.1:0",
                    "--mqtt", "mqtt://127.0.0.1:" + QString::number(broker_.Port())});
    ASSERT_TRUE(service_.waitForStarted(5000));
  }
  void TearDown() override {
    if (service_.state() != QProcess::NotRunning) {
      service_.kill();
      service_.waitForFinished(2000);
    }
  }
  void WaitOnline(MqttTestSubscriber& sub) {
    for (const char* name : {"tx", "rx"})
      ASSERT_TRUE(sub.WaitFor(QByteArray("vemoswr/") + name + "/availability", "online", 8000))
          << name;
  }

  QTemporaryDir dir_;
  MqttTestBroker broker_;
  SimProcess tx_, rx_;
  QProcess service_;
};

TEST_F(ServiceMqtt, PublishesStateRetainedAvailabilityAndDiscoveryThenTheLastWillOnAKill) {
  MqttTestSubscriber live(broker_.Port());
  ASSERT_TRUE(live.Subscribe("vemoswr/#"));
  WaitOnline(live);
  const auto state = live.WaitFor("vemoswr/tx/state");
  ASSERT_TRUE(state);
  const QJsonObject json = QJsonDocument::fromJson(state->Payload).object();
  EXPECT_NEAR(json["forward_watts"].toDouble(), 100, 1) << state->Payload.toStdString();
  EXPECT_NEAR(json["vswr"].toDouble(), 1.5, 0.01) << state->Payload.toStdString();
  EXPECT_TRUE(json["alarm"].isBool());
  const auto rxState = live.WaitFor("vemoswr/rx/state");
  ASSERT_TRUE(rxState);
  EXPECT_NEAR(QJsonDocument::fromJson(rxState->Payload)["forward_watts"].toDouble(), 60, 1);

  // A controller that subscribes later learns the rest from retained messages alone.
  MqttTestSubscriber late(broker_.Port());
  ASSERT_TRUE(late.Subscribe("vemoswr/+/availability"));
  ASSERT_TRUE(late.Subscribe("homeassistant/#"));
  const auto online = late.WaitFor("vemoswr/tx/availability", "online");
  ASSERT_TRUE(online);
  EXPECT_TRUE(online->Retained);
  const QByteArray node = QByteArray::fromStdString(MachineIdPrefix()) + "_tx";
  const auto config = late.WaitFor("homeassistant/sensor/" + node + "/forward/config");
  ASSERT_TRUE(config);
  EXPECT_TRUE(config->Retained);
  const QJsonObject discovery = QJsonDocument::fromJson(config->Payload).object();
  EXPECT_EQ(discovery["state_topic"].toString(), "vemoswr/tx/state");
  EXPECT_EQ(discovery["unique_id"].toString(), node + "_forward");
  EXPECT_EQ(discovery["default_entity_id"].toString(), "sensor.vemoswr_tx_forward");
  EXPECT_FALSE(discovery["device"]["model"].toString().isEmpty()) << config->Payload.toStdString();
  for (const TReceived& m : late.Received())
    EXPECT_FALSE(m.Topic == kLegacyConfig && !m.Payload.isEmpty()) << "the old entity stays";

  // An implausible reading is no measurement: rx publishes no state for it (not even the
  // last good one again, as if it were new) while tx goes on.
  live.Clear();
  rx_.SetReadingReply("  1e3   4.0 0\r\n>");
  const auto statesOf = [&](const char* topic) {
    std::vector<QByteArray> payloads;
    for (const TReceived& m : live.Received())
      if (m.Topic == topic) payloads.push_back(m.Payload);
    return payloads;
  };
  QElapsedTimer waited;
  waited.start();
  while (statesOf("vemoswr/tx/state").size() < 5 && waited.elapsed() < 8000) QThread::msleep(50);
  ASSERT_GE(statesOf("vemoswr/tx/state").size(), 5u);
  // At most the reading under way when the reply changed; none of the implausible ones.
  EXPECT_LE(statesOf("vemoswr/rx/state").size(), 1u);

  live.Clear();
  ::kill(static_cast<pid_t>(service_.processId()), SIGKILL);
  // The kernel closes the dead process's connections: the broker sends the last-wills.
  for (const char* name : {"tx", "rx"})
    EXPECT_TRUE(live.WaitFor(QByteArray("vemoswr/") + name + "/availability", "offline")) << name;
}

TEST_F(ServiceMqtt, SaysOfflineAndEndsWithinTwoSecondsOnSigterm) {
  MqttTestSubscriber live(broker_.Port());
  ASSERT_TRUE(live.Subscribe("vemoswr/+/availability"));
  WaitOnline(live);
  live.Clear();
  QElapsedTimer t;
  t.start();
  ::kill(static_cast<pid_t>(service_.processId()), SIGTERM);
  ASSERT_TRUE(service_.waitForFinished(3000));
  EXPECT_LT(t.elapsed(), 2000);
  EXPECT_EQ(service_.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(service_.exitCode(), 0);
  for (const char* name : {"tx", "rx"})
    EXPECT_TRUE(live.WaitFor(QByteArray("vemoswr/") + name + "/availability", "offline", 1000))
        << name;
}

}  // namespace
}  // namespace vemo::test

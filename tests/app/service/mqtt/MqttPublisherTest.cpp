// SPDX-License-Identifier: GPL-3.0-or-later
// The publisher against a real broker on loopback, read back by a real subscriber.
#include "app/service/mqtt/MqttPublisher.h"
#include "tests/app/service/mqtt/MqttTestKit.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

namespace vemo {
namespace {

using test::MqttTestBroker;
using test::MqttTestSubscriber;

const QByteArray kState =
    R"({"forward_watts":412.0,"reflected_watts":9.5,"vswr":1.36,"return_loss_db":16.4,)"
    R"("alarm":false,"time":"2026-01-01T00:00:00Z"})";

TMqttOptions Loopback(int port) {
  TMqttOptions options;
  options.Host = "127.0.0.1";
  options.Port = port;
  return options;
}

QStringList Logs(const QSignalSpy& spy, MqttPublisher::LogLevel level) {
  QStringList texts;
  for (const QList<QVariant>& args : spy) {
    if (args[0].value<MqttPublisher::LogLevel>() == level) texts << args[1].toString();
  }
  return texts;
}

TEST(MqttPublisher, PublishesStateAlarmRetainedAvailabilityAndDiscoveryThenSaysOffline) {
  MqttTestBroker broker;
  broker.Start();
  MqttTestSubscriber live(broker.Port());
  ASSERT_TRUE(live.Subscribe("vemoswr/#"));

  MqttPublisher publisher(Loopback(broker.Port()));
  QSignalSpy stopped(&publisher, &MqttPublisher::Stopped);
  ASSERT_TRUE(publisher.AddMonitor("tx"));
  ASSERT_TRUE(publisher.AddMonitor("rx2"));
  publisher.PublishAvailability("tx", true);
  publisher.PublishDiscovery("tx", "KRFMON04", "2.1", 250);
  ASSERT_TRUE(publisher.Start());
  ASSERT_TRUE(QTest::qWaitFor([&] { return publisher.Connected("tx"); }, 5000));
  publisher.PublishState("tx", kState);
  publisher.PublishAlarm("tx", R"({"source":"vswr","state":"tripped"})");

  const auto state = live.WaitFor("vemoswr/tx/state");
  ASSERT_TRUE(state);
  EXPECT_EQ(state->Payload, kState);
  EXPECT_FALSE(state->Retained);
  ASSERT_TRUE(live.WaitFor("vemoswr/tx/alarm", R"({"source":"vswr","state":"tripped"})"));
  // A monitor nobody declared up is "offline", not "online", on connection.
  ASSERT_TRUE(live.WaitFor("vemoswr/rx2/availability", "offline"));

  // Someone who subscribes later still learns availability and the entities.
  MqttTestSubscriber late(broker.Port());
  ASSERT_TRUE(late.Subscribe("#"));
  const auto online = late.WaitFor("vemoswr/tx/availability", "online");
  ASSERT_TRUE(online);
  EXPECT_TRUE(online->Retained);
  const auto forward = late.WaitFor("homeassistant/sensor/vemoswr_tx/forward/config");
  ASSERT_TRUE(forward);
  EXPECT_TRUE(forward->Retained);
  const QJsonObject config = QJsonDocument::fromJson(forward->Payload).object();
  EXPECT_EQ(config["state_topic"].toString(), "vemoswr/tx/state");
  EXPECT_EQ(config["availability_topic"].toString(), "vemoswr/tx/availability");
  EXPECT_EQ(config["value_template"].toString(), "{{ value_json.forward_watts }}");
  EXPECT_EQ(config["unit_of_measurement"].toString(), "W");
  EXPECT_EQ(config["device"].toObject()["model"].toString(), "KRFMON04");
  EXPECT_EQ(config["device"].toObject()["sw_version"].toString(), "2.1");
  for (const char* object : {"sensor/vemoswr_tx/reflected", "sensor/vemoswr_tx/vswr",
                             "sensor/vemoswr_tx/return_loss", "binary_sensor/vemoswr_tx/alarm"}) {
    EXPECT_TRUE(late.WaitFor(QByteArray("homeassistant/") + object + "/config")) << object;
  }
  // Nothing retained but availability and discovery.
  for (const test::TReceived& message : late.Received()) {
    if (message.Retained) {
      EXPECT_TRUE(message.Topic.endsWith("/availability") || message.Topic.endsWith("/config"))
          << message.Topic.toStdString();
    }
  }

  live.Clear();
  QElapsedTimer clock;
  clock.start();
  publisher.Stop();
  publisher.PublishState("tx", kState);  // after Stop: nothing
  ASSERT_TRUE(stopped.wait(3000));
  EXPECT_LT(clock.elapsed(), 2000);
  EXPECT_TRUE(live.WaitFor("vemoswr/tx/availability", "offline"));
  EXPECT_FALSE(publisher.Connected("tx"));
  for (const test::TReceived& message : live.Received())
    EXPECT_NE(message.Topic, "vemoswr/tx/state");
}

TEST(MqttPublisher, LastWillSaysOfflineWhenTheServiceIsKilled) {
  MqttTestBroker broker;
  broker.Start();
  MqttTestSubscriber subscriber(broker.Port());
  ASSERT_TRUE(subscriber.Subscribe("vemoswr/#"));

  QProcess service;
  service.setProcessChannelMode(QProcess::ForwardedChannels);
  service.start(VEMO_PUBLISH_HELPER, {QString::number(broker.Port()), "tx"});
  ASSERT_TRUE(service.waitForStarted());
  ASSERT_TRUE(subscriber.WaitFor("vemoswr/tx/availability", "online"));
  ASSERT_TRUE(subscriber.WaitFor("vemoswr/tx/state"));
  subscriber.Clear();
  service.kill();
  service.waitForFinished();
  const auto will = subscriber.WaitFor("vemoswr/tx/availability", "offline");
  ASSERT_TRUE(will);

  MqttTestSubscriber late(broker.Port());
  ASSERT_TRUE(late.Subscribe("vemoswr/#"));
  const auto retained = late.WaitFor("vemoswr/tx/availability");
  ASSERT_TRUE(retained);
  EXPECT_EQ(retained->Payload, "offline");
}

TEST(MqttPublisher, ConnectsOnceTheBrokerComesAndRepublishesAfterItRestarts) {
  MqttTestBroker broker;
  MqttPublisher publisher(Loopback(broker.Port()));
  QSignalSpy logs(&publisher, &MqttPublisher::Log);
  ASSERT_TRUE(publisher.AddMonitor("tx"));
  publisher.PublishAvailability("tx", true);
  publisher.PublishDiscovery("tx", "KRFMON04", "2.1", 250);
  ASSERT_TRUE(publisher.Start());  // the broker is not up yet

  broker.Start();
  MqttTestSubscriber first(broker.Port());
  ASSERT_TRUE(first.Subscribe("#"));
  ASSERT_TRUE(first.WaitFor("vemoswr/tx/availability", "online", 8000));

  // A restarted broker without persistence has lost every retained message.
  broker.Stop();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !publisher.Connected("tx"); }, 5000));
  broker.Start();
  MqttTestSubscriber second(broker.Port());
  ASSERT_TRUE(second.Subscribe("#"));
  ASSERT_TRUE(second.WaitFor("vemoswr/tx/availability", "online", 8000));
  ASSERT_TRUE(second.WaitFor("homeassistant/binary_sensor/vemoswr_tx/alarm/config"));
  EXPECT_EQ(Logs(logs, MqttPublisher::LogLevel::Warning).filter("lost the connection").size(), 1);
}

TEST(MqttPublisher, BrokerWithPasswordsAcceptsTheRightOneAndTheWrongOneIsReported) {
  MqttTestBroker broker;
  broker.Start("ham", "s3cr@t");
  MqttTestSubscriber subscriber(broker.Port(), "ham", "s3cr@t");
  ASSERT_TRUE(subscriber.Subscribe("vemoswr/#"));
  const std::string address = "@127.0.0.1:" + std::to_string(broker.Port());

  const auto good = ParseMqttUrl("mqtt://ham:s3cr%40t" + address, nullptr);
  ASSERT_TRUE(good);
  MqttPublisher right(*good);
  ASSERT_TRUE(right.AddMonitor("tx"));
  right.PublishAvailability("tx", true);
  ASSERT_TRUE(right.Start());
  EXPECT_TRUE(subscriber.WaitFor("vemoswr/tx/availability", "online"));

  const auto bad = ParseMqttUrl("mqtt://ham:wrong" + address, nullptr);
  ASSERT_TRUE(bad);
  MqttPublisher wrong(*bad);
  QSignalSpy logs(&wrong, &MqttPublisher::Log);
  ASSERT_TRUE(wrong.AddMonitor("rx"));
  ASSERT_TRUE(wrong.Start());
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return !Logs(logs, MqttPublisher::LogLevel::Error).filter("refused").isEmpty(); },
      5000));
  EXPECT_FALSE(wrong.Connected("rx"));
}

TEST(MqttPublisher, UnusableCaFileRefusesToStartRatherThanConnectInClear) {
  MqttTestBroker broker;
  broker.Start();
  TMqttOptions options = Loopback(broker.Port());
  options.Tls = true;
  options.CaFile = "/nonexistent/ca.pem";
  MqttPublisher publisher(options);
  QSignalSpy logs(&publisher, &MqttPublisher::Log);
  ASSERT_TRUE(publisher.AddMonitor("tx"));
  EXPECT_FALSE(publisher.Start());
  EXPECT_EQ(Logs(logs, MqttPublisher::LogLevel::Error).filter("/nonexistent/ca.pem").size(), 1);
  QTest::qWait(300);
  EXPECT_FALSE(publisher.Connected("tx"));
}

TEST(MqttPublisher, StopsInBoundedTimeWhenTheBrokerCannotBeReached) {
  MqttTestBroker absent;  // a free port, nothing listening
  MqttPublisher publisher(Loopback(absent.Port()));
  QSignalSpy stopped(&publisher, &MqttPublisher::Stopped);
  ASSERT_TRUE(publisher.AddMonitor("tx"));
  ASSERT_TRUE(publisher.Start());
  QTest::qWait(200);
  QElapsedTimer clock;
  clock.start();
  publisher.Stop();
  EXPECT_LT(clock.elapsed(), 500);  // Stop() itself returns at once
  ASSERT_TRUE(stopped.wait(3000));
  EXPECT_LT(clock.elapsed(), 2000);
}

}  // namespace
}  // namespace vemo

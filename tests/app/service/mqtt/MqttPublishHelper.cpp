// SPDX-License-Identifier: GPL-3.0-or-later
// A service stand-in that a test can SIGKILL: publishes one monitor to the broker on
// loopback port argv[1], online, with a reading every 100 ms.
#include "app/service/mqtt/MqttPublisher.h"

#include <QCoreApplication>
#include <QTimer>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 3) return 2;
  vemo::TMqttOptions options;
  options.Host = "127.0.0.1";
  options.Port = QByteArray(argv[1]).toInt();
  const QString name = QString::fromLocal8Bit(argv[2]);
  vemo::MqttPublisher publisher(options);
  if (!publisher.AddMonitor(name) || !publisher.Start()) return 1;
  publisher.PublishAvailability(name, true);
  QTimer readings;
  QObject::connect(&readings, &QTimer::timeout, &publisher, [&] {
    publisher.PublishState(name, R"({"forward_watts":100.0,"alarm":false})");
  });
  readings.start(100);
  return app.exec();
}

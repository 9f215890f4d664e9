// SPDX-License-Identifier: GPL-3.0-or-later
// vemoswrd: polls one or more monitors and serves them over HTTP, without a window.

#include "app/service/HttpService.h"
#include "app/service/MonitorPoller.h"
#include "app/service/ReportWriter.h"
#include "app/service/ServiceHost.h"
#include "app/service/ServiceLog.h"
#include "app/service/ServiceOptions.h"
#include "app/service/mqtt/MqttDiscovery.h"
#include "app/service/mqtt/MqttObserver.h"
#include "app/service/mqtt/MqttPublisher.h"
#include "app/service/snmp/SnmpSource.h"
#include "platform/SignalStop.h"
#include "platform/Version.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

using namespace vemo;
using namespace vemo::service;

namespace {

// A stop waits this long for the pollers to close their ports and the broker to hear
// "offline"; a thread held up in the kernel does not keep the process from ending.
constexpr int kStopLimitMs = 1500;
static_assert(MqttPublisher::kStopLimitMs < kStopLimitMs,
              "the broker hears \"offline\" before the process ends");

// A token that can be guessed or read by others guards nothing: say so, and go on, so
// that a service that ran yesterday still starts.
constexpr qsizetype kMinTokenLength = 16;

QByteArray ReadToken(const std::string& path, std::vector<std::string>& warnings) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) throw UsageError("Cannot read the token file " + path + ".");
  const QByteArray token = f.read(4096).trimmed();
  if (token.isEmpty() || token.contains('\n'))
    throw UsageError("The token file " + path + " must hold one line, the token.");
  if (token.size() < kMinTokenLength)
    warnings.push_back("the token in " + path + " has only " + std::to_string(token.size()) +
                       " characters: use at least " + std::to_string(kMinTokenLength) +
                       ", for example from: head -c 24 /dev/urandom | base64");
  if (f.permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther))
    warnings.push_back("other users may read or change the token file " + path + ": chmod o-rwx " +
                       path);
  return token;
}

// Each monitor's device, resolved once and kept for the whole run: a port number through
// the configuration's port map first, then the user's own, as the program resolves it (see
// DevicePath), a path as given. A monitor given by path is never opened through a port
// number, so nothing that happens to files later can send its commands to another device.
void ResolveDevices(ServiceOptions& options) {
  for (MonitorConfig& m : options.monitors) {
    m.DevicePath = DevicePath(options, m.Device);
    LogLine("info", "monitor=" + m.Name.toStdString() + " device=" + m.DevicePath +
                        " interval_ms=" + std::to_string(m.IntervalMs));
  }
}

std::optional<TMqttOptions> MqttOptionsOf(const ServiceOptions& options) {
  if (options.mqttUrl.empty()) return std::nullopt;
  std::string error;
  std::optional<TMqttOptions> mqtt = ParseMqttUrl(options.mqttUrl, &error);
  if (!mqtt) throw UsageError(error);
  mqtt->CaFile = options.mqttCaFile;
  mqtt->IdPrefix = options.mqttIdPrefix.empty() ? MachineIdPrefix() : options.mqttIdPrefix;
  return mqtt;
}

const char* LevelName(MqttPublisher::LogLevel level) {
  switch (level) {
    case MqttPublisher::LogLevel::Info:
      return "info";
    case MqttPublisher::LogLevel::Warning:
      return "warning";
    case MqttPublisher::LogLevel::Error:
      return "error";
  }
  return "error";
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);

  ServiceOptions options;
  QByteArray token;
  std::optional<TMqttOptions> mqttOptions;
  try {
    options = ParseServiceOptions(args);
    if (options.help) {
      std::fputs(kServiceUsage, stdout);
      return 0;
    }
    if (options.version) {
      std::printf("vemoswrd %s\n%s", vemo::kVersion, vemo::kLicenceNotice);
      return 0;
    }
    if (!options.tokenFile.empty()) token = ReadToken(options.tokenFile, options.warnings);
    mqttOptions = MqttOptionsOf(options);
    ResolveDevices(options);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "vemoswrd: %s\nTry 'vemoswrd --help'.\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vemoswrd: %s\n", e.what());
    return 2;
  }
  if (!options.configFile.empty()) LogLine("info", "config=" + options.configFile);
  for (const std::string& w : options.warnings) LogLine("warning", w);
  const GuardedTcpServer::Limits httpLimits;
  const long handles = RaiseFileHandleLimit();
  const int room = MonitorsWithin(handles, mqttOptions.has_value(), httpLimits);
  const int monitors = static_cast<int>(options.monitors.size());
  LogLine(monitors > room ? "warning" : "info",
          "file handles: " + std::to_string(handles) + ", room for " + std::to_string(room) +
              " monitors with every HTTP connection in use" +
              (monitors > room ? "; " + std::to_string(monitors) +
                                     " configured: raise LimitNOFILE (or ulimit -n)"
                               : ""));

  std::vector<MonitorPoller*> pollers;
  std::unique_ptr<MqttPublisher> mqtt;
  std::unique_ptr<MqttObserver> mqttObserver;  // outlives the pollers that call it
  bool mqttStopped = false;
  bool stopping = false;
  ServiceManager manager;
  // Before any port opens: the serial layer's threads inherit the blocked signals.
  SignalStop signals({SIGTERM, SIGINT}, [&](int signal) {
    if (stopping) return;
    stopping = true;
    LogLine("info", "stopping on signal " + std::to_string(signal));
    manager.Stopping();
    if (mqtt) mqtt->Stop();  // first, so that "offline" goes out while the rest stops
    for (MonitorPoller* p : pollers)
      QMetaObject::invokeMethod(p, &MonitorPoller::Stop, Qt::QueuedConnection);
    auto* check = new QTimer(&app);
    QObject::connect(check, &QTimer::timeout, &app, [&] {
      for (MonitorPoller* p : pollers)
        if (!p->Stopped()) return;
      if (mqtt && !mqttStopped) return;
      app.quit();
    });
    check->start(10);
    // Whatever has not stopped by then is left to the process's end, which closes the
    // ports.
    QTimer::singleShot(kStopLimitMs, &app, [] {
      LogLine("warning", "stop: the pollers did not stop in time; closing the ports");
      std::_Exit(0);
    });
  });

  // Polling has a thread of its own: answering HTTP requests never holds up a reading.
  // Started after SignalStop, whose blocked signals it inherits, as do the ports' threads.
  QThread pollingThread;
  pollingThread.setObjectName(QStringLiteral("polling"));
  for (MonitorConfig& config : options.monitors) pollers.push_back(new MonitorPoller(config));
  HttpService http(pollers, token);
  http.SetLimits(httpLimits);
  http.SetReportDir(QString::fromStdString(options.reportDir));
  QString error;
  if (!http.Listen(options.listenAddress, options.listenPort, error)) {
    LogLine("error", "cannot listen on " + options.listenAddress.toString().toStdString() + ":" +
                         std::to_string(options.listenPort) + ": " + error.toStdString());
    return 1;
  }
  LogLine("info", "listening on " + options.listenAddress.toString().toStdString() + ":" +
                      std::to_string(http.Port()) + (token.isEmpty() ? " read-only" : ""));
  // After SignalStop: libmosquitto's threads must inherit the blocked signals too.
  if (mqttOptions) {
    mqtt = std::make_unique<MqttPublisher>(*mqttOptions);
    QObject::connect(mqtt.get(), &MqttPublisher::Log, &app,
                     [](MqttPublisher::LogLevel level, const QString& text) {
                       LogLine(LevelName(level), text.toStdString());
                     });
    QObject::connect(mqtt.get(), &MqttPublisher::Stopped, &app, [&] { mqttStopped = true; });
    mqttObserver = std::make_unique<MqttObserver>(*mqtt);
    for (MonitorPoller* p : pollers) {
      mqtt->AddMonitor(p->Config().Name);
      p->AddObserver(mqttObserver.get());
    }
    if (!mqtt->Start()) return 2;
    LogLine("info", "mqtt discovery ids start with " + mqttOptions->IdPrefix);
  }

  std::unique_ptr<SnmpAgent> snmp;
  std::unique_ptr<SnmpObserver> snmpObserver;  // outlives the pollers that call it
  if (!options.agentx.empty()) {
    snmp = std::make_unique<SnmpAgent>(options.agentx, options.snmpEnterprise, [&pollers] {
      return SnmpMonitors(pollers, QDateTime::currentMSecsSinceEpoch());
    });
    std::string snmpError;
    if (!snmp->Start(snmpError)) {
      LogLine("error", snmpError);
      return 1;
    }
    snmpObserver = std::make_unique<SnmpObserver>(*snmp, pollers);
    for (MonitorPoller* p : pollers) p->AddObserver(snmpObserver.get());
    LogLine("info", "snmp agentx=" + options.agentx +
                        " enterprise=" + std::to_string(options.snmpEnterprise));
  }

  for (MonitorPoller* p : pollers) {
    p->moveToThread(&pollingThread);
    QObject::connect(&pollingThread, &QThread::finished, p, &QObject::deleteLater);
  }
  pollingThread.start();
  for (MonitorPoller* p : pollers)
    QMetaObject::invokeMethod(p, &MonitorPoller::Start, Qt::QueuedConnection);
  std::unique_ptr<ReportWriter> reports;
  if (!options.reportDir.empty()) {
    std::vector<TReportSource> sources;
    for (const MonitorConfig& m : options.monitors)
      if (!m.HistoryDb.empty()) sources.push_back({m.Name, m.HistoryDb, m.Alarms});
    reports = std::make_unique<ReportWriter>(QString::fromStdString(options.reportDir),
                                             std::move(sources));
  }
  manager.Ready("serving " + std::to_string(monitors) + " monitors on port " +
                std::to_string(http.Port()));

  const int rc = app.exec();
  // The pollers have stopped (or the process has ended): they go with their thread.
  pollingThread.quit();
  pollingThread.wait();
  pollers.clear();
  LogLine("info", "stopped");
  return rc;
}

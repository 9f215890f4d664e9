// SPDX-License-Identifier: GPL-3.0-or-later
// The service's request routing, query parsing and command line, without a socket.
#include "app/service/MonitorPoller.h"
#include "app/service/Routing.h"
#include "app/service/ServiceOptions.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <fstream>
#include <map>
#include <random>

using namespace std::string_literals;

namespace vemo::service {
namespace {

TEST(ServiceRouting, PathsAndMethodsPickTheirRoutes) {
  struct Row {
    const char* method;
    const char* path;
    RouteKind kind;
    const char* monitor;
  };
  const Row rows[] = {
      {"GET", "/", RouteKind::Page, ""},
      {"HEAD", "/metrics", RouteKind::Metrics, ""},
      {"GET", "/api/v1/monitors", RouteKind::MonitorList, ""},
      {"GET", "/api/v1/monitors/tx", RouteKind::Monitor, "tx"},
      {"GET", "/api/v1/monitors/tx%202/history", RouteKind::History, "tx 2"},
      {"GET", "/api/v1/monitors/tx/report", RouteKind::Report, "tx"},
      {"POST", "/api/v1/monitors/tx/report", RouteKind::MethodNotAllowed, ""},
      {"GET", "/api/v1/monitors/tx/stream", RouteKind::Stream, "tx"},
      {"GET", "/api/v1/stream", RouteKind::StreamAll, ""},
      {"POST", "/api/v1/monitors/tx/reset-alarm", RouteKind::ResetAlarm, "tx"},
      {"POST", "/api/v1/monitors/tx/acknowledge", RouteKind::Acknowledge, "tx"},
      {"GET", "/api/v1/monitors/tx/reset-alarm", RouteKind::MethodNotAllowed, ""},
      {"POST", "/metrics", RouteKind::MethodNotAllowed, ""},
      {"GET", "/api/v1/monitors/tx/other", RouteKind::NotFound, ""},
      {"GET", "/api/v1/monitors/tx/stream/x", RouteKind::NotFound, ""},
      {"GET", "/api/v1/monitors//stream", RouteKind::NotFound, ""},
      {"GET", "/api/v1/monitors/a%2Fb", RouteKind::NotFound, ""},
      {"GET", "/metrics/", RouteKind::NotFound, ""},
      {"GET", "/../metrics", RouteKind::NotFound, ""},
  };
  for (const Row& r : rows) {
    const Route route = RouteOf(r.method, r.path);
    EXPECT_EQ(route.Kind, r.kind) << r.method << ' ' << r.path;
    EXPECT_EQ(route.Monitor.toStdString(), r.monitor) << r.path;
  }
}

TEST(ServiceRouting, HistoryQueryTakesAbsoluteOrRelativeTimesAndRefusesTheRest) {
  constexpr qint64 now = 1'700'000'000'000;
  struct Row {
    const char* query;
    bool ok;
    qint64 since, step;
    int columns;
  };
  const Row rows[] = {
      {"", true, now - 600'000, 2000, 300},
      {"since=-60000&step=1000", true, now - 60'000, 1000, 60},
      {"since=1699999990000&step=3000", true, now - 10'000, 3000, 4},
      {"step=1000&step=5", true, now - 600'000, 1000, 600},   // the first of a repeated key
      {"since=0&step=9223372036854775807", true, 0, now, 1},  // one point for it all
      {"since=-60&step=100000", true, now - 60, 100, 1},
      {"since=-1e9", false, 0, 0, 0},
      {"since=abc", false, 0, 0, 0},
      {"step=", false, 0, 0, 0},
      {"step=99", false, 0, 0, 0},
      {"since=1800000000000", false, 0, 0, 0},          // the future
      {"since=0&step=100", false, 0, 0, 0},             // far too many points
      {"since=-99999999999999999999", false, 0, 0, 0},  // no 64-bit number
  };
  for (const Row& r : rows) {
    const auto h = ParseHistoryQuery(ParseQuery(r.query), now);
    ASSERT_EQ(h.has_value(), r.ok) << r.query;
    if (!h) continue;
    EXPECT_EQ(h->SinceMs, r.since) << r.query;
    EXPECT_EQ(h->StepMs, r.step) << r.query;
    EXPECT_EQ(h->Columns, r.columns) << r.query;
  }
}

// Random bytes, and mutations of good requests, never crash the parsers, never give a
// monitor name with a slash, and never more history points than the limit.
TEST(ServiceRouting, AnyBytesGiveASaneRouteAndQuery) {
  std::mt19937 random(7);
  const std::string seeds[] = {"/api/v1/monitors/tx/history", "/api/v1/monitors/%41/stream",
                               "since=-600000&step=2000&x=%zz&&=", "/metrics"};
  const std::string alphabet = "/%&=+-?.0123456789abcdefAF\0\xff tx"s;
  for (int i = 0; i < 20'000; ++i) {
    std::string s = seeds[random() % 4];
    const int edits = static_cast<int>(random() % 6);
    for (int e = 0; e < edits; ++e) {
      const size_t at = s.empty() ? 0 : random() % (s.size() + 1);
      const char c = alphabet[random() % alphabet.size()];
      if (random() % 2 || at == s.size())
        s.insert(at, 1, c);
      else
        s[at] = c;
    }
    const QByteArray bytes(s.data(), static_cast<qsizetype>(s.size()));
    const Route route = RouteOf(i % 2 ? "GET" : "POST", bytes);
    EXPECT_FALSE(route.Monitor.contains('/')) << s;
    if (route.Kind == RouteKind::Monitor) {
      EXPECT_FALSE(route.Monitor.isEmpty());
    }
    const auto h = ParseHistoryQuery(ParseQuery(bytes), 1'700'000'000'000);
    if (h) {
      EXPECT_LE(h->Columns, kMaxHistoryColumns) << s;
    }
  }
}

TEST(ServiceRouting, TokensMatchOnlyWhenEqual) {
  EXPECT_TRUE(TokensEqual("s3cret", "s3cret"));
  EXPECT_FALSE(TokensEqual("s3cre", "s3cret"));
  EXPECT_FALSE(TokensEqual("s3cretX", "s3cret"));
  EXPECT_FALSE(TokensEqual("s3creT", "s3cret"));
  EXPECT_FALSE(TokensEqual("", ""));  // no token configured lets nobody in
}

TEST(ServiceOptions, BackoffDoublesFromOneSecondToThirty) {
  std::vector<int> got;
  for (int n = 1; n <= 8; ++n) got.push_back(MonitorPoller::BackoffMs(n));
  EXPECT_EQ(got, (std::vector<int>{1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000}));
}

TEST(ServiceOptions, UsageErrorsAreRefused) {
  qputenv("VEMOSWRD_INI", "/nonexistent/vemoswrd.ini");  // no default file
  const std::vector<std::vector<std::string>> bad = {
      {},  // no monitor
      {"--monitor", "tx"},
      {"--monitor", "tx=0"},
      {"--monitor", "tx=ttyUSB0"},
      {"--monitor", "t/x=1"},
      {"--monitor", "tx=1", "--interval", "50"},
      {"--monitor", "tx=1", "--listen", "localhost"},
      {"--monitor", "tx=1", "--listen", "127.0.0.1:70000"},
      {"--monitor", "tx=1", "--mqtt", "http://broker"},
      {"--monitor", "tx=1", "--mqtt", "mqtt://"},
      {"--monitor", "tx=1", "--mqtt", "mqtt://broker", "--mqtt-ca", "/etc/ca.pem"},
      {"--monitor", "tx=1", "--mqtt", "mqtt://broker", "--mqtt-id-prefix", "a/b"},
      {"--monitor", "tx=1", "--agentx", "unix:/var/agent x"},
      {"--monitor", "tx=1", "--snmp-enterprise", "0"},
      {"--monitor", "tx=1", "--snmp-enterprise", "4294967296"},
      {"--monitor", "tx=1", "--bogus"},
      {"--monitor", "tx=1", "--config", "/nonexistent/vemoswrd.ini"},
      {"--monitor"},
  };
  for (const auto& args : bad) {
    std::string line;
    for (const auto& a : args) line += a + ' ';
    EXPECT_THROW(ParseServiceOptions(args), UsageError) << line;
  }
}

TEST(ServiceOptions, CommandLineOverridesTheFileAndMonitorsKeepTheirAlarms) {
  QTemporaryDir dir;
  const std::string ini = dir.filePath("vemoswrd.ini").toStdString();
  std::ofstream(ini) << "[Service]\nListen=[::1]:9200\nInterval=1000\n"
                        "[Alarms]\nVSWRAbove=2.5\n"
                        "[Monitor tx]\nDevice=/dev/ttyUSB0\n"
                        "[Monitor rx]\nDevice=2\nInterval=2000\n[Alarms rx]\nVSWRAbove=1.5\n";
  const ServiceOptions o = ParseServiceOptions({"--config", ini, "--monitor", "tx=3", "--monitor",
                                                "aux=/dev/ttyACM0", "--listen", "0.0.0.0:9300"});
  EXPECT_EQ(o.listenAddress.toString().toStdString(), "0.0.0.0");
  EXPECT_EQ(o.listenPort, 9300);
  ASSERT_EQ(o.monitors.size(), 3u);
  std::map<std::string, const MonitorConfig*> by;
  for (const MonitorConfig& m : o.monitors) by[m.Name.toStdString()] = &m;
  EXPECT_EQ(by.at("tx")->Device.toStdString(), "3");
  EXPECT_EQ(by.at("tx")->IntervalMs, 1000);
  EXPECT_EQ(by.at("tx")->Alarms.VSWRAbove, 2.5);
  EXPECT_EQ(by.at("rx")->IntervalMs, 2000);
  EXPECT_EQ(by.at("rx")->Alarms.VSWRAbove, 1.5);
  EXPECT_EQ(by.at("aux")->Alarms.VSWRAbove, 2.5);
  EXPECT_EQ(o.reportDir, o.dataDir + "/reports");
}

TEST(ServiceOptions, WithoutConfigTheDefaultFileIsReadIfItExists) {
  QTemporaryDir dir;
  const std::string ini = dir.filePath("vemoswrd.ini").toStdString();
  qputenv("VEMOSWRD_INI", QByteArray::fromStdString(ini));
  EXPECT_THROW(ParseServiceOptions({}), UsageError);  // not there: nothing to poll
  std::ofstream(ini) << "[Service]\nMqtt=mqtts://broker\nMqttCa=/etc/ca.pem\n"
                        "AgentX=tcp:127.0.0.1:705\nSnmpEnterprise=99999\nReportDir=/srv/r\n"
                        "[Monitor tx]\nDevice=1\n";
  const ServiceOptions o = ParseServiceOptions({});
  EXPECT_EQ(o.configFile, ini);
  ASSERT_EQ(o.monitors.size(), 1u);
  EXPECT_EQ(o.mqttCaFile, "/etc/ca.pem");
  EXPECT_EQ(o.agentx, "tcp:127.0.0.1:705");
  EXPECT_EQ(o.snmpEnterprise, 99999u);
  EXPECT_EQ(o.reportDir, "/srv/r");
  EXPECT_EQ(ParseServiceOptions({"--snmp-enterprise", "4242"}).snmpEnterprise, 4242u);
  const std::string other = dir.filePath("other.ini").toStdString();
  std::ofstream(other) << "[Monitor rx]\nDevice=2\n";
  const ServiceOptions named = ParseServiceOptions({"--config", other});
  ASSERT_EQ(named.monitors.size(), 1u);
  EXPECT_EQ(named.monitors[0].Name.toStdString(), "rx");
  EXPECT_EQ(ParseServiceOptions({"--config", other, "--data-dir", "none"}).reportDir, "");
}

TEST(ServiceOptions, ComNumbersMapThroughTheConfigurationsOwnPorts) {
  QTemporaryDir dir;
  qputenv("VEMOSWR_INI", "/nonexistent/VemoSWR.ini");  // no map of the user's
  const std::string ini = dir.filePath("vemoswrd.ini").toStdString();
  std::ofstream(ini) << "[Ports]\ncom3=/dev/ttyUSB0\n[Monitor tx]\nDevice=3\n";
  const ServiceOptions o =
      ParseServiceOptions({"--config", ini, "--monitor", "rx=5", "--monitor", "aux=/dev/ttyACM0"});
  std::map<std::string, std::string> paths;
  for (const MonitorConfig& m : o.monitors) paths[m.Name.toStdString()] = DevicePath(o, m.Device);
  EXPECT_EQ(paths, (std::map<std::string, std::string>{
                       {"tx", "/dev/ttyUSB0"}, {"rx", "/dev/ttyS4"}, {"aux", "/dev/ttyACM0"}}));
  for (const char* bad : {"COM=/dev/a", "COM0=/dev/a", "Port3=/dev/a", "COM3=ttyUSB0"}) {
    std::ofstream(ini) << "[Ports]\n" << bad << "\n[Monitor tx]\nDevice=3\n";
    EXPECT_THROW(ParseServiceOptions({"--config", ini}), UsageError) << bad;
  }
  qunsetenv("VEMOSWR_INI");
}

TEST(ServiceOptions, WithoutAFileOfItsOwnTheServiceReadsTheSystemsConfiguration) {
  QTemporaryDir home;
  const QByteArray oldHome = qgetenv("HOME");
  qputenv("HOME", home.path().toUtf8());
  qunsetenv("XDG_CONFIG_HOME");
  qunsetenv("VEMOSWRD_INI");
  EXPECT_EQ(DefaultConfigPath(), "/etc/vemoswrd/vemoswrd.ini");
  QDir(home.path()).mkpath(".config/VemoSWR");
  std::ofstream(home.filePath(".config/VemoSWR/vemoswrd.ini").toStdString()) << "[Monitor a/b]\n";
  EXPECT_EQ(DefaultConfigPath(), home.filePath(".config/VemoSWR/vemoswrd.ini").toStdString());
  EXPECT_THROW(ParseServiceOptions({}), UsageError);
  EXPECT_TRUE(ParseServiceOptions({"--version"}).version) << "whatever the file holds";
  qputenv("HOME", oldHome);
}

}  // namespace
}  // namespace vemo::service

// What the command-line tool and the service both read from their users, checked alike.
#include "app/cli/CliOptions.h"
#include "app/service/ServiceOptions.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

#include <string>

namespace vemo {
namespace {

bool ToolTakesPort(int n) {
  try {
    cli::ParseCliOptions({"--port", std::to_string(n), "identify"});
    return true;
  } catch (const cli::UsageError&) {
    return false;
  }
}

bool ServiceTakesPort(int n) {
  qputenv("VEMOSWRD_INI", "/nonexistent/vemoswrd.ini");  // no default file
  try {
    service::ParseServiceOptions({"--monitor", "tx=" + std::to_string(n)});
    return true;
  } catch (const service::UsageError&) {
    return false;
  }
}

TEST(ToolAndServiceOptions, PortNumbersRunOverOneRange) {
  const struct {
    int port;
    bool taken;
  } rows[] = {{0, false}, {1, true}, {255, true}, {256, false}, {65535, false}};
  for (const auto& row : rows) {
    EXPECT_EQ(ToolTakesPort(row.port), row.taken) << row.port;
    EXPECT_EQ(ServiceTakesPort(row.port), row.taken) << row.port;
  }
}

TEST(ToolAndServiceOptions, AConfigurationValueThatCannotBeReadStopsTheServiceSayingWhere) {
  QTemporaryDir dir;
  const std::string ini = dir.filePath("vemoswrd.ini").toStdString();
  const auto refusal = [&](const std::string& content) -> std::string {
    std::ofstream(ini) << content;
    try {
      service::ParseServiceOptions({"--config", ini});
    } catch (const service::UsageError& e) {
      return e.what();
    }
    return "accepted";
  };
  const std::string monitor = "[Monitor tx]\nDevice=1\n";
  const std::string comment = "a comment after a value is part of the value";
  const struct {
    std::string content;
    std::string said;
  } rows[] = {
      {"[Service]\nInterval=1000 ; ms\n" + monitor,
       ", line 2, [Service] Interval: \"1000 ; ms\" has text after the value: " + comment},
      {monitor + "[Alarms]\nVSWRAbove=2.0 ; trip\n",
       ", line 4, [Alarms] VSWRAbove: \"2.0 ; trip\" has text after the value: " + comment},
      {"[Monitor tx]\nDevice=/dev/ttyUSB0    # the transmitter\n",
       ", line 2, [Monitor tx] Device: \"/dev/ttyUSB0    # the transmitter\" has text after"},
      {"[Service]\nInterval=fast\n" + monitor,
       ", line 2, [Service] Interval: \"fast\" is not milliseconds from 100 to 3600000."},
      {monitor + "[Monitor rx]\nDevice=ttyUSB0\n",
       ", line 4, [Monitor rx] Device: \"ttyUSB0\" is not a COM port number or a device path."},
      // Never silently off.
      {monitor + "[Alarms]\nVSWRAbove=high\n", ", [Alarms]: Alarm setting VSWRAbove=\"high\""},
  };
  for (const auto& row : rows) {
    const std::string said = refusal(row.content);
    EXPECT_EQ(said.rfind(dir.path().toStdString() + "/vemoswrd.ini", 0), 0u) << said;
    EXPECT_NE(said.find(row.said), std::string::npos) << said;
  }
}

}  // namespace
}  // namespace vemo

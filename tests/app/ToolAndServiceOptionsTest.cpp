// SPDX-License-Identifier: GPL-3.0-or-later
// What the command-line tool and the service both read from their users, checked alike.
#include "app/cli/CliOptions.h"
#include "app/service/ServiceOptions.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <string>
#include <utility>

namespace vemo {
namespace {

TEST(ToolAndServiceOptions, PortNumbersRunOverOneRange) {
  qputenv("VEMOSWRD_INI", "/nonexistent/vemoswrd.ini");  // no default file
  for (const int port : {0, 1, 255, 256, 65535}) {
    const std::string n = std::to_string(port);
    if (port >= 1 && port <= 255) {
      EXPECT_NO_THROW(cli::ParseCliOptions({"--port", n, "identify"})) << port;
      EXPECT_NO_THROW(service::ParseServiceOptions({"--monitor", "tx=" + n})) << port;
    } else {
      EXPECT_THROW(cli::ParseCliOptions({"--port", n, "identify"}), cli::UsageError) << port;
      EXPECT_THROW(service::ParseServiceOptions({"--monitor", "tx=" + n}), service::UsageError);
    }
  }
}

TEST(ToolAndServiceOptions, AConfigurationValueThatCannotBeReadStopsTheServiceSayingWhere) {
  QTemporaryDir dir;
  const std::string ini = dir.filePath("vemoswrd.ini").toStdString();
  const std::string monitor = "[Monitor tx]\nDevice=1\n";
  const std::string comment = "a comment after a value is part of the value";
  const std::pair<std::string, std::string> rows[] = {
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
  for (const auto& [content, expected] : rows) {
    std::ofstream(ini) << content;
    std::string said = "accepted";
    try {
      service::ParseServiceOptions({"--config", ini});
    } catch (const service::UsageError& e) {
      said = e.what();
    }
    EXPECT_EQ(said.rfind(ini, 0), 0u) << said;
    EXPECT_NE(said.find(expected), std::string::npos) << said;
  }
}

}  // namespace
}  // namespace vemo

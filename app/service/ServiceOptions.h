// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line and configuration file of vemoswrd. The usage text (kServiceUsage)
// documents both.

#include "app/service/MonitorPoller.h"

#include <QHostAddress>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace vemo::service {

// A command line or configuration that does not make sense: exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ServiceOptions {
  bool help = false;
  bool version = false;
  QHostAddress listenAddress{QHostAddress::LocalHost};
  quint16 listenPort = 9110;
  int intervalMs = 500;
  std::string tokenFile;
  std::string mqttUrl;       // checked: mqtt:// or mqtts://, a host, an optional port
  std::string mqttCaFile;    // mqtts: the broker's CA certificates; empty = the system's
  std::string mqttIdPrefix;  // checked; empty = derived from the machine id
  std::string configFile;    // the configuration file read, if any
  std::string agentx;        // the snmpd master's AgentX socket; empty = no SNMP agent
  // The MIB's root under enterprises: IANA's number for documentation until a station
  // sets its own.
  unsigned snmpEnterprise = 32473;
  std::string dataDir;    // the monitors' history databases; "none" for no history
  std::string reportDir;  // the daily and weekly reports; default dataDir/reports, none without
  std::map<int, std::string> ports;  // the configuration's [Ports]: COM number -> device path
  // DevicePath is empty here: the devices are resolved when the service starts.
  std::vector<MonitorConfig> monitors;
  TAlarmLevels alarms;                // [Alarms]: every monitor without a section of its own
  std::vector<std::string> warnings;  // what the service starts with but should be told
};

// The configuration file read without --config, if it exists: the file VEMOSWRD_INI names;
// else vemoswrd.ini where the program keeps its settings, if it is there; else the system's,
// kSystemConfigFile.
std::string DefaultConfigPath();
extern const char* const kSystemConfigFile;

// The device file a monitor's Device names: a path as it is; a COM number through the
// configuration's [Ports], else as the program maps it (PortDevicePath).
std::string DevicePath(const ServiceOptions& options, const QString& device);

// Command-line values override the configuration file's; a --monitor of a name that the
// file also defines replaces it. Raises UsageError.
ServiceOptions ParseServiceOptions(const std::vector<std::string>& args);

// "1" -> port 1, "/dev/ttyUSB0" -> the path; anything else raises UsageError.
// portNumber is 0 for a path.
void ParseDevice(const std::string& text, int& portNumber, std::string& path);

extern const char* const kServiceUsage;

}  // namespace vemo::service

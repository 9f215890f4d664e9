// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line of vemoswr-cli.

#include "app/cli/CliReport.h"
#include "app/cli/HistoryExport.h"
#include "station/AlarmEvaluator.h"

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vemo::cli {

// A command line that does not make sense: exit status 2, the message and a pointer to
// --help.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class Command {
  Identify,
  Read,
  Tune,  // read, shown as a tuning bar with a bell at each new best match
  Settings,
  Set,
  FullScale,
  Eeprom,
  ResetAlarm,
  Calibrate,
  Ports,
  Sweep,
  History,
  Report
};

struct CliOptions {
  bool help = false;
  bool version = false;
  int port = 1;        // COM number, when no device is named
  std::string device;  // device path given with --device
  Command command = Command::Identify;

  // read
  std::optional<long> count;  // readings; none: until interrupted
  double intervalSeconds = 0.5;
  bool csv = false;
  bool utc = false;  // times in UTC ("Z") rather than local time with its offset
  // The program's alarms: judged when any alarm option is given (the monitor's own alarm
  // flag then counts too).
  bool alarms = false;
  TAlarmLevels alarmLevels;
  bool exitOnAlarm = false;
  // read and sweep: the rigctld (HOST:PORT) of the rig the monitor sits behind; read adds
  // its frequency and band, and with interlock unkeys it when an alarm trips.
  std::string rig;
  bool interlock = false;
  std::optional<double> safePowerWatts;  // the interlock also turns RF power down to this

  // sweep
  long long fromHz = 0, toHz = 0, stepHz = 0;
  int dwellMs = 300;
  std::optional<double> powerWatts;
  double powerLimitWatts = 10;

  // set: key -> value as checked, in command-line order (0/1, a whole number or seconds)
  std::vector<std::pair<std::string, double>> assignments;

  // fullscale
  std::optional<double> fullScaleWatts;

  // eeprom
  int address = 0;
  std::optional<int> value;

  // calibrate: 0 zero, 1 forward, 2 reflected
  int calibrationStep = 0;

  // history (the times resolved against the clock when parsed)
  THistoryExport history;

  // report
  TCliReport report;
};

// Raises UsageError with a message for the user.
CliOptions ParseCliOptions(const std::vector<std::string>& args);

extern const char* const kCliUsage;

}  // namespace vemo::cli

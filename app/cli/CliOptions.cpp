// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CliOptions.h"

#include "monitor/VSWRMon.h"
#include "platform/PortNames.h"

#include <QDateTime>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <set>

namespace vemo::cli {

const char* const kCliUsage =
    "usage: vemoswr-cli [--port N | --device PATH] COMMAND [ARGS]\n"
    "       vemoswr-cli --help | --version\n"
    "Talks to the RF power and VSWR monitor on serial port N (default 1; the settings\n"
    "file's [Ports] section maps port numbers to devices) or on the device PATH.\n"
    "\n"
    "commands:\n"
    "  identify                   model=<id> firmware=<YYYY-MM-DD> known=<yes|no>\n"
    "  read [-n COUNT] [-i SECONDS] [--csv] [--utc] [ALARM OPTIONS]\n"
    "                             one line per reading, every SECONDS (0.5), COUNT times or\n"
    "                             until interrupted; --csv prints a header and CSV lines:\n"
    "                             time,forward_w,reflected_w,vswr,return_loss_db,rho,\n"
    "                             transmitted_pct,dbm,alarm,implausible (1: a negative\n"
    "                             power, more reflected than forward, more than 10 % above\n"
    "                             the full scale or a malformed number; counted at the end);\n"
    "                             times in local time with their UTC offset, --utc: in UTC\n"
    "    alarm options: --vswr-above VSWR, --reflected-above WATTS, --forward-below WATTS\n"
    "                   (while keyed: forward power above --keyed-above WATTS, default 0),\n"
    "                   --off-air-below WATTS (keyed or not: a carrier that must stay on),\n"
    "                   --delay SECONDS (a condition must last this long), --exit-on-alarm\n"
    "                             with any of them, alarms (these and the monitor's own)\n"
    "                             are printed on standard error as they trip, are\n"
    "                             acknowledged and clear: <time> alarm source=SOURCE\n"
    "                             event=EVENT value=VALUE level=LEVEL; --exit-on-alarm\n"
    "                             ends with status 3 at the first alarm\n"
    "    rig options: --rig HOST:PORT adds frequency_hz,band (the rig's frequency through\n"
    "                 its rigctld, and its band in the band plan) to every line;\n"
    "                 --interlock with alarm options unkeys the rig when an alarm trips\n"
    "                 (and with --safe-power W turns its RF power down to W)\n"
    "  tune [-n COUNT] [-i SECONDS] [ALARM OPTIONS]\n"
    "                             reads as \"read\" does, shown for tuning by ear and eye:\n"
    "                             VSWR, a bar that grows as the match improves and the\n"
    "                             best VSWR since key-up; the terminal bell rings at each\n"
    "                             new best; \"unkeyed\" without forward power. On a\n"
    "                             terminal the line is rewritten in place\n"
    "  sweep --rig HOST:PORT --from HZ --to HZ --step HZ [--dwell MS] [--power W]\n"
    "        [--power-limit W] [ALARM OPTIONS]\n"
    "                             steps the rig across the range, keyed, and prints CSV:\n"
    "                             frequency_hz,forward_w,reflected_w,vswr; dwell 100 to\n"
    "                             10000 ms per step (300); --power above --power-limit\n"
    "                             (10 W) is refused; the rig's frequency, mode, power and\n"
    "                             PTT are restored at the end, also on an interrupt;\n"
    "                             an alarm of the alarm options ends it at once\n"
    "  settings                   every setting as key=value, one a line\n"
    "  set KEY=VALUE ...          writes settings (Booleans 0/1); keys as \"settings\" prints\n"
    "  fullscale [WATTS]          prints the full scale in watts; with WATTS stores it first\n"
    "                             (0.001 to 1000000; the monitor then reports 1.25 x WATTS\n"
    "                             in its readings)\n"
    "  eeprom ADDR [VALUE]        reads or writes one EEPROM word (decimal or 0x hex)\n"
    "  reset-alarm                resets the monitor's alarm\n"
    "  calibrate zero|forward|reflected\n"
    "                             runs one calibration step, asking on the terminal\n"
    "  ports                      lists the serial ports: COM number, device, whether\n"
    "                             another program has it (free, in use, locked) and what\n"
    "                             the system knows of it (by-id name, USB vendor:product,\n"
    "                             maker, product, serial number); opens nothing\n"
    "  history DB [--from TIME] [--to TIME] [--summary minute|hour|day] [--csv] [--utc]\n"
    "                             a stored history (NAME.sqlite in the program's or the\n"
    "                             service's data folder): the readings in the columns of\n"
    "                             \"read --csv\" and keyed (0/1), or with --summary per\n"
    "                             minute, hour or day: readings, gaps, minimum, mean and\n"
    "                             maximum of forward, reflected and VSWR, seconds in alarm\n"
    "                             and keyed. TIME: 2026-12-08, 2026-12-08T06:00 (local\n"
    "                             time), ...Z or ...+01:00, now, or back from now: -90s,\n"
    "                             -30m, -12h, -7d; default everything up to now; opens no\n"
    "                             port\n"
    "  report DB --day YYYY-MM-DD|--week YYYY-Www [--output FILE] [--name NAME]\n"
    "         [--vswr-above VSWR] [--off-air-below WATTS]\n"
    "                             the daily or weekly report of a stored history (local\n"
    "                             time) as one HTML file: time on the air and keyed,\n"
    "                             forward and VSWR, time above the VSWR limit, alarms\n"
    "                             with their durations, a trend picture; to standard\n"
    "                             output without --output; opens no port\n"
    "\n"
    "Options also take their value after '=' (--port=N, --device=PATH).\n"
    "\n"
    "Settings file: $VEMOSWR_INI, else VemoSWR.ini beside the program if there, else\n"
    "$XDG_CONFIG_HOME/VemoSWR/VemoSWR.ini (~/.config/VemoSWR/VemoSWR.ini).\n"
    "\n"
    "Exit status: 0 success, 1 failure (message on standard error), 2 usage error,\n"
    "3 an alarm with \"read --exit-on-alarm\"; 129, 130 or 143 when SIGHUP, SIGINT or\n"
    "SIGTERM ends \"read -n COUNT\" before COUNT readings.\n";

// With the command line, so that its parsing links nothing of the store.
std::optional<qint64> ParseHistoryTime(const std::string& text, qint64 nowMs) {
  if (text == "now") return nowMs;
  if (text.size() >= 3 && text[0] == '-') {
    long long n = 0;
    const char* last = text.data() + text.size() - 1;
    const auto [end, error] = std::from_chars(text.data() + 1, last, n);
    static const std::pair<char, qint64> kUnits[] = {
        {'s', 1000}, {'m', 60'000}, {'h', 3'600'000}, {'d', 86'400'000}};
    for (const auto& [unit, ms] : kUnits)
      if (*last == unit && error == std::errc() && end == last && n <= 100LL * 365 * 86'400)
        return nowMs - n * ms;
    return std::nullopt;
  }
  const QString q = QString::fromStdString(text);
  QDateTime t = QDateTime::fromString(q, Qt::ISODateWithMs);
  if (!t.isValid()) {
    const QDate day = QDate::fromString(q, Qt::ISODate);
    if (day.isValid()) t = day.startOfDay();
  }
  if (!t.isValid()) return std::nullopt;
  return t.toMSecsSinceEpoch();
}

namespace {

// A bound as a person writes it: "0.001", "14.0625", "1000000".
std::string Written(double value) {
  char text[64];
  if (value == std::floor(value) && std::fabs(value) < 1e15)
    return std::string(
        text, std::to_chars(text, text + sizeof text, value, std::chars_format::fixed).ptr);
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

long ParseInteger(const std::string& what, const std::string& text, long low, long high) {
  long value = 0;
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const char* first = text.data() + (hex ? 2 : 0);
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(first, last, value, hex ? 16 : 10);
  if (text.empty() || error != std::errc() || end != last || value < low || value > high)
    throw UsageError(what + ": '" + text + "' is not a whole number from " + std::to_string(low) +
                     " to " + std::to_string(high));
  return value;
}

double ParseReal(const std::string& what, const std::string& text, double low, double high) {
  double value = 0;
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, value);
  if (text.empty() || error != std::errc() || end != last || !std::isfinite(value) || value < low ||
      value > high)
    throw UsageError(what + ": '" + text + "' is not a number from " + Written(low) + " to " +
                     Written(high));
  return value;
}

const std::string& Next(const std::vector<std::string>& args, size_t& i) {
  if (i + 1 >= args.size()) throw UsageError(args[i] + " needs a value");
  return args[++i];
}

// The value of a setting as the monitor gets it; raises UsageError when it is not one.
double ParseSetting(const std::string& key, const std::string& value) {
  static const std::set<std::string> kBooleans = {
      "latch_alarm",       "alarm_at_power_up", "relay_sense",
      "relay2_sense",      "vswr_alarm_enable", "check_on_zero_power",
      "high_power_enable", "low_power_enable",  "ptt_enable"};
  if (kBooleans.count(key)) {
    if (value != "0" && value != "1") throw UsageError(key + ": '" + value + "' is not 0 or 1");
    return value == "1" ? 1 : 0;
  }
  if (key == "vswr_level") return static_cast<double>(ParseInteger(key, value, 0, 12));
  if (key == "high_power_level" || key == "low_power_level")
    return static_cast<double>(ParseInteger(key, value, 0, 125));
  if (key == "ptt_delay") return ParseReal(key, value, 0, 14.0625);
  if (key == "fwd_dac_gain" || key == "rfl_dac_gain")
    return static_cast<double>(ParseInteger(key, value, 0, 9));
  throw UsageError("unknown setting '" + key + "'");
}

// The alarm options, each with the field it sets and its lowest value above 0.
struct AlarmOption {
  const char* name;
  double TAlarmLevels::*field;
  double above;
};

const AlarmOption* FindAlarmOption(const std::string& name) {
  static const AlarmOption kAlarmOptions[] = {
      {"--vswr-above", &TAlarmLevels::VSWRAbove, 1},
      {"--reflected-above", &TAlarmLevels::ReflectedAbove, 0},
      {"--forward-below", &TAlarmLevels::ForwardBelow, 0},
      {"--off-air-below", &TAlarmLevels::OffAirBelow, 0},
      {"--keyed-above", &TAlarmLevels::KeyedAbove, 0},
      {"--delay", &TAlarmLevels::Delay, 0},
  };
  for (const AlarmOption& option : kAlarmOptions)
    if (name == option.name) return &option;
  return nullptr;
}

void SetAlarmLevel(CliOptions& o, const AlarmOption& alarm, const std::string& text) {
  const std::string a = alarm.name;
  const double level = ParseReal(a, text, 0, a == "--delay" ? 86400 : 1e30);
  if (level > 0 && level <= alarm.above)
    throw UsageError(a + ": '" + Written(level) + "' must be 0 (off) or above " +
                     Written(alarm.above));
  o.alarmLevels.*alarm.field = level;
  o.alarms = true;
}

}  // namespace

CliOptions ParseCliOptions(const std::vector<std::string>& args) {
  CliOptions o;
  size_t i = 0;
  bool portGiven = false;
  for (; i < args.size() && args[i].rfind("-", 0) == 0; ++i) {
    // "--name=value" as well as "--name value".
    const size_t eq = args[i].find('=');
    const std::string a = args[i].substr(0, eq);
    const auto value = [&]() -> std::string {
      return eq == std::string::npos ? Next(args, i) : args[i].substr(eq + 1);
    };
    if ((a == "-h" || a == "--help" || a == "--version") && eq != std::string::npos)
      throw UsageError(a + " takes no value");
    if (a == "-h" || a == "--help") {
      o.help = true;
      return o;
    } else if (a == "--version") {
      o.version = true;
      return o;
    } else if (a == "--port") {
      o.port = static_cast<int>(ParseInteger("--port", value(), 1, kMaxPortNumber));
      portGiven = true;
    } else if (a == "--device") {
      o.device = value();
      if (o.device.empty()) throw UsageError("--device needs a path");
    } else {
      throw UsageError("unknown option " + a);
    }
  }
  if (portGiven && !o.device.empty()) throw UsageError("give either --port or --device");
  if (i == args.size()) throw UsageError("no command given");

  const std::string& name = args[i++];
  std::vector<std::string> rest(args.begin() + static_cast<long>(i), args.end());
  const auto noArguments = [&] {
    if (!rest.empty()) throw UsageError(name + " takes no arguments");
  };

  if (name == "identify") {
    o.command = Command::Identify;
    noArguments();
  } else if (name == "read" || name == "tune") {
    o.command = name == "read" ? Command::Read : Command::Tune;
    for (size_t k = 0; k < rest.size(); ++k) {
      const size_t eq = rest[k].find('=');
      const std::string a = rest[k].substr(0, eq);
      const auto value = [&]() -> std::string {
        return eq == std::string::npos ? Next(rest, k) : rest[k].substr(eq + 1);
      };
      const AlarmOption* alarm = FindAlarmOption(a);
      if (a.rfind("--", 0) != 0 && eq != std::string::npos)
        throw UsageError(name + ": unknown argument " + rest[k]);
      if (a == "-n") {
        o.count = ParseInteger("-n", value(), 1, 2147483647);
      } else if (a == "-i") {
        o.intervalSeconds = ParseReal("-i", value(), 0, 86400);
      } else if (a == "--utc") {
        if (eq != std::string::npos) throw UsageError(a + " takes no value");
        o.utc = true;
      } else if (a == "--csv" && o.command == Command::Tune) {
        throw UsageError("tune: --csv is for read");
      } else if (a == "--csv" || a == "--exit-on-alarm") {
        if (eq != std::string::npos) throw UsageError(a + " takes no value");
        (a == "--csv" ? o.csv : o.exitOnAlarm) = true;
        o.alarms = o.alarms || o.exitOnAlarm;
      } else if (a == "--rig") {
        o.rig = value();
      } else if (a == "--interlock") {
        if (eq != std::string::npos) throw UsageError(a + " takes no value");
        o.interlock = true;
      } else if (a == "--safe-power") {
        o.safePowerWatts = ParseReal(a, value(), 0, 1e6);
      } else if (alarm) {
        SetAlarmLevel(o, *alarm, value());
      } else {
        throw UsageError(name + ": unknown argument " + rest[k]);
      }
    }
    if (o.interlock && (o.rig.empty() || !o.alarms))
      throw UsageError("--interlock needs --rig and alarm options");
    if (o.safePowerWatts && !o.interlock) throw UsageError("--safe-power needs --interlock");
  } else if (name == "sweep") {
    o.command = Command::Sweep;
    bool from = false, to = false, step = false;
    for (size_t k = 0; k < rest.size(); ++k) {
      const size_t eq = rest[k].find('=');
      const std::string a = rest[k].substr(0, eq);
      const auto value = [&]() -> std::string {
        return eq == std::string::npos ? Next(rest, k) : rest[k].substr(eq + 1);
      };
      const auto hertz = [&](bool& given) {
        given = true;
        return ParseInteger(a, value(), 1, 1000000000000L);
      };
      if (a == "--rig")
        o.rig = value();
      else if (a == "--from")
        o.fromHz = hertz(from);
      else if (a == "--to")
        o.toHz = hertz(to);
      else if (a == "--step")
        o.stepHz = hertz(step);
      else if (a == "--dwell")
        o.dwellMs = static_cast<int>(ParseInteger(a, value(), 100, 10000));
      else if (a == "--power")
        o.powerWatts = ParseReal(a, value(), 0.001, 1e6);
      else if (a == "--power-limit")
        o.powerLimitWatts = ParseReal(a, value(), 0.001, 1e6);
      else if (const AlarmOption* alarm = FindAlarmOption(a))
        SetAlarmLevel(o, *alarm, value());
      else
        throw UsageError("sweep: unknown argument " + rest[k]);
    }
    if (o.rig.empty() || !from || !to || !step)
      throw UsageError("sweep needs --rig, --from, --to and --step");
    if (o.toHz <= o.fromHz) throw UsageError("sweep: --to must lie above --from");
    if (o.powerWatts && *o.powerWatts > o.powerLimitWatts)
      throw UsageError("sweep: --power " + Written(*o.powerWatts) + " W is above the limit of " +
                       Written(o.powerLimitWatts) + " W (--power-limit)");
  } else if (name == "settings") {
    o.command = Command::Settings;
    noArguments();
  } else if (name == "set") {
    o.command = Command::Set;
    if (rest.empty()) throw UsageError("set needs KEY=VALUE");
    std::set<std::string> seen;
    for (const std::string& assignment : rest) {
      const size_t eq = assignment.find('=');
      if (eq == std::string::npos) throw UsageError("set: '" + assignment + "' is not KEY=VALUE");
      std::string key = assignment.substr(0, eq);
      const double value = ParseSetting(key, assignment.substr(eq + 1));
      if (!seen.insert(key).second) throw UsageError("set: " + key + " given twice");
      o.assignments.emplace_back(std::move(key), value);
    }
  } else if (name == "fullscale") {
    o.command = Command::FullScale;
    if (rest.size() > 1) throw UsageError("fullscale takes at most one argument");
    if (rest.size() == 1)
      o.fullScaleWatts = ParseReal("fullscale", rest[0], 0.001, TVSWR_Monitor::kMaxFullScaleWatts);
  } else if (name == "eeprom") {
    o.command = Command::Eeprom;
    if (rest.empty() || rest.size() > 2) throw UsageError("eeprom needs ADDR [VALUE]");
    o.address = static_cast<int>(ParseInteger("eeprom address", rest[0], 0, 255));
    if (rest.size() == 2)
      o.value = static_cast<int>(ParseInteger("eeprom value", rest[1], 0, 65535));
  } else if (name == "reset-alarm") {
    o.command = Command::ResetAlarm;
    noArguments();
  } else if (name == "calibrate") {
    o.command = Command::Calibrate;
    if (rest.size() != 1) throw UsageError("calibrate needs zero, forward or reflected");
    if (rest[0] == "zero")
      o.calibrationStep = 0;
    else if (rest[0] == "forward")
      o.calibrationStep = 1;
    else if (rest[0] == "reflected")
      o.calibrationStep = 2;
    else
      throw UsageError("calibrate: '" + rest[0] + "' is not zero, forward or reflected");
  } else if (name == "history") {
    o.command = Command::History;
    if (portGiven || !o.device.empty()) throw UsageError("history takes no --port or --device");
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (size_t k = 0; k < rest.size(); ++k) {
      const size_t eq = rest[k].find('=');
      const std::string a = rest[k].substr(0, eq);
      const auto value = [&]() -> std::string {
        return eq == std::string::npos ? Next(rest, k) : rest[k].substr(eq + 1);
      };
      if (a == "--from" || a == "--to") {
        const std::string text = value();
        const std::optional<qint64> t = ParseHistoryTime(text, now);
        if (!t) throw UsageError(a + ": '" + text + "' is no time (2026-12-08T06:00, now, -7d)");
        (a == "--from" ? o.history.FromMs : o.history.ToMs) = t;
      } else if (a == "--summary") {
        const std::string text = value();
        if (text == "minute")
          o.history.Summary = HistorySummary::Minute;
        else if (text == "hour")
          o.history.Summary = HistorySummary::Hour;
        else if (text == "day")
          o.history.Summary = HistorySummary::Day;
        else
          throw UsageError("--summary: '" + text + "' is not minute, hour or day");
      } else if (a == "--csv" || a == "--utc") {
        if (eq != std::string::npos) throw UsageError(a + " takes no value");
        (a == "--csv" ? o.history.Csv : o.utc) = true;
      } else if (a.rfind("-", 0) != 0 && o.history.Database.empty()) {
        o.history.Database = rest[k];
      } else {
        throw UsageError("history: unknown argument " + rest[k]);
      }
    }
    if (o.history.Database.empty()) throw UsageError("history needs the database DB");
    if (o.history.FromMs && o.history.ToMs && *o.history.FromMs >= *o.history.ToMs)
      throw UsageError("history: --from must lie before --to");
  } else if (name == "report") {
    o.command = Command::Report;
    if (portGiven || !o.device.empty()) throw UsageError("report takes no --port or --device");
    for (size_t k = 0; k < rest.size(); ++k) {
      const size_t eq = rest[k].find('=');
      const std::string a = rest[k].substr(0, eq);
      const auto value = [&]() -> std::string {
        return eq == std::string::npos ? Next(rest, k) : rest[k].substr(eq + 1);
      };
      if (a == "--day" || a == "--week") {
        if (!o.report.Period.empty()) throw UsageError("report: give one --day or --week");
        o.report.Period = value();
        const bool week = o.report.Period.find("-W") != std::string::npos;
        if (week != (a == "--week"))
          throw UsageError(a + ": '" + o.report.Period + "' is no " +
                           (a == "--week" ? "week (2026-W50)" : "day (2026-12-08)"));
      } else if (a == "--output") {
        o.report.Output = value();
      } else if (a == "--name") {
        o.report.Name = value();
      } else if (a == "--vswr-above") {
        o.report.Levels.VSWRAbove = ParseReal(a, value(), 0, 1e30);
      } else if (a == "--off-air-below") {
        o.report.Levels.OffAirBelow = ParseReal(a, value(), 0, 1e30);
      } else if (a.rfind("-", 0) != 0 && o.report.Database.empty()) {
        o.report.Database = rest[k];
      } else {
        throw UsageError("report: unknown argument " + rest[k]);
      }
    }
    if (o.report.Database.empty()) throw UsageError("report needs the database DB");
    if (o.report.Period.empty())
      throw UsageError("report needs --day YYYY-MM-DD or --week YYYY-Www");
  } else if (name == "ports") {
    o.command = Command::Ports;
    noArguments();
    if (portGiven || !o.device.empty()) throw UsageError("ports takes no --port or --device");
  } else {
    throw UsageError("unknown command '" + name + "'");
  }
  return o;
}

}  // namespace vemo::cli

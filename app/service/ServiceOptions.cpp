// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service/ServiceOptions.h"

#include "platform/AtomicFile.h"
#include "platform/PortNames.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsPath.h"
#include "station/AlarmSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace vemo::service {

const char* const kServiceUsage =
    R"(Usage: vemoswrd [--config FILE] [--listen ADDR:PORT] [--monitor NAME=DEVICE]...
                [--interval MS] [--mqtt URL [--mqtt-ca FILE] [--mqtt-id-prefix ID]]
                [--token-file FILE] [--agentx SOCKET [--snmp-enterprise N]]
                [--data-dir DIR]
       vemoswrd --help | --version

Polls one or more power/VSWR monitors and serves them over HTTP: Prometheus metrics
at /metrics, a JSON API under /api/v1/monitors, a live stream of readings as
Server-Sent Events at /api/v1/monitors/NAME/stream and a web page at /; with --mqtt,
also to an MQTT broker; with --agentx, to SNMP managers through the system's snmpd.

Options:
  --config FILE        read the configuration file below; without it, vemoswrd.ini
                       is read if it exists: the file VEMOSWRD_INI names, else the
                       one beside the executable, else the one in
                       ~/.config/VemoSWR/ ($XDG_CONFIG_HOME/VemoSWR/), else
                       /etc/vemoswrd/vemoswrd.ini
  --listen ADDR:PORT   address to serve on (default 127.0.0.1:9110, loopback only;
                       [::1]:9110 for IPv6, 0.0.0.0:9110 for every interface)
  --monitor NAME=DEV   poll a monitor: DEV is a COM port number (mapped through the
                       configuration's [Ports], else through VemoSWR.ini as the
                       program maps it) or a device path such as /dev/ttyUSB0; NAME
                       is letters, digits, '_', '-', '.'
  --interval MS        milliseconds between readings (default 500, 100 to 3600000)
  --mqtt URL           publish to an MQTT broker: mqtt://[user:pass@]host[:port]
                       (port 1883) or mqtts://... (TLS, port 8883); topics
                       vemoswr/NAME/state, availability and alarm, and discovery
                       configs under homeassistant/
  --mqtt-ca FILE       mqtts: the CA certificates (PEM) that signed the broker's
                       certificate (default: the system's trust store)
  --mqtt-id-prefix ID  starts the unique ids and device identifiers of the discovery
                       configs, so that two installations on one broker keep apart:
                       letters, digits, '_', '-' (default: vemoswr_ and eight hex
                       digits drawn from /etc/machine-id; "vemoswr" keeps the ids
                       that earlier versions published)
  --agentx SOCKET      serve VEMOSWR-MIB (read-only) and send its notifications as an
                       AgentX subagent of snmpd, e.g. unix:/var/agentx/master or
                       tcp:127.0.0.1:705; off unless given
  --snmp-enterprise N  the MIB's enterprise number (default 32473, a placeholder
                       reserved for documentation; see the manual)
  --token-file FILE    bearer token for the control requests (POST reset-alarm and
                       acknowledge); without it the service is read-only
  --data-dir DIR       keep each monitor's history in DIR/NAME.sqlite (default: the
                       folder systemd gives as $STATE_DIRECTORY, else
                       /var/lib/vemoswrd); "none" keeps no history on disk
  --help, --version

Configuration file (INI; the command line overrides it; a value runs to the end of
its line, so comments go on lines of their own, starting with ';' or '#'):
  [Service]
  Listen=127.0.0.1:9110
  Interval=500
  TokenFile=/etc/vemoswrd/token
  Mqtt=mqtt://broker.local
  MqttCa=/etc/vemoswrd/ca.pem
  MqttIdPrefix=vemoswr_studio1
  DataDir=/var/lib/vemoswrd
  ; daily reports NAME-YYYY-MM-DD.html and weekly NAME-YYYY-Www.html (default
  ; DataDir/reports), written shortly after midnight
  ReportDir=/var/lib/vemoswrd/reports
  AgentX=unix:/var/agentx/master
  SnmpEnterprise=32473
  ; COM numbers of this file and of --monitor, as VemoSWR.ini maps them
  [Ports]
  COM3=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1234-if00-port0
  ; alarm levels for every monitor, keys as in VemoSWR.ini: VSWRAbove,
  ; ReflectedAbove, ForwardBelow, KeyedAbove, LinkLostAfter, Delay (0 or missing = off)
  [Alarms]
  VSWRAbove=2.0
  LinkLostAfter=10
  ; one section per monitor; Device is a COM number or a device path, Interval
  ; (optional) this monitor's own
  [Monitor tx]
  Device=3
  Interval=1000
  ; optional: this monitor's own levels instead of [Alarms]
  [Alarms tx]
  VSWRAbove=1.8
  ; optional: the rig this monitor sits behind, keys as [Rig] in VemoSWR.ini
  ; (Model=2 and Host for a rigctld; Interval; Interlock: the alarms that unkey it;
  ; SafePower; Wsjtx); its band plan is [Bands] of this file
  [Rig tx]
  Model=2
  Host=127.0.0.1:4532
  Interlock=vswr,reflected

A value runs to the end of its line: comments go on lines of their own, starting
with ';'. A value that cannot be read stops the service with status 2 and a message
naming the file, line, section and key.

Exit status: 0 after SIGTERM or SIGINT, 1 when the service cannot start (address in
use), 2 for a usage or configuration error.
)";

namespace {

constexpr int kMinIntervalMs = 100;
constexpr int kMaxIntervalMs = 3'600'000;

// What a key of the configuration file takes, for a refusal.
constexpr const char* kListenExpected = "ADDR:PORT, e.g. 127.0.0.1:9110 or [::1]:9110";
const std::string kIntervalExpected =
    "milliseconds from " + std::to_string(kMinIntervalMs) + " to " + std::to_string(kMaxIntervalMs);
constexpr const char* kMqttExpected = "mqtt://[user:pass@]host[:port] or mqtts://...";
constexpr const char* kDeviceExpected = "a COM port number or a device path";

void CheckName(const std::string& name) {
  static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9_.-]{1,64}$"));
  if (!valid.match(QString::fromStdString(name)).hasMatch())
    throw UsageError("Invalid monitor name \"" + name +
                     "\": use 1 to 64 letters, digits, '_', '-' or '.'.");
}

int ParseInterval(const std::string& text) {
  bool ok = false;
  const int ms = QString::fromStdString(text).toInt(&ok);
  if (!ok || ms < kMinIntervalMs || ms > kMaxIntervalMs)
    throw UsageError("Invalid interval \"" + text + "\": give milliseconds from " +
                     std::to_string(kMinIntervalMs) + " to " + std::to_string(kMaxIntervalMs) +
                     ".");
  return ms;
}

void ParseListen(const std::string& text, ServiceOptions& o) {
  const QString t = QString::fromStdString(text);
  const qsizetype colon = t.lastIndexOf(':');
  bool ok = colon > 0;
  QString host = t.left(colon);
  if (host.startsWith('[') && host.endsWith(']')) host = host.mid(1, host.size() - 2);
  const uint port = ok ? t.mid(colon + 1).toUInt(&ok) : 0;
  QHostAddress address;
  if (!ok || port > 65535 || !address.setAddress(host))
    throw UsageError("Invalid listen address \"" + text +
                     "\": give ADDR:PORT, e.g. 127.0.0.1:9110 or [::1]:9110.");
  o.listenAddress = address;
  o.listenPort = static_cast<quint16>(port);
}

void CheckIdPrefix(const std::string& text) {
  static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9_-]{1,48}$"));
  if (!valid.match(QString::fromStdString(text)).hasMatch())
    throw UsageError("Invalid MQTT id prefix \"" + text +
                     "\": use 1 to 48 letters, digits, '_' or '-'.");
}

void CheckMqtt(const std::string& text) {
  const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
  const bool ok = url.isValid() && (url.scheme() == "mqtt" || url.scheme() == "mqtts") &&
                  !url.host().isEmpty() && (url.path().isEmpty() || url.path() == "/") &&
                  !url.hasQuery() && !url.hasFragment();
  if (!ok)
    throw UsageError("Invalid MQTT address \"" + text +
                     "\": give mqtt://[user:pass@]host[:port] or mqtts://...");
}

// A service must not start on alarm levels it could not read: they would be off, or not
// what the operator wrote.
TAlarmLevels AlarmLevels(const ProfileFile& file, const std::string& section) {
  TAlarmSettingsRead read = ReadAlarmSettings(file, section);
  if (!read.Warnings.empty())
    throw UsageError(AbsoluteFilePath(file.FileName()) + ", [" + section +
                     "]: " + read.Warnings.front());
  return read.Settings.Levels;
}

// A value runs to the end of its line: a comment copied after one would become part of a
// path, a number or an address. Refused with where it is.
void CheckNoTrailingComments(const ProfileFile& file) {
  for (const std::string& section : file.Sections())
    for (const auto& [key, value] : file.ReadSectionValues(section))
      if (HasTrailingComment(value)) throw UsageError(file.Problem(section, key, {}));
}

// The rig a monitor sits behind; a bad value or a rig that names no target stops the start.
void ReadRig(const ProfileFile& file, const std::string& section, MonitorConfig& config) {
  if (file.ReadSectionValues(section).empty()) return;
  std::vector<std::string> warnings;
  config.Rig = ReadRigSettings(file, warnings, section);
  config.Bands = BandPlan::Read(file, warnings);
  if (!warnings.empty())
    throw UsageError(AbsoluteFilePath(file.FileName()) + ": " + warnings.front());
  if (config.Rig.Model != 0) {
    try {
      RigTargetOf(config.Rig);
    } catch (const std::exception& e) {
      throw UsageError(AbsoluteFilePath(file.FileName()) + ", [" + section + "]: " + e.what());
    }
  }
}

// The value of key, checked by parse; a refusal names the file, line, section and key.
template <class Parse>
void ReadChecked(const ProfileFile& file, const std::string& section, const std::string& key,
                 const std::string& expected, Parse parse) {
  const std::string text = file.ReadString(section, key, "");
  try {
    parse(text);
  } catch (const UsageError&) {
    throw UsageError(file.Problem(section, key, expected));
  }
}

void CheckAgentX(const std::string& text) {
  if (text.empty() || text.find_first_of("\n\r ") != std::string::npos)
    throw UsageError("Invalid AgentX socket \"" + text +
                     "\": give unix:PATH or tcp:HOST:PORT, e.g. unix:/var/agentx/master.");
}

unsigned ParseEnterprise(const std::string& text) {
  bool ok = false;
  const uint n = QString::fromStdString(text).toUInt(&ok);
  if (!ok || n == 0)
    throw UsageError("Invalid enterprise number \"" + text +
                     "\": give the number IANA assigned, e.g. 32473.");
  return n;
}

void AddMonitor(ServiceOptions& o, MonitorConfig config) {
  const auto same = [&](const MonitorConfig& m) { return m.Name == config.Name; };
  o.monitors.erase(std::remove_if(o.monitors.begin(), o.monitors.end(), same), o.monitors.end());
  o.monitors.push_back(std::move(config));
}

void ReadConfig(const std::string& path, ServiceOptions& o) {
  if (!QFileInfo(QString::fromStdString(path)).isReadable())
    throw UsageError("Cannot read the configuration file " + path + ".");
  const ProfileFile file(path);
  CheckNoTrailingComments(file);
  ReadChecked(file, "Service", "Listen", kListenExpected, [&](const std::string& listen) {
    if (!listen.empty()) ParseListen(listen, o);
  });
  ReadChecked(file, "Service", "Interval", kIntervalExpected, [&](const std::string& interval) {
    if (!interval.empty()) o.intervalMs = ParseInterval(interval);
  });
  o.tokenFile = file.ReadString("Service", "TokenFile", o.tokenFile);
  o.mqttUrl = file.ReadString("Service", "Mqtt", o.mqttUrl);
  ReadChecked(file, "Service", "Mqtt", kMqttExpected, [&](const std::string& url) {
    if (!url.empty()) CheckMqtt(url);
  });
  o.mqttCaFile = file.ReadString("Service", "MqttCa", o.mqttCaFile);
  o.mqttIdPrefix = file.ReadString("Service", "MqttIdPrefix", o.mqttIdPrefix);
  o.dataDir = file.ReadString("Service", "DataDir", o.dataDir);
  o.reportDir = file.ReadString("Service", "ReportDir", o.reportDir);
  ReadChecked(file, "Service", "AgentX", "unix:PATH or tcp:HOST:PORT",
              [&](const std::string& agentx) {
                if (!agentx.empty()) CheckAgentX(agentx);
              });
  o.agentx = file.ReadString("Service", "AgentX", o.agentx);
  ReadChecked(file, "Service", "SnmpEnterprise", "the number IANA assigned, e.g. 32473",
              [&](const std::string& enterprise) {
                if (!enterprise.empty()) o.snmpEnterprise = ParseEnterprise(enterprise);
              });
  o.alarms = AlarmLevels(file, "Alarms");
  // The service's user has no settings file of its own: its COM numbers are mapped here.
  for (const auto& [key, value] : file.ReadSectionValues("Ports")) {
    const QString name = QString::fromStdString(key);
    bool ok = false;
    const int n = name.startsWith("COM", Qt::CaseInsensitive) ? name.mid(3).toInt(&ok) : 0;
    if (!ok || n < 1 || n > kMaxPortNumber)
      throw UsageError("Invalid entry \"" + key + "\" in [Ports]: give COM1 to COM" +
                       std::to_string(kMaxPortNumber) + ", e.g. COM3=/dev/ttyUSB0.");
    if (!value.starts_with('/') || value.find('\n') != std::string::npos)
      throw UsageError("Invalid device \"" + value + "\" for " + key +
                       " in [Ports]: give a device path such as /dev/ttyUSB0.");
    o.ports.emplace(n, value);
  }
  for (const std::string& section : file.Sections()) {
    if (!section.starts_with("Monitor ")) continue;
    MonitorConfig config;
    const std::string name = section.substr(8);
    CheckName(name);
    config.Name = QString::fromStdString(name);
    ReadChecked(file, section, "Device", kDeviceExpected, [&](const std::string& device) {
      int port = 0;
      std::string devicePath;
      ParseDevice(device, port, devicePath);
      config.Device = QString::fromStdString(device);
    });
    ReadChecked(file, section, "Interval", kIntervalExpected, [&](const std::string& own) {
      config.IntervalMs = own.empty() ? 0 : ParseInterval(own);
    });
    config.Alarms = file.ReadSectionValues("Alarms " + name).empty()
                        ? o.alarms
                        : AlarmLevels(file, "Alarms " + name);
    ReadRig(file, "Rig " + name, config);
    AddMonitor(o, std::move(config));
  }
}

}  // namespace

void ParseDevice(const std::string& text, int& portNumber, std::string& path) {
  portNumber = 0;
  path.clear();
  bool ok = false;
  const int n = QString::fromStdString(text).toInt(&ok);
  if (ok && n >= 1 && n <= kMaxPortNumber && std::all_of(text.begin(), text.end(), ::isdigit)) {
    portNumber = n;
    return;
  }
  if (text.starts_with('/') && text.find('\n') == std::string::npos) {
    path = text;
    return;
  }
  throw UsageError("Invalid device \"" + text + "\": give a COM port number from 1 to " +
                   std::to_string(kMaxPortNumber) + " or a device path.");
}

const char* const kSystemConfigFile = "/etc/vemoswrd/vemoswrd.ini";

std::string DefaultConfigPath() {
  const std::string own = SettingsFilePath("vemoswrd.ini", "VEMOSWRD_INI");
  if (!qEnvironmentVariableIsEmpty("VEMOSWRD_INI") || QFile::exists(QString::fromStdString(own)))
    return own;
  return kSystemConfigFile;
}

std::string DevicePath(const ServiceOptions& options, const QString& device) {
  int port = 0;
  std::string path;
  ParseDevice(device.toStdString(), port, path);
  if (port == 0) return path;
  const auto mapped = options.ports.find(port);
  return mapped != options.ports.end() ? mapped->second : PortDevicePath(port);
}

ServiceOptions ParseServiceOptions(const std::vector<std::string>& args) {
  ServiceOptions o;
  // The file first, so that every command-line value overrides it. --help and --version
  // answer whatever the installed configuration holds.
  bool answerOnly = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i + 1 < args.size() && args[i] == "--config") o.configFile = args[++i];
    answerOnly = answerOnly || args[i] == "--help" || args[i] == "-h" || args[i] == "--version";
  }
  if (o.configFile.empty() && QFile::exists(QString::fromStdString(DefaultConfigPath())))
    o.configFile = DefaultConfigPath();
  if (!o.configFile.empty() && !answerOnly) ReadConfig(o.configFile, o);

  std::vector<MonitorConfig> fromCommandLine;
  std::optional<int> interval;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      o.help = true;
      continue;
    }
    if (a == "--version") {
      o.version = true;
      continue;
    }
    static const std::vector<std::string> withValue = {
        "--config", "--listen",          "--monitor",        "--interval",
        "--mqtt",   "--mqtt-ca",         "--mqtt-id-prefix", "--token-file",
        "--agentx", "--snmp-enterprise", "--data-dir"};
    if (std::find(withValue.begin(), withValue.end(), a) == withValue.end())
      throw UsageError("Unknown option \"" + a + "\".");
    if (i + 1 >= args.size()) throw UsageError("Option " + a + " needs a value.");
    const std::string& v = args[++i];
    if (a == "--listen") {
      ParseListen(v, o);
    } else if (a == "--interval") {
      interval = ParseInterval(v);
    } else if (a == "--mqtt") {
      o.mqttUrl = v;
    } else if (a == "--mqtt-ca") {
      o.mqttCaFile = v;
    } else if (a == "--mqtt-id-prefix") {
      o.mqttIdPrefix = v;
    } else if (a == "--agentx") {
      o.agentx = v;
    } else if (a == "--snmp-enterprise") {
      o.snmpEnterprise = ParseEnterprise(v);
    } else if (a == "--token-file") {
      o.tokenFile = v;
    } else if (a == "--data-dir") {
      o.dataDir = v;
    } else if (a == "--monitor") {
      const size_t eq = v.find('=');
      if (eq == std::string::npos)
        throw UsageError("Invalid monitor \"" + v + "\": give NAME=DEVICE, e.g. tx=1.");
      MonitorConfig config;
      CheckName(v.substr(0, eq));
      config.Name = QString::fromStdString(v.substr(0, eq));
      int port = 0;
      std::string path;
      ParseDevice(v.substr(eq + 1), port, path);
      config.Device = QString::fromStdString(v.substr(eq + 1));
      fromCommandLine.push_back(std::move(config));
    }
  }
  if (o.help || o.version) return o;
  if (interval) o.intervalMs = *interval;
  // A monitor named on the command line keeps its section's levels and interval.
  for (MonitorConfig& config : fromCommandLine) {
    const auto known = std::find_if(o.monitors.begin(), o.monitors.end(),
                                    [&](const MonitorConfig& m) { return m.Name == config.Name; });
    config.Alarms = known != o.monitors.end() ? known->Alarms : o.alarms;
    config.IntervalMs = known != o.monitors.end() ? known->IntervalMs : 0;
    if (known != o.monitors.end()) {
      config.Rig = known->Rig;
      config.Bands = known->Bands;
    }
    AddMonitor(o, std::move(config));
  }
  if (o.dataDir.empty()) {
    const char* state = std::getenv("STATE_DIRECTORY");  // systemd's StateDirectory=
    o.dataDir = state != nullptr && *state == '/'
                    ? std::string(state).substr(0, std::string(state).find(':'))
                    : "/var/lib/vemoswrd";
  }
  if (o.reportDir.empty() && o.dataDir != "none") o.reportDir = o.dataDir + "/reports";
  for (MonitorConfig& m : o.monitors) {
    if (m.IntervalMs == 0 || interval) m.IntervalMs = o.intervalMs;
    if (o.dataDir != "none") m.HistoryDb = o.dataDir + "/" + m.Name.toStdString() + ".sqlite";
  }
  if (!o.mqttUrl.empty()) CheckMqtt(o.mqttUrl);
  if (!o.mqttIdPrefix.empty()) CheckIdPrefix(o.mqttIdPrefix);
  if (!o.agentx.empty()) CheckAgentX(o.agentx);
  if (!o.mqttCaFile.empty() && !o.mqttUrl.starts_with("mqtts://"))
    throw UsageError("A CA file (--mqtt-ca) is for an mqtts:// broker only.");
  if (o.monitors.empty())
    throw UsageError("No monitor to poll: give --monitor NAME=DEVICE or a [Monitor NAME] section.");
  return o;
}

}  // namespace vemo::service

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service/Metrics.h"

#include "station/Readout.h"

#include <QLocale>

#include <cmath>
#include <functional>

namespace vemo::service {

namespace {

// The shortest text that reads back as the same double, in the C locale.
QByteArray Number(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "+Inf" : "-Inf";
  return QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
}

// Milliseconds since the epoch as seconds, exactly.
QByteArray Seconds(qint64 ms) {
  const QByteArray fraction = QByteArray::number(ms % 1000 + 1000).mid(1);
  return QByteArray::number(ms / 1000) + '.' + fraction;
}

struct Family {
  const char* name;
  const char* type;
  const char* help;
};

// Appends one family: HELP and TYPE, then the samples that `samples` adds for each
// monitor; nothing at all when no monitor gives a sample.
void Emit(QByteArray& out, const Family& f, const std::vector<const MonitorSnapshot*>& monitors,
          const std::function<void(const MonitorSnapshot&, const QByteArray& monitor,
                                   QByteArray& samples)>& samples) {
  QByteArray body;
  for (const MonitorSnapshot* s : monitors)
    samples(*s, "monitor=\"" + EscapedLabel(s->Name.toUtf8()) + "\"", body);
  if (body.isEmpty()) return;
  out += QByteArray("# HELP ") + f.name + ' ' + f.help + '\n';
  out += QByteArray("# TYPE ") + f.name + ' ' + f.type + '\n';
  out += body;
}

void Sample(QByteArray& to, const char* name, const QByteArray& labels, const QByteArray& value) {
  to += QByteArray(name) + '{' + labels + "} " + value + '\n';
}

void Sample(QByteArray& to, const char* name, const QByteArray& labels, double value) {
  Sample(to, name, labels, Number(value));
}

}  // namespace

QByteArray EscapedLabel(const QByteArray& value) {
  QByteArray out;
  out.reserve(value.size());
  for (char c : value) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '"')
      out += "\\\"";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

QByteArray MetricsText(const std::vector<const MonitorSnapshot*>& monitors, qint64 nowMs) {
  QByteArray out;
  using S = const MonitorSnapshot&;
  using L = const QByteArray&;
  const auto up = [nowMs](S s) { return s.Up(nowMs); };
  const auto readout = [](S s) {
    return DeriveReadout(s.Reading->Forward, s.Reading->Reflected, s.FullScale);
  };

  Emit(out,
       {"vemoswr_up", "gauge",
        "1 while the latest reading of the monitor succeeded, within the last three intervals."},
       monitors, [&](S s, L m, QByteArray& b) { Sample(b, "vemoswr_up", m, up(s) ? 1 : 0); });
  Emit(out, {"vemoswr_info", "gauge", "The monitor's model and firmware date."}, monitors,
       [&](S s, L m, QByteArray& b) {
         if (s.Model.empty()) return;  // never identified
         Sample(b, "vemoswr_info",
                m + ",model=\"" + EscapedLabel(QByteArray::fromStdString(s.Model)) +
                    "\",firmware=\"" + EscapedLabel(QByteArray::fromStdString(s.Firmware)) + '"',
                1);
       });
  const auto value = [&](const char* name, const char* help, auto get) {
    Emit(out, {name, "gauge", help}, monitors, [&](S s, L m, QByteArray& b) {
      if (up(s) && s.Reading) Sample(b, name, m, get(s));
    });
  };
  // Readings are the latest plausible one: present while the monitor is up.
  value("vemoswr_forward_watts", "Forward power of the latest reading.",
        [](S s) { return static_cast<double>(s.Reading->Forward); });
  value("vemoswr_reflected_watts", "Reflected power of the latest reading.",
        [](S s) { return static_cast<double>(s.Reading->Reflected); });
  value("vemoswr_vswr", "VSWR of the latest reading.", [&](S s) { return readout(s).VSWR; });
  value("vemoswr_return_loss_db", "Return loss of the latest reading (zero or negative).",
        [&](S s) { return readout(s).ReturnLoss; });
  value("vemoswr_alarm", "1 when the monitor's own alarm flag is set.",
        [](S s) { return s.Reading->Alarm ? 1.0 : 0.0; });
  value("vemoswr_full_scale_watts", "Full scale of the monitor.", [](S s) { return s.FullScale; });
  // One series per monitor whatever the band: the band is the frequency's.
  Emit(out, {"vemoswr_frequency_hertz", "gauge", "The rig's frequency at the latest reading."},
       monitors, [&](S s, L m, QByteArray& b) {
         if (up(s) && s.Reading && s.FrequencyHz)
           Sample(b, "vemoswr_frequency_hertz", m, *s.FrequencyHz);
       });
  Emit(out,
       {"vemoswr_interlock_latched", "gauge",
        "1 while the transmit interlock holds the rig unkeyed until acknowledged."},
       monitors, [&](S s, L m, QByteArray& b) {
         if (s.InterlockEnabled) Sample(b, "vemoswr_interlock_latched", m, s.InterlockLatched);
       });
  // The program's alarms matter most while the monitor is down: the link alarm says so.
  Emit(out,
       {"vemoswr_program_alarm", "gauge",
        "1 from the trip of the program's alarm of a source until it clears."},
       monitors, [&](S s, L m, QByteArray& b) {
         for (AlarmSource source : kAlarmSources)
           Sample(b, "vemoswr_program_alarm", m + ",source=\"" + AlarmSourceName(source) + '"',
                  s.AlarmActive(source) ? 1 : 0);
       });
  // The counters are counts, not readings: they stay while a monitor is down, so that the
  // failures that keep it down show and rate() sees no gap.
  Emit(out, {"vemoswr_readings_total", "counter", "Readings taken."}, monitors,
       [&](S s, L m, QByteArray& b) {
         Sample(b, "vemoswr_readings_total", m, static_cast<double>(s.ReadingsTotal));
       });
  Emit(out,
       {"vemoswr_implausible_readings_total", "counter",
        "Readings no monitor can give, not published as measurements."},
       monitors, [&](S s, L m, QByteArray& b) {
         Sample(b, "vemoswr_implausible_readings_total", m,
                static_cast<double>(s.ImplausibleTotal));
       });
  Emit(out, {"vemoswr_reading_errors_total", "counter", "Failed exchanges by kind."}, monitors,
       [&](S s, L m, QByteArray& b) {
         for (int k = 0; k < kErrorKindCount; ++k)
           Sample(b, "vemoswr_reading_errors_total",
                  m + ",kind=\"" + ErrorKindName(static_cast<ErrorKind>(k)) + '"',
                  static_cast<double>(s.Errors[static_cast<size_t>(k)]));
       });
  // Stays while the monitor is down: how long ago it last answered.
  Emit(out, {"vemoswr_last_reading_timestamp_seconds", "gauge", "Time of the latest reading."},
       monitors, [&](S s, L m, QByteArray& b) {
         if (s.ReadingTimeMs > 0)
           Sample(b, "vemoswr_last_reading_timestamp_seconds", m, Seconds(s.ReadingTimeMs));
       });
  return out;
}

}  // namespace vemo::service

#include "app/service/Metrics.h"

#include "app/service/MonitorPoller.h"
#include "station/Readout.h"

#include <cmath>
#include <functional>

namespace vemo::service {

namespace {

QByteArray Number(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "+Inf" : "-Inf";
  return QByteArray::number(v, 'g', 10);
}

struct Family {
  const char* name;
  const char* type;
  const char* help;
};

// Appends one family: HELP and TYPE, then the samples that `samples` adds for each
// monitor; nothing at all when no monitor gives a sample.
void Emit(QByteArray& out, const Family& f, const std::vector<const MonitorPoller*>& pollers,
          const std::function<void(const MonitorPoller&, const QByteArray& monitor,
                                   QByteArray& samples)>& samples) {
  QByteArray body;
  for (const MonitorPoller* p : pollers)
    samples(*p, "monitor=\"" + EscapedLabel(p->Config().Name.toUtf8()) + "\"", body);
  if (body.isEmpty()) return;
  out += QByteArray("# HELP ") + f.name + ' ' + f.help + '\n';
  out += QByteArray("# TYPE ") + f.name + ' ' + f.type + '\n';
  out += body;
}

void Sample(QByteArray& to, const char* name, const QByteArray& labels, double value) {
  to += QByteArray(name) + '{' + labels + "} " + Number(value) + '\n';
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

QByteArray MetricsText(const std::vector<const MonitorPoller*>& pollers) {
  QByteArray out;
  using P = const MonitorPoller&;
  using L = const QByteArray&;
  const auto up = [](P p) { return p.State().Up && p.State().Reading.has_value(); };
  const auto readout = [](P p) {
    const MonitorState& s = p.State();
    return DeriveReadout(s.Reading->Forward, s.Reading->Reflected, s.FullScale);
  };

  Emit(out, {"vemoswr_up", "gauge", "1 when the latest reading of the monitor succeeded."}, pollers,
       [&](P p, L m, QByteArray& b) { Sample(b, "vemoswr_up", m, up(p) ? 1 : 0); });
  Emit(out, {"vemoswr_info", "gauge", "The monitor's model and firmware date."}, pollers,
       [&](P p, L m, QByteArray& b) {
         if (!up(p)) return;
         Sample(b, "vemoswr_info",
                m + ",model=\"" + EscapedLabel(QByteArray::fromStdString(p.State().Model)) +
                    "\",firmware=\"" + EscapedLabel(QByteArray::fromStdString(p.State().Firmware)) +
                    '"',
                1);
       });
  const auto value = [&](const char* name, const char* help, auto get) {
    Emit(out, {name, "gauge", help}, pollers, [&](P p, L m, QByteArray& b) {
      if (up(p)) Sample(b, name, m, get(p));
    });
  };
  value("vemoswr_forward_watts", "Forward power of the latest reading.",
        [](P p) { return static_cast<double>(p.State().Reading->Forward); });
  value("vemoswr_reflected_watts", "Reflected power of the latest reading.",
        [](P p) { return static_cast<double>(p.State().Reading->Reflected); });
  value("vemoswr_vswr", "VSWR of the latest reading.", [&](P p) { return readout(p).VSWR; });
  value("vemoswr_return_loss_db", "Return loss of the latest reading (zero or negative).",
        [&](P p) { return readout(p).ReturnLoss; });
  value("vemoswr_alarm", "1 when the monitor's own alarm flag is set.",
        [](P p) { return p.State().Reading->Alarm ? 1.0 : 0.0; });
  value("vemoswr_full_scale_watts", "Full scale of the monitor.",
        [](P p) { return p.State().FullScale; });
  Emit(out,
       {"vemoswr_program_alarm", "gauge",
        "1 from the trip of the program's alarm of a source until it clears."},
       pollers, [&](P p, L m, QByteArray& b) {
         if (!up(p)) return;
         for (AlarmSource source : kAlarmSources)
           Sample(b, "vemoswr_program_alarm", m + ",source=\"" + AlarmSourceName(source) + '"',
                  p.Alarms().State(source) == AlarmState::Normal ? 0 : 1);
       });
  // The counters are counts, not readings: they stay while a monitor is down, so that the
  // failures that keep it down show and rate() sees no gap.
  Emit(out, {"vemoswr_readings_total", "counter", "Readings taken."}, pollers,
       [&](P p, L m, QByteArray& b) {
         Sample(b, "vemoswr_readings_total", m, static_cast<double>(p.State().ReadingsTotal));
       });
  Emit(out,
       {"vemoswr_implausible_readings_total", "counter",
        "Readings no monitor can give, not published as measurements."},
       pollers, [&](P p, L m, QByteArray& b) {
         Sample(b, "vemoswr_implausible_readings_total", m,
                static_cast<double>(p.State().ImplausibleTotal));
       });
  Emit(out, {"vemoswr_reading_errors_total", "counter", "Failed exchanges by kind."}, pollers,
       [&](P p, L m, QByteArray& b) {
         for (int k = 0; k < kErrorKindCount; ++k)
           Sample(b, "vemoswr_reading_errors_total",
                  m + ",kind=\"" + ErrorKindName(static_cast<ErrorKind>(k)) + '"',
                  static_cast<double>(p.State().Errors[static_cast<size_t>(k)]));
       });
  value("vemoswr_last_reading_timestamp_seconds", "Time of the latest reading.",
        [](P p) { return static_cast<double>(p.State().ReadingTimeMs) / 1000.0; });
  return out;
}

}  // namespace vemo::service

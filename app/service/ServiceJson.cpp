// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service/ServiceJson.h"

#include "app/service/Routing.h"
#include "station/Plausibility.h"
#include "station/Readout.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <algorithm>

#include <cmath>

namespace vemo::service {

namespace {

const char* StateName(AlarmState s) {
  switch (s) {
    case AlarmState::Normal:
      return "normal";
    case AlarmState::Active:
      return "active";
    case AlarmState::Acknowledged:
      return "acknowledged";
    case AlarmState::Latched:
      return "cleared-unacknowledged";
  }
  return "normal";
}

}  // namespace

QJsonObject MonitorObject(const MonitorSnapshot& s, qint64 nowMs) {
  QJsonObject o;
  o["name"] = s.Name;
  o["device"] = s.Device;
  const bool up = s.Up(nowMs);
  o["up"] = up;
  o["phase"] = PhaseName(s.Phase);
  o["model"] = QString::fromStdString(s.Model);
  o["firmware"] = QString::fromStdString(s.Firmware);
  o["full_scale_watts"] = s.FullScale;
  o["interval_ms"] = s.IntervalMs;
  if (up && s.Reading) {
    const TReadout r = DeriveReadout(s.Reading->Forward, s.Reading->Reflected, s.FullScale);
    QJsonObject reading;
    reading["time_ms"] = static_cast<double>(s.ReadingTimeMs);
    reading["forward_watts"] = static_cast<double>(s.Reading->Forward);
    reading["reflected_watts"] = static_cast<double>(s.Reading->Reflected);
    reading["vswr"] = r.VSWR;
    reading["return_loss_db"] = r.ReturnLoss;
    reading["alarm"] = s.Reading->Alarm;
    // Implausible readings since leave it in place: its age tells how old it is.
    reading["age_ms"] = static_cast<double>(std::max<qint64>(0, nowMs - s.ReadingTimeMs));
    if (s.Rig) {
      reading["frequency_hz"] = s.FrequencyHz ? QJsonValue(*s.FrequencyHz) : QJsonValue();
      reading["band"] = s.Band.empty() ? QJsonValue() : QString::fromStdString(s.Band);
    }
    o["reading"] = reading;
  } else {
    o["reading"] = QJsonValue::Null;
  }
  o["implausible"] = up && s.Implausible.has_value();
  if (up && s.Implausible) {
    // As the monitor sent it, for the record; no measurement, so nothing derived.
    QJsonObject raw;
    raw["time_ms"] = static_cast<double>(s.ImplausibleTimeMs);
    raw["forward_watts"] = static_cast<double>(s.Implausible->Forward);
    raw["reflected_watts"] = static_cast<double>(s.Implausible->Reflected);
    raw["alarm"] = s.Implausible->Alarm;
    raw["reason"] = ImplausibilityText(JudgeReading(*s.Implausible));
    o["implausible_reading"] = raw;
  }
  o["implausible_total"] = static_cast<double>(s.ImplausibleTotal);
  o["readings_total"] = static_cast<double>(s.ReadingsTotal);
  QJsonObject errors;
  for (int k = 0; k < kErrorKindCount; ++k)
    errors[ErrorKindName(static_cast<ErrorKind>(k))] = static_cast<double>(s.Errors[k]);
  o["errors"] = errors;
  o["last_error"] = QString::fromStdString(s.LastError);
  o["retry_in_ms"] = s.Phase == MonitorPhase::Waiting ? static_cast<double>(s.RetryInMs) : 0.0;
  QJsonObject alarms;
  for (AlarmSource source : kAlarmSources)
    alarms[AlarmSourceName(source)] = StateName(s.Alarm(source));
  o["alarms"] = alarms;
  o["sounding"] = s.Sounding;
  if (s.Rig) {
    QJsonObject rig;
    rig["connected"] = s.RigConnected;
    rig["interlock"] = !s.InterlockEnabled ? "off" : s.InterlockLatched ? "latched" : "armed";
    o["rig"] = rig;
  }
  return o;
}

QByteArray MonitorJson(const MonitorSnapshot& monitor, qint64 nowMs) {
  return QJsonDocument(MonitorObject(monitor, nowMs)).toJson(QJsonDocument::Compact);
}

QByteArray MonitorListJson(const std::vector<const MonitorSnapshot*>& monitors, qint64 nowMs) {
  QJsonArray list;
  for (const MonitorSnapshot* m : monitors) list.append(MonitorObject(*m, nowMs));
  QJsonObject o;
  o["monitors"] = list;
  return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray AlarmEventJson(const TAlarmEvent& e) {
  QJsonObject o;
  o["id"] = static_cast<double>(e.Id);
  o["source"] = AlarmSourceName(e.Source);
  o["event"] = AlarmChangeName(e.Change);
  o["value"] = e.Value;
  o["level"] = e.Level;
  o["time_ms"] = static_cast<double>(e.TimeMs);
  o["was_acknowledged"] = e.WasAcknowledged;
  return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

namespace {

// JSON numbers as QJsonDocument writes them: the shortest text that reads back the same.
void Number(QByteArray& out, double v) {
  if (!std::isfinite(v))
    out += "null";
  else if (v == std::trunc(v) && std::fabs(v) < 0x1p53)
    out += QByteArray::number(static_cast<qint64>(v));
  else
    out += QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
}

void Field(QByteArray& out, const char* name, double v) {
  out += ",\"";
  out += name;
  out += "\":";
  Number(out, v);
}

}  // namespace

// Written directly rather than through QJsonDocument: a history of 10,000 points is the
// largest answer the service gives, and building a document for it costs several times as
// much as the text.
QByteArray HistoryJson(const std::vector<TSummary>& columns, const HistoryQuery& q) {
  const qint64 to = q.SinceMs + q.StepMs * q.Columns;
  QByteArray out;
  out.reserve(static_cast<qsizetype>(columns.size()) * 160 + 64);
  out += "{\"points\":[";
  for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
    const TSummary& c = columns[static_cast<size_t>(i)];
    if (i > 0) out += ',';
    // Keys in the order QJsonDocument sorts them, so that the text does not change.
    out += "{";
    const bool data = c.HasData();
    if (data) {
      out += "\"alarm\":";
      out += c.Alarm ? "true" : "false";
      out += ',';
    }
    out += "\"count\":";
    Number(out, static_cast<double>(c.Count));
    if (data) {
      Field(out, "forward", c.MeanForward());
      Field(out, "forward_max", static_cast<double>(c.Forward.Max));
    }
    Field(out, "gaps", static_cast<double>(c.Gaps));
    if (data) {
      Field(out, "reflected", c.MeanReflected());
      Field(out, "reflected_max", static_cast<double>(c.Reflected.Max));
    }
    Field(out, "t", static_cast<double>(ReadingHistory::ColumnStart(q.SinceMs, to, q.Columns, i)));
    if (data) {
      Field(out, "vswr", c.MeanVSWR());
      Field(out, "vswr_max", static_cast<double>(c.VSWR.Max));
    }
    out += '}';
  }
  out += "],\"since\":";
  Number(out, static_cast<double>(q.SinceMs));
  out += ",\"step\":";
  Number(out, static_cast<double>(q.StepMs));
  out += '}';
  return out;
}

}  // namespace vemo::service

#include "app/service/ServiceJson.h"

#include "app/service/MonitorPoller.h"
#include "app/service/Routing.h"
#include "station/Plausibility.h"
#include "station/ReadingHistory.h"
#include "station/Readout.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

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
  }
  return "normal";
}

QJsonObject MonitorObject(const MonitorPoller& p) {
  const MonitorState& s = p.State();
  QJsonObject o;
  o["name"] = p.Config().Name;
  o["device"] = p.Config().Device;
  o["up"] = s.Up;
  o["phase"] = QString::fromStdString(s.Phase);
  o["model"] = QString::fromStdString(s.Model);
  o["firmware"] = QString::fromStdString(s.Firmware);
  o["full_scale_watts"] = s.FullScale;
  if (s.Up && s.Reading) {
    const TReadout r = DeriveReadout(s.Reading->Forward, s.Reading->Reflected, s.FullScale);
    QJsonObject reading;
    reading["time_ms"] = static_cast<double>(s.ReadingTimeMs);
    reading["forward_watts"] = static_cast<double>(s.Reading->Forward);
    reading["reflected_watts"] = static_cast<double>(s.Reading->Reflected);
    reading["vswr"] = r.VSWR;
    reading["return_loss_db"] = r.ReturnLoss;
    reading["alarm"] = s.Reading->Alarm;
    // Implausible readings since leave it in place: its age tells how old it is.
    reading["age_ms"] = static_cast<double>(
        std::max<qint64>(0, QDateTime::currentMSecsSinceEpoch() - s.ReadingTimeMs));
    o["reading"] = reading;
  } else {
    o["reading"] = QJsonValue::Null;
  }
  o["implausible"] = s.Up && s.Implausible.has_value();
  if (s.Up && s.Implausible) {
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
  o["retry_in_ms"] = s.Phase == "waiting" ? static_cast<double>(s.RetryInMs) : 0.0;
  QJsonObject alarms;
  for (AlarmSource source : kAlarmSources)
    alarms[AlarmSourceName(source)] = StateName(p.Alarms().State(source));
  o["alarms"] = alarms;
  o["sounding"] = p.Alarms().Sounding();
  return o;
}

}  // namespace

QByteArray MonitorJson(const MonitorPoller& poller) {
  return QJsonDocument(MonitorObject(poller)).toJson(QJsonDocument::Compact);
}

QByteArray MonitorListJson(const std::vector<const MonitorPoller*>& pollers) {
  QJsonArray list;
  for (const MonitorPoller* p : pollers) list.append(MonitorObject(*p));
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

QByteArray HistoryJson(const std::vector<TSummary>& columns, const HistoryQuery& q) {
  const qint64 to = q.SinceMs + q.StepMs * q.Columns;
  QJsonArray points;
  for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
    const TSummary& c = columns[static_cast<size_t>(i)];
    QJsonObject p;
    p["t"] = static_cast<double>(ReadingHistory::ColumnStart(q.SinceMs, to, q.Columns, i));
    p["count"] = static_cast<double>(c.Count);
    p["gaps"] = static_cast<double>(c.Gaps);
    if (c.HasData()) {
      p["forward"] = c.MeanForward();
      p["forward_max"] = static_cast<double>(c.Forward.Max);
      p["reflected"] = c.MeanReflected();
      p["reflected_max"] = static_cast<double>(c.Reflected.Max);
      p["vswr"] = c.MeanVSWR();
      p["vswr_max"] = static_cast<double>(c.VSWR.Max);
      p["alarm"] = c.Alarm;
    }
    points.append(p);
  }
  QJsonObject o;
  o["since"] = static_cast<double>(q.SinceMs);
  o["step"] = static_cast<double>(q.StepMs);
  o["points"] = points;
  return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

}  // namespace vemo::service

// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/AlarmLog.h"

#include "station/IsoTime.h"
#include "station/Readout.h"

namespace vemo {

const char* const kAlarmCsvHeader = "time,source,event,value,level";

std::string AlarmValueText(AlarmSource source, double value) {
  switch (source) {
    case AlarmSource::VSWRAbove:
    case AlarmSource::VSWRDrift:
      return FormatNumber("%.2f", value);
    case AlarmSource::ReflectedAbove:
    case AlarmSource::ForwardBelow:
    case AlarmSource::OffAir:
    case AlarmSource::ForwardDrift:
    case AlarmSource::ReflectedDrift:
      return FormatNumber("%.6g", value);
    case AlarmSource::LinkLost:
      return FormatNumber("%.1f", value);
    case AlarmSource::Monitor:
    case AlarmSource::Test:
      break;
  }
  return value != 0 ? "1" : "0";
}

std::string AlarmEventText(const TAlarmEvent& event) {
  std::string text = AlarmChangeName(event.Change);
  if (event.Change == AlarmChange::Cleared && !event.WasAcknowledged) text += " unacknowledged";
  return text;
}

std::string AlarmCsvRow(const TAlarmEvent& e) {
  // A level prints as the operator set it ("2", "12.5"), the monitor's flag has none.
  const bool levelless = e.Source == AlarmSource::Monitor || e.Source == AlarmSource::Test;
  const std::string level = levelless ? "" : FormatNumber("%.6g", e.Level);
  return IsoTime(e.TimeMs) + ',' + AlarmSourceName(e.Source) + ',' + AlarmEventText(e) + ',' +
         AlarmValueText(e.Source, e.Value) + ',' + level;
}

AlarmLog::AlarmLog(std::string path, Notify notify)
    : path_(std::move(path)),
      file_(kAlarmCsvHeader, "alarm event", "alarm events", std::move(notify)) {}

bool AlarmLog::Write(const TAlarmEvent& event) {
  return file_.Write(path_, AlarmCsvRow(event));
}

}  // namespace vemo

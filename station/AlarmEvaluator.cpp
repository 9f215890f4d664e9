#include "station/AlarmEvaluator.h"

#include "monitor/VSWRMon.h"
#include "station/Readout.h"

#include <algorithm>
#include <cmath>

namespace vemo {

const char* AlarmSourceName(AlarmSource source) {
  switch (source) {
    case AlarmSource::Monitor:
      return "monitor";
    case AlarmSource::VSWRAbove:
      return "vswr";
    case AlarmSource::ReflectedAbove:
      return "reflected";
    case AlarmSource::ForwardBelow:
      return "forward";
    case AlarmSource::LinkLost:
      return "link";
    case AlarmSource::ForwardDrift:
      return "forward_drift";
    case AlarmSource::ReflectedDrift:
      return "reflected_drift";
    case AlarmSource::VSWRDrift:
      return "vswr_drift";
  }
  return "";
}

const char* AlarmChangeName(AlarmChange change) {
  switch (change) {
    case AlarmChange::Tripped:
      return "tripped";
    case AlarmChange::Acknowledged:
      return "acknowledged";
    case AlarmChange::Cleared:
      return "cleared";
  }
  return "";
}

bool Keyed(const TAlarmLevels& levels, double forward) {
  return forward > levels.KeyedAbove && forward > 0;
}

AlarmEvaluator::AlarmEvaluator(TAlarmLevels levels) : levels_(levels) {}

double AlarmEvaluator::LevelOf(AlarmSource source) const {
  switch (source) {
    case AlarmSource::Monitor:
      return 0;
    case AlarmSource::VSWRAbove:
      return levels_.VSWRAbove;
    case AlarmSource::ReflectedAbove:
      return levels_.ReflectedAbove;
    case AlarmSource::ForwardBelow:
      return levels_.ForwardBelow;
    case AlarmSource::LinkLost:
      return levels_.LinkLostAfter;
    // The drift levels follow the baseline: forward N dB down, the others a factor up.
    case AlarmSource::ForwardDrift:
      return levels_.ForwardDropDb > 0
                 ? baseline_.Forward * std::pow(10.0, -levels_.ForwardDropDb / 10)
                 : 0;
    case AlarmSource::ReflectedDrift:
      return baseline_.Reflected * levels_.ReflectedRiseFactor;
    case AlarmSource::VSWRDrift:
      return baseline_.VSWR * levels_.VSWRRiseFactor;
  }
  return 0;
}

std::vector<TAlarmEvent> AlarmEvaluator::SetLevels(const TAlarmLevels& levels, qint64 nowMs) {
  levels_ = levels;
  std::vector<TAlarmEvent> events;
  for (const AlarmSource source : kAlarmSources) {
    const bool off = source == AlarmSource::Monitor ? !levels_.MonitorFlag : LevelOf(source) <= 0;
    if (off) Clear(source, 0, nowMs, events);
  }
  return events;
}

std::vector<TAlarmEvent> AlarmEvaluator::SetBaseline(const TDriftBaseline& baseline, qint64 nowMs) {
  baseline_ = baseline;
  std::vector<TAlarmEvent> events;
  for (const AlarmSource source :
       {AlarmSource::ForwardDrift, AlarmSource::ReflectedDrift, AlarmSource::VSWRDrift})
    if (LevelOf(source) <= 0) Clear(source, 0, nowMs, events);
  return events;
}

std::vector<TAlarmEvent> AlarmEvaluator::Reading(qint64 nowMs, const TMonitorReading& reading) {
  std::vector<TAlarmEvent> events;
  Clear(AlarmSource::LinkLost, static_cast<double>(nowMs - lastGoodMs_) / 1000, nowMs, events);
  lastGoodMs_ = nowMs;

  const auto above = [](double value, double level) {
    if (level <= 0) return Verdict::Clear;
    if (value > level) return Verdict::Trip;
    return value < level * (1 - kAlarmHysteresis) ? Verdict::Clear : Verdict::Hold;
  };
  const double forward = reading.Forward;
  const bool keyed = Keyed(levels_, forward);
  const double delay = levels_.Delay;

  Judge(AlarmSource::Monitor,
        !levels_.MonitorFlag ? Verdict::Clear
        : reading.Alarm      ? Verdict::Trip
                             : Verdict::Clear,
        reading.Alarm ? 1 : 0, nowMs, delay, events);

  // Unkeyed, the VSWR and the forward power say nothing about the antenna or the
  // transmitter: an alarm neither trips nor clears then, so that one raised just before a
  // transmitter shut down stays until someone has seen it.
  const double vswr = DeriveVSWR(forward, reading.Reflected);
  Verdict v = levels_.VSWRAbove > 0 && !keyed ? Verdict::Hold : above(vswr, levels_.VSWRAbove);
  Judge(AlarmSource::VSWRAbove, v, vswr, nowMs, delay, events);

  Judge(AlarmSource::ReflectedAbove, above(reading.Reflected, levels_.ReflectedAbove),
        reading.Reflected, nowMs, delay, events);

  const auto below = [&](double value, double level) {
    if (level <= 0) return Verdict::Clear;
    if (!keyed) return Verdict::Hold;
    if (value < level) return Verdict::Trip;
    return value > level * (1 + kAlarmHysteresis) ? Verdict::Clear : Verdict::Hold;
  };
  Judge(AlarmSource::ForwardBelow, below(forward, levels_.ForwardBelow), forward, nowMs, delay,
        events);

  // Drift is judged only keyed, as the VSWR: unkeyed there is nothing to compare.
  const auto keyedAbove = [&](double value, double level) {
    return level > 0 && !keyed ? Verdict::Hold : above(value, level);
  };
  Judge(AlarmSource::ForwardDrift, below(forward, LevelOf(AlarmSource::ForwardDrift)), forward,
        nowMs, delay, events);
  Judge(AlarmSource::ReflectedDrift,
        keyedAbove(reading.Reflected, LevelOf(AlarmSource::ReflectedDrift)), reading.Reflected,
        nowMs, delay, events);
  Judge(AlarmSource::VSWRDrift, keyedAbove(vswr, LevelOf(AlarmSource::VSWRDrift)), vswr, nowMs,
        delay, events);
  return events;
}

std::vector<TAlarmEvent> AlarmEvaluator::ReadingFailed(qint64 nowMs) {
  std::vector<TAlarmEvent> events;
  JudgeLink(nowMs, events);
  return events;
}

std::vector<TAlarmEvent> AlarmEvaluator::SetPolling(bool on, qint64 nowMs) {
  std::vector<TAlarmEvent> events;
  if (on && !polling_) lastGoodMs_ = nowMs;
  polling_ = on;
  if (!on) Clear(AlarmSource::LinkLost, 0, nowMs, events);
  return events;
}

std::vector<TAlarmEvent> AlarmEvaluator::Tick(qint64 nowMs) {
  std::vector<TAlarmEvent> events;
  JudgeLink(nowMs, events);
  return events;
}

void AlarmEvaluator::JudgeLink(qint64 nowMs, std::vector<TAlarmEvent>& events) {
  const double level = levels_.LinkLostAfter;
  if (!polling_ || level <= 0) return;
  lastGoodMs_ = std::min(lastGoodMs_, nowMs);  // the wall clock stepped back
  const double silent = static_cast<double>(nowMs - lastGoodMs_) / 1000;
  if (silent >= level) Judge(AlarmSource::LinkLost, Verdict::Trip, silent, nowMs, 0, events);
}

std::vector<TAlarmEvent> AlarmEvaluator::Acknowledge(qint64 nowMs) {
  std::vector<TAlarmEvent> events;
  for (const AlarmSource source : kAlarmSources) {
    Slot& slot = At(source);
    if (slot.state != AlarmState::Active) continue;
    slot.state = AlarmState::Acknowledged;
    events.push_back(
        {slot.id, source, AlarmChange::Acknowledged, slot.tripValue, LevelOf(source), nowMs, true});
  }
  return events;
}

bool AlarmEvaluator::Sounding() const {
  for (const Slot& slot : slots_)
    if (slot.state == AlarmState::Active) return true;
  return false;
}

void AlarmEvaluator::Judge(AlarmSource source, Verdict verdict, double value, qint64 nowMs,
                           double delayS, std::vector<TAlarmEvent>& events) {
  Slot& slot = At(source);
  if (verdict == Verdict::Clear) {
    Clear(source, value, nowMs, events);
    return;
  }
  if (verdict == Verdict::Hold || slot.state != AlarmState::Normal) {
    slot.pendingSinceMs = -1;
    return;
  }
  // A wall clock stepped back must not hold a trip off until it has caught up again.
  if (slot.pendingSinceMs < 0 || slot.pendingSinceMs > nowMs) slot.pendingSinceMs = nowMs;
  if (static_cast<double>(nowMs - slot.pendingSinceMs) < delayS * 1000) return;
  slot.state = AlarmState::Active;
  slot.id = nextId_++;
  slot.pendingSinceMs = -1;
  slot.tripValue = value;
  events.push_back({slot.id, source, AlarmChange::Tripped, value, LevelOf(source), nowMs, false});
}

void AlarmEvaluator::Clear(AlarmSource source, double value, qint64 nowMs,
                           std::vector<TAlarmEvent>& events) {
  Slot& slot = At(source);
  slot.pendingSinceMs = -1;
  if (slot.state == AlarmState::Normal) return;
  events.push_back({slot.id, source, AlarmChange::Cleared, value, LevelOf(source), nowMs,
                    slot.state == AlarmState::Acknowledged});
  slot.state = AlarmState::Normal;
  slot.tripValue = 0;
}

}  // namespace vemo

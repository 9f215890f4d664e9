// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/AlarmEvaluator.h"

#include "monitor/VSWRMon.h"
#include "station/Readout.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

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
    case AlarmSource::OffAir:
      return "offair";
    case AlarmSource::LinkLost:
      return "link";
    case AlarmSource::ForwardDrift:
      return "forward_drift";
    case AlarmSource::ReflectedDrift:
      return "reflected_drift";
    case AlarmSource::VSWRDrift:
      return "vswr_drift";
    case AlarmSource::Test:
      return "test";
  }
  return "";
}

bool AlarmSourceOfName(const char* name, AlarmSource& source) {
  for (int i = 0; i < kAlarmSourceCount; ++i) {
    const auto s = static_cast<AlarmSource>(i);
    if (std::strcmp(AlarmSourceName(s), name) == 0) {
      source = s;
      return true;
    }
  }
  return false;
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

double KeyedLevel(const TAlarmLevels& levels, double fullScaleW) {
  return levels.KeyedAbove >= 0 ? levels.KeyedAbove
                                : kKeyedShareOfFullScale * std::max(0.0, fullScaleW);
}

double ClearLevel(const TAlarmLevels& l, AlarmSource source) {
  // A clear level on the wrong side of the trip level would trip and clear at once.
  const auto below = [](double trip, double clear) {
    return clear > 0 && clear < trip ? clear : trip * (1 - kAlarmHysteresis);
  };
  const auto above = [](double trip, double clear) {
    return clear > trip ? clear : trip * (1 + kAlarmHysteresis);
  };
  switch (source) {
    case AlarmSource::VSWRAbove:
      return below(l.VSWRAbove, l.VSWRClearBelow);
    case AlarmSource::ReflectedAbove:
      return below(l.ReflectedAbove, l.ReflectedClearBelow);
    case AlarmSource::ForwardBelow:
      return above(l.ForwardBelow, l.ForwardClearAbove);
    case AlarmSource::OffAir:
      return above(l.OffAirBelow, l.OffAirClearAbove);
    default:
      return 0;
  }
}

AlarmEvaluator::AlarmEvaluator(TAlarmLevels levels) : levels_(levels) {}

double AlarmEvaluator::LevelOf(AlarmSource source) const {
  switch (source) {
    case AlarmSource::Monitor:
    case AlarmSource::Test:
      return 0;
    case AlarmSource::VSWRAbove:
      return levels_.VSWRAbove;
    case AlarmSource::ReflectedAbove:
      return levels_.ReflectedAbove;
    case AlarmSource::ForwardBelow:
      return levels_.ForwardBelow;
    case AlarmSource::OffAir:
      return levels_.OffAirBelow;
    case AlarmSource::LinkLost:
      return levels_.LinkLostAfter > 0 ? LinkLostAfter() : 0;
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

double AlarmEvaluator::LinkLostAfter() const {
  return std::max(levels_.LinkLostAfter, 2 * static_cast<double>(intervalMs_) / 1000);
}

std::vector<TAlarmEvent> AlarmEvaluator::SetLevels(const TAlarmLevels& levels, qint64 nowMs) {
  levels_ = levels;
  std::vector<TAlarmEvent> events;
  for (const AlarmSource source : kAlarmSources) {
    const bool off = source == AlarmSource::Monitor ? !levels_.MonitorFlag : LevelOf(source) <= 0;
    if (off) Clear(source, 0, nowMs, events, false);
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

AlarmEvaluator::Verdict AlarmEvaluator::Persisting(Slot& slot, Verdict verdict) const {
  slot.recent = (slot.recent << 1) | (verdict == Verdict::Trip ? 1u : 0u);
  const int k = std::min(levels_.TripReadings, kMaxPersistReadings);
  if (verdict != Verdict::Trip || k <= 1) return verdict;
  const int n = std::clamp(levels_.OfReadings, k, kMaxPersistReadings);
  const std::uint32_t window = n == 32 ? ~0u : (1u << n) - 1;
  return std::popcount(slot.recent & window) >= k ? Verdict::Trip : Verdict::Hold;
}

std::vector<TAlarmEvent> AlarmEvaluator::Reading(qint64 nowMs, const TMonitorReading& reading,
                                                 double fullScaleW) {
  std::vector<TAlarmEvent> events;
  Clear(AlarmSource::LinkLost, static_cast<double>(nowMs - lastGoodMs_) / 1000, nowMs, events);
  lastGoodMs_ = nowMs;

  const auto above = [](double value, double level, double clear) {
    if (level <= 0) return Verdict::Clear;
    if (value > level) return Verdict::Trip;
    return value < clear ? Verdict::Clear : Verdict::Hold;
  };
  const auto below = [](double value, double level, double clear) {
    if (level <= 0) return Verdict::Clear;
    if (value < level) return Verdict::Trip;
    return value > clear ? Verdict::Clear : Verdict::Hold;
  };
  const TAlarmLevels& l = levels_;
  const double forward = reading.Forward;
  const bool keyed = IsKeyed(l, forward, fullScaleW);
  const double delay = l.Delay;
  const auto judge = [&](AlarmSource source, Verdict verdict, double value) {
    Judge(source, Persisting(At(source), verdict), value, nowMs, delay, events);
  };

  judge(AlarmSource::Monitor,
        !l.MonitorFlag  ? Verdict::Clear
        : reading.Alarm ? Verdict::Trip
                        : Verdict::Clear,
        reading.Alarm ? 1 : 0);

  // Unkeyed, the VSWR and the forward power say nothing about the antenna or the
  // transmitter: an alarm neither trips nor clears then, so that one raised just before a
  // transmitter shut down stays until someone has seen it.
  const double vswr = DeriveVSWR(forward, reading.Reflected);
  judge(AlarmSource::VSWRAbove,
        l.VSWRAbove > 0 && !keyed ? Verdict::Hold
                                  : above(vswr, l.VSWRAbove, ClearLevel(l, AlarmSource::VSWRAbove)),
        vswr);
  judge(AlarmSource::ReflectedAbove,
        above(reading.Reflected, l.ReflectedAbove, ClearLevel(l, AlarmSource::ReflectedAbove)),
        reading.Reflected);
  judge(AlarmSource::ForwardBelow,
        l.ForwardBelow > 0 && !keyed
            ? Verdict::Hold
            : below(forward, l.ForwardBelow, ClearLevel(l, AlarmSource::ForwardBelow)),
        forward);
  // Off the air is judged keyed or not: 0 W is exactly what it is there to catch.
  judge(AlarmSource::OffAir, below(forward, l.OffAirBelow, ClearLevel(l, AlarmSource::OffAir)),
        forward);

  // Drift is judged only keyed, as the VSWR: unkeyed there is nothing to compare. Each
  // clears kAlarmHysteresis back from its level.
  const auto keyedOnly = [&](double level, Verdict verdict) {
    return level > 0 && !keyed ? Verdict::Hold : verdict;
  };
  const double forwardDrift = LevelOf(AlarmSource::ForwardDrift);
  judge(
      AlarmSource::ForwardDrift,
      keyedOnly(forwardDrift, below(forward, forwardDrift, forwardDrift * (1 + kAlarmHysteresis))),
      forward);
  const double reflectedDrift = LevelOf(AlarmSource::ReflectedDrift);
  judge(AlarmSource::ReflectedDrift,
        keyedOnly(reflectedDrift, above(reading.Reflected, reflectedDrift,
                                        reflectedDrift * (1 - kAlarmHysteresis))),
        reading.Reflected);
  const double vswrDrift = LevelOf(AlarmSource::VSWRDrift);
  judge(AlarmSource::VSWRDrift,
        keyedOnly(vswrDrift, above(vswr, vswrDrift, vswrDrift * (1 - kAlarmHysteresis))), vswr);
  return events;
}

std::vector<TAlarmEvent> AlarmEvaluator::ReadingFailed(qint64 nowMs) {
  std::vector<TAlarmEvent> events;
  JudgeLink(nowMs, events);
  return events;
}

std::vector<TAlarmEvent> AlarmEvaluator::SetPolling(bool on, qint64 nowMs, qint64 intervalMs) {
  std::vector<TAlarmEvent> events;
  if (on && !polling_) lastGoodMs_ = nowMs;
  if (intervalMs > 0) intervalMs_ = intervalMs;
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
  if (!polling_ || levels_.LinkLostAfter <= 0) return;
  lastGoodMs_ = std::min(lastGoodMs_, nowMs);  // the wall clock stepped back
  const double silent = static_cast<double>(nowMs - lastGoodMs_) / 1000;
  if (silent >= LinkLostAfter())
    Judge(AlarmSource::LinkLost, Verdict::Trip, silent, nowMs, 0, events);
}

std::vector<TAlarmEvent> AlarmEvaluator::TestAlarm(qint64 nowMs) {
  std::vector<TAlarmEvent> events;
  if (!IsActive(AlarmSource::Test)) Trip(AlarmSource::Test, 1, nowMs, events);
  return events;
}

std::vector<TAlarmEvent> AlarmEvaluator::Acknowledge(qint64 nowMs) {
  std::vector<TAlarmEvent> events;
  for (int i = 0; i < kAlarmSourceCount; ++i) {
    const auto source = static_cast<AlarmSource>(i);
    Slot& slot = At(source);
    if (slot.state != AlarmState::Active && slot.state != AlarmState::Latched) continue;
    events.push_back(
        {slot.id, source, AlarmChange::Acknowledged, slot.tripValue, LevelOf(source), nowMs, true});
    if (slot.state == AlarmState::Latched) {
      slot.state = AlarmState::Normal;
      slot.tripValue = 0;
      continue;
    }
    slot.state = AlarmState::Acknowledged;
    // Seen by the operator, the test has done its work.
    if (source == AlarmSource::Test) Clear(source, 0, nowMs, events);
  }
  return events;
}

bool AlarmEvaluator::Any(AlarmState state) const {
  return std::any_of(slots_.begin(), slots_.end(),
                     [state](const Slot& slot) { return slot.state == state; });
}

unsigned AlarmEvaluator::ActiveSources() const {
  unsigned bits = 0;
  for (int i = 0; i < kAlarmSourceCount; ++i)
    if (IsActive(static_cast<AlarmSource>(i))) bits |= AlarmSourceBit(static_cast<AlarmSource>(i));
  return bits;
}

void AlarmEvaluator::Judge(AlarmSource source, Verdict verdict, double value, qint64 nowMs,
                           double delayS, std::vector<TAlarmEvent>& events) {
  Slot& slot = At(source);
  if (verdict == Verdict::Clear) {
    Clear(source, value, nowMs, events);
    return;
  }
  if (IsActive(source)) slot.latestValue = value;
  if (verdict == Verdict::Hold || IsActive(source)) {
    slot.pendingSinceMs = -1;
    return;
  }
  // A wall clock stepped back must not hold a trip off until it has caught up again.
  if (slot.pendingSinceMs < 0 || slot.pendingSinceMs > nowMs) slot.pendingSinceMs = nowMs;
  if (static_cast<double>(nowMs - slot.pendingSinceMs) < delayS * 1000) return;
  Trip(source, value, nowMs, events);
}

void AlarmEvaluator::Trip(AlarmSource source, double value, qint64 nowMs,
                          std::vector<TAlarmEvent>& events) {
  Slot& slot = At(source);
  // A latched alarm that trips again becomes this new trip: its clearing was logged.
  slot.state = AlarmState::Active;
  slot.id = nextId_++;
  slot.pendingSinceMs = -1;
  slot.tripValue = value;
  slot.latestValue = value;
  events.push_back({slot.id, source, AlarmChange::Tripped, value, LevelOf(source), nowMs, false});
}

void AlarmEvaluator::Clear(AlarmSource source, double value, qint64 nowMs,
                           std::vector<TAlarmEvent>& events, bool keepLatch) {
  Slot& slot = At(source);
  slot.pendingSinceMs = -1;
  if (slot.state == AlarmState::Latched && !keepLatch) slot.state = AlarmState::Normal;
  if (!IsActive(source)) return;
  const bool acknowledged = slot.state == AlarmState::Acknowledged;
  events.push_back(
      {slot.id, source, AlarmChange::Cleared, value, LevelOf(source), nowMs, acknowledged});
  const bool latch = keepLatch && !acknowledged && (levels_.Latch & AlarmSourceBit(source)) != 0;
  slot.state = latch ? AlarmState::Latched : AlarmState::Normal;
  if (!latch) slot.tripValue = 0;
}

}  // namespace vemo

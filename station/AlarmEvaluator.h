// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's own alarms, judged from the readings of one monitor: the monitor's alarm
// flag, VSWR above a level, reflected power above a level, forward power below a level
// while the transmitter is keyed, forward power below a level whatever the keying (the
// carrier is off the air), a link that gives no reading, and drift: forward power some dB
// below its baseline, reflected power or VSWR some factor above theirs (the baseline comes
// from the stored history; see SetBaseline).
//
// The states follow the control-room convention: a trip makes a source active and
// unacknowledged (it sounds and flashes); acknowledged while still active it stays active,
// silent and steady; cleared before anyone acknowledged it, it stays latched until
// acknowledged (unless its latch is off), so that a trip nobody saw is never lost from
// view. A condition must hold for the delay (and, when set, in k of the last n readings)
// before its alarm trips, and a level alarm clears only once its value is back past its
// clear level, so that a noisy reading does not chatter.
//
// Times are wall-clock milliseconds since the epoch, given by the caller. Every call that
// changes something returns the events it caused, in order. Not thread-safe: one owner
// per monitor.

#include <QtGlobal>

#include <array>
#include <cstdint>
#include <vector>

namespace vemo {

struct TMonitorReading;

enum class AlarmSource {
  Monitor,
  VSWRAbove,
  ReflectedAbove,
  ForwardBelow,
  OffAir,
  LinkLost,
  ForwardDrift,
  ReflectedDrift,
  VSWRDrift,
  Test
};
constexpr int kAlarmSourceCount = 10;
// The sources judged from the readings; the test alarm only comes when asked for.
constexpr std::array<AlarmSource, kAlarmSourceCount - 1> kAlarmSources = {
    AlarmSource::Monitor,      AlarmSource::VSWRAbove,      AlarmSource::ReflectedAbove,
    AlarmSource::ForwardBelow, AlarmSource::OffAir,         AlarmSource::LinkLost,
    AlarmSource::ForwardDrift, AlarmSource::ReflectedDrift, AlarmSource::VSWRDrift};

// Short, stable name: in the alarm log, the hook's environment and metric labels
// ("monitor", "vswr", "reflected", "forward", "offair", "link", "forward_drift",
// "reflected_drift", "vswr_drift", "test").
const char* AlarmSourceName(AlarmSource source);
// The source of a short name; false for an unknown name.
bool AlarmSourceOfName(const char* name, AlarmSource& source);
constexpr unsigned AlarmSourceBit(AlarmSource source) {
  return 1u << static_cast<unsigned>(source);
}

// Latched: cleared before it was acknowledged, and held until it is.
enum class AlarmState { Normal, Active, Acknowledged, Latched };

enum class AlarmChange { Tripped, Acknowledged, Cleared };
// "tripped", "acknowledged", "cleared".
const char* AlarmChangeName(AlarmChange change);

struct TAlarmEvent {
  std::uint64_t Id = 0;  // the trip; its acknowledgement and clearing carry the same id
  AlarmSource Source = AlarmSource::Monitor;
  AlarmChange Change = AlarmChange::Tripped;
  // The source's value at the event: the VSWR, watts, seconds without a reading, or 1/0
  // for the monitor's flag.
  double Value = 0;
  double Level = 0;  // the level it is judged against (0 for the monitor's flag)
  qint64 TimeMs = 0;
  bool WasAcknowledged = false;  // Cleared: acknowledged before it cleared
};

// KeyedAbove: the transmitter counts as keyed above this share of the full scale.
constexpr double kKeyedShareOfFullScale = 0.01;
constexpr double kKeyedAuto = -1;
constexpr unsigned kLatchAll = (1u << kAlarmSourceCount) - 1;
// Persistence looks back at most this many readings.
constexpr int kMaxPersistReadings = 32;

// Every level 0 = that source off.
struct TAlarmLevels {
  bool MonitorFlag = true;    // the monitor's own alarm flag
  double VSWRAbove = 0;       // judged only while keyed: without power a VSWR means nothing
  double ReflectedAbove = 0;  // watts
  double ForwardBelow = 0;    // watts, while keyed
  double OffAirBelow = 0;     // watts, keyed or not: for stations meant to be on the air
  // Watts: keyed while forward power is above this; kKeyedAuto (any negative value) is
  // kKeyedShareOfFullScale of the monitor's full scale.
  double KeyedAbove = kKeyedAuto;
  double LinkLostAfter = 0;  // seconds without a reading; never less than two intervals
  double Delay = 0;          // seconds a condition must hold before it trips (not the link)
  // Where each level alarm clears; 0 = kAlarmHysteresis back from its trip level. A clear
  // level on the wrong side of its trip level counts as 0.
  double VSWRClearBelow = 0;
  double ReflectedClearBelow = 0;
  double ForwardClearAbove = 0;
  double OffAirClearAbove = 0;
  // A condition counts once it held in TripReadings of the last OfReadings readings
  // (OfReadings below TripReadings counts as TripReadings); 0 = every reading counts.
  int TripReadings = 0;
  int OfReadings = 0;
  unsigned Latch = kLatchAll;      // AlarmSourceBit of the sources that latch
  double ForwardDropDb = 0;        // dB below the forward baseline, while keyed
  double ReflectedRiseFactor = 0;  // times the reflected baseline, while keyed
  double VSWRRiseFactor = 0;       // times the VSWR baseline, while keyed
};

// What the drift alarms judge against: the usual forward and reflected power and VSWR of
// this monitor while keyed (0: not known, the source stays quiet).
struct TDriftBaseline {
  double Forward = 0;    // W
  double Reflected = 0;  // W
  double VSWR = 0;
  bool operator==(const TDriftBaseline&) const = default;
};

// A level alarm clears by default once its value is this fraction of the level back past
// the level: VSWR above 2.0 clears below 1.9, forward below 100 W clears above 105 W.
constexpr double kAlarmHysteresis = 0.05;

// The forward power above which the transmitter counts as keyed.
double KeyedLevel(const TAlarmLevels& levels, double fullScaleW);
inline bool IsKeyed(const TAlarmLevels& levels, double forwardW, double fullScaleW) {
  return forwardW > 0 && forwardW > KeyedLevel(levels, fullScaleW);
}
// The clear level of a level source as judged (0 for the others).
double ClearLevel(const TAlarmLevels& levels, AlarmSource source);

class AlarmEvaluator {
 public:
  explicit AlarmEvaluator(TAlarmLevels levels = {});

  // New levels. A source switched off clears; the others are judged anew at the next
  // reading (an active alarm stays until then).
  std::vector<TAlarmEvent> SetLevels(const TAlarmLevels& levels, qint64 nowMs);
  const TAlarmLevels& Levels() const { return levels_; }
  // A new baseline for the drift alarms; a drift source without one clears, the others are
  // judged against it from the next reading on.
  std::vector<TAlarmEvent> SetBaseline(const TDriftBaseline& baseline, qint64 nowMs);
  const TDriftBaseline& Baseline() const { return baseline_; }

  // fullScaleW: the monitor's full scale, for the automatic keyed level (0 = unknown:
  // keyed above 0 W).
  std::vector<TAlarmEvent> Reading(qint64 nowMs, const TMonitorReading& reading,
                                   double fullScaleW = 0);
  // A reading that failed: counts toward the link only.
  std::vector<TAlarmEvent> ReadingFailed(qint64 nowMs);
  // Continuous polling on or off, as the operator sets it, at intervalMs between readings.
  // A poll that gave up after failures is still on here: that is the link being lost. Off
  // clears the link alarm. Called again while on, it only takes the new interval.
  std::vector<TAlarmEvent> SetPolling(bool on, qint64 nowMs, qint64 intervalMs = 0);
  // Lets the link alarm trip while no reading comes; call it about once a second.
  std::vector<TAlarmEvent> Tick(qint64 nowMs);
  // Seconds without a reading before the link alarm trips: the level, but never less than
  // two polling intervals, so that a slow poll does not trip and clear every cycle.
  double LinkLostAfter() const;

  // Trips the test alarm (source Test), which goes the whole way of a real one and clears
  // once acknowledged.
  std::vector<TAlarmEvent> TestAlarm(qint64 nowMs);
  // Acknowledges every active alarm and releases every latched one.
  std::vector<TAlarmEvent> Acknowledge(qint64 nowMs);

  // An alarm is active and unacknowledged: the sound plays, the panel flashes.
  bool Sounding() const { return Any(AlarmState::Active); }
  bool Any(AlarmState state) const;
  // Active, acknowledged or not.
  bool IsActive(AlarmSource source) const {
    return State(source) == AlarmState::Active || State(source) == AlarmState::Acknowledged;
  }
  // AlarmSourceBit of every active source.
  unsigned ActiveSources() const;
  AlarmState State(AlarmSource source) const { return At(source).state; }
  // The value of the source's latest trip (0 when normal).
  double TripValue(AlarmSource source) const { return At(source).tripValue; }
  // The latest value judged while the alarm is active (the trip's value until then).
  double LatestValue(AlarmSource source) const { return At(source).latestValue; }
  double LevelOf(AlarmSource source) const;

 private:
  struct Slot {
    AlarmState state = AlarmState::Normal;
    std::uint64_t id = 0;
    qint64 pendingSinceMs = -1;  // the condition has held since then, not yet tripped
    double tripValue = 0;
    double latestValue = 0;
    std::uint32_t recent = 0;  // bit 0: the latest reading met the condition
  };
  // What one source makes of a value: trip, clear or hold where it is.
  enum class Verdict { Trip, Clear, Hold };

  Slot& At(AlarmSource source) { return slots_[static_cast<size_t>(source)]; }
  const Slot& At(AlarmSource source) const { return slots_[static_cast<size_t>(source)]; }
  Verdict Persisting(Slot& slot, Verdict verdict) const;
  void Judge(AlarmSource source, Verdict verdict, double value, qint64 nowMs, double delayS,
             std::vector<TAlarmEvent>& events);
  void Trip(AlarmSource source, double value, qint64 nowMs, std::vector<TAlarmEvent>& events);
  // keepLatch: an unacknowledged alarm stays latched when its source latches.
  void Clear(AlarmSource source, double value, qint64 nowMs, std::vector<TAlarmEvent>& events,
             bool keepLatch = true);
  void JudgeLink(qint64 nowMs, std::vector<TAlarmEvent>& events);

  TAlarmLevels levels_;
  TDriftBaseline baseline_;
  std::array<Slot, kAlarmSourceCount> slots_{};
  std::uint64_t nextId_ = 1;
  bool polling_ = false;
  qint64 intervalMs_ = 0;
  qint64 lastGoodMs_ = 0;  // the last good reading, or when polling started
};

}  // namespace vemo

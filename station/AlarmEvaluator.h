#pragma once
// The program's own alarms, judged from the readings of one monitor: the monitor's alarm
// flag, VSWR above a level, reflected power above a level, forward power below a level
// while the transmitter is keyed, a link that gives no reading, and drift: forward power
// some dB below its baseline, reflected power or VSWR some factor above theirs (the
// baseline comes from the stored history; see SetBaseline).
//
// Each source goes normal -> active (unacknowledged) -> acknowledged -> normal again when
// it clears; an active alarm may also clear before anyone acknowledges it, and its
// Cleared event says so. Acknowledging silences (Sounding() turns false) but keeps the
// record. A condition must hold for the delay before its alarm trips, and a level alarm
// clears only once its value is back past the level by the hysteresis, so that a noisy
// reading does not chatter.
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
  LinkLost,
  ForwardDrift,
  ReflectedDrift,
  VSWRDrift
};
constexpr int kAlarmSourceCount = 8;
constexpr std::array<AlarmSource, kAlarmSourceCount> kAlarmSources = {
    AlarmSource::Monitor,        AlarmSource::VSWRAbove, AlarmSource::ReflectedAbove,
    AlarmSource::ForwardBelow,   AlarmSource::LinkLost,  AlarmSource::ForwardDrift,
    AlarmSource::ReflectedDrift, AlarmSource::VSWRDrift};

// Short, stable name: in the alarm log, the hook's environment and metric labels
// ("monitor", "vswr", "reflected", "forward", "link", "forward_drift", "reflected_drift",
// "vswr_drift").
const char* AlarmSourceName(AlarmSource source);

enum class AlarmState { Normal, Active, Acknowledged };

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

// Every level 0 = that source off.
struct TAlarmLevels {
  bool MonitorFlag = true;         // the monitor's own alarm flag
  double VSWRAbove = 0;            // judged only while keyed: without power a VSWR means nothing
  double ReflectedAbove = 0;       // watts
  double ForwardBelow = 0;         // watts, while keyed
  double KeyedAbove = 0;           // watts: keyed while forward power is above this
  double LinkLostAfter = 0;        // seconds without a good reading while polling
  double Delay = 0;                // seconds a condition must hold before it trips (not the link)
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

// The transmitter counts as keyed while forward power is above KeyedAbove (and above 0).
bool Keyed(const TAlarmLevels& levels, double forward);

// A level alarm clears once its value is this fraction of the level back past the level:
// VSWR above 2.0 clears below 1.9, forward below 100 W clears above 105 W.
constexpr double kAlarmHysteresis = 0.05;

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

  std::vector<TAlarmEvent> Reading(qint64 nowMs, const TMonitorReading& reading);
  // A reading that failed: counts toward the link only.
  std::vector<TAlarmEvent> ReadingFailed(qint64 nowMs);
  // Continuous polling on or off, as the operator sets it. A poll that gave up after
  // failures is still on here: that is the link being lost. Off clears the link alarm.
  std::vector<TAlarmEvent> SetPolling(bool on, qint64 nowMs);
  // Lets the link alarm trip while no reading comes; call it about once a second.
  std::vector<TAlarmEvent> Tick(qint64 nowMs);

  // Acknowledges every active alarm.
  std::vector<TAlarmEvent> Acknowledge(qint64 nowMs);

  // An alarm is active and unacknowledged: the sound plays, the panel flashes.
  bool Sounding() const;
  AlarmState State(AlarmSource source) const { return At(source).state; }
  // The value of the source's latest trip (0 when normal).
  double TripValue(AlarmSource source) const { return At(source).tripValue; }

 private:
  struct Slot {
    AlarmState state = AlarmState::Normal;
    std::uint64_t id = 0;
    qint64 pendingSinceMs = -1;  // the condition has held since then, not yet tripped
    double tripValue = 0;
  };
  // What one source makes of a value: trip, clear or hold where it is.
  enum class Verdict { Trip, Clear, Hold };

  Slot& At(AlarmSource source) { return slots_[static_cast<size_t>(source)]; }
  const Slot& At(AlarmSource source) const { return slots_[static_cast<size_t>(source)]; }
  double LevelOf(AlarmSource source) const;
  void Judge(AlarmSource source, Verdict verdict, double value, qint64 nowMs, double delayS,
             std::vector<TAlarmEvent>& events);
  void Clear(AlarmSource source, double value, qint64 nowMs, std::vector<TAlarmEvent>& events);
  void JudgeLink(qint64 nowMs, std::vector<TAlarmEvent>& events);

  TAlarmLevels levels_;
  TDriftBaseline baseline_;
  std::array<Slot, kAlarmSourceCount> slots_{};
  std::uint64_t nextId_ = 1;
  bool polling_ = false;
  qint64 lastGoodMs_ = 0;  // the last good reading, or when polling started
};

}  // namespace vemo

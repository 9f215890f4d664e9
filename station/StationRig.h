// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rig beside a station's monitor, as the program, the tool and the service all use
// it: where each reading was taken (frequency and band), the band's correction and alarm
// levels, and the transmit interlock. Settings, section [Rig] of the settings file:
//   Model       Hamlib's rig model; 2 (its network rig) talks to a rigctld at Host
//   Host        HOST:PORT of the rigctld
//   Device      the rig's own serial port, for any other model
//   Speed       its baud rate (0 or missing: the model's default)
//   Interval    ms between polls of the rig (100..10000, default 500)
//   Interlock   the alarms that unkey the rig, as [Alarms] Latch names them ("vswr,reflected";
//               "none", the default, leaves the rig alone)
//   SafePower   W the interlock also turns RF power down to (0 or missing: leave it)
//   SweepPowerLimit  W above which a sweep is refused (default 10)
//   Wsjtx       where WSJT-X's UDP messages come (2237, 127.0.0.1:2237, 239.255.0.1:2237):
//               the frequency when no rig model is set
//
// The frequency comes from a rig poller on its own thread (or the WSJT-X listener on its);
// a reading never waits for it. A trip of an interlock-enabled alarm unkeys at once;
// key-ups seen while latched are unkeyed on the poll thread.

#include "monitor/VSWRMon.h"
#include "rig/BandPlan.h"
#include "rig/Interlock.h"
#include "rig/RigPoller.h"
#include "station/AlarmEvaluator.h"
#include "station/BandSettings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vemo {

class ProfileFile;
class RigctldUnkey;
class WsjtxListener;

struct TRigSettings {
  int Model = 0;  // 0: no rig
  std::string Host;
  std::string Device;
  int Speed = 0;
  int IntervalMs = 500;
  unsigned Interlock = 0;  // AlarmSourceBit of the alarms that unkey the rig
  double SafePowerW = 0;
  double SweepPowerLimitW = 10;
  std::string Wsjtx;
  bool operator==(const TRigSettings&) const = default;
  // A rig (or WSJT-X) gives the frequency.
  bool Any() const { return Model != 0 || !Wsjtx.empty(); }
};

// One warning per bad key (which keeps its default).
// section: the service's "Rig NAME" of a monitor.
TRigSettings ReadRigSettings(const ProfileFile& file, std::vector<std::string>& warnings,
                             const std::string& section = "Rig");
void WriteRigSettings(ProfileFile& file, const TRigSettings& settings);
// Raises RigError when the settings name no usable rig.
TRigTarget RigTargetOf(const TRigSettings& settings);

class StationRig {
 public:
  // Called on the rig's poll thread when its state changed, with what the interlock did
  // about it (a key-up unkeyed again); must not block: the owner hands it to its own thread.
  using Changed = std::function<void(const TRigState&, std::vector<TInterlockEvent>)>;

  // Starts polling the rig (or listening to WSJT-X). Raises RigError for settings that
  // name no usable rig; a rig that does not answer is no error (it is retried).
  StationRig(const TRigSettings& settings, BandPlan bands, Changed changed = {});
  ~StationRig();
  StationRig(const StationRig&) = delete;
  StationRig& operator=(const StationRig&) = delete;

  const TRigSettings& Settings() const { return settings_; }
  const BandPlan& Bands() const { return bands_; }
  // "rigctld at 127.0.0.1:4532", "WSJT-X at 2237".
  std::string Description() const;

  // The band table and the global levels it falls back to, as the alarm settings change;
  // the next reading gives its band's levels anew.
  void SetBandSettings(TBandSettings bands, const TAlarmLevels& global);

  struct Placed {
    TCorrectedReading Corrected;
    std::optional<double> FrequencyHz;
    std::string Band;  // empty: none known
    // The band (or the band table) changed: the alarms now judge with Levels.
    bool BandChanged = false;
    TAlarmLevels Levels;
  };
  // A reading taken at nowMs on the latest frequency (no older than two rig intervals).
  Placed Place(std::int64_t nowMs, const TMonitorReading& raw);
  // Places the reading and gives alarms the band's levels when the band changed.
  Placed Place(std::int64_t nowMs, const TMonitorReading& raw, AlarmEvaluator& alarms,
               std::vector<TAlarmEvent>& events);

  // The interlock, where Interlock names any alarm and a rig is configured.
  bool HasInterlock() const { return interlock_ != nullptr; }
  // Unkeys at once when any of events trips an interlock-enabled alarm; before anything
  // else is done about them.
  std::vector<TInterlockEvent> OnAlarms(const std::vector<TAlarmEvent>& events);
  std::vector<TInterlockEvent> TestInterlock(std::int64_t nowMs);
  std::vector<TInterlockEvent> Acknowledge(std::int64_t nowMs);
  bool Latched() const;

  TRigState State(std::int64_t nowMs) const;
  // Waits until the rig answered (or failed) once, or limit has passed.
  void WaitForFirstPoll(std::chrono::milliseconds limit) const;
  // A connection for commands (a sweep), apart from the polls where the rig allows; none
  // for WSJT-X.
  std::shared_ptr<Rig> CommandRig();

 private:
  void Observe(const TRigState& state);

  const TRigSettings settings_;
  const BandPlan bands_;
  Changed changed_;
  std::shared_ptr<Rig> polled_;
  std::shared_ptr<Rig> commands_;
  std::unique_ptr<RigctldUnkey> unkey_;
  std::unique_ptr<Interlock> interlock_;
  std::unique_ptr<RigPoller> poller_;
  std::unique_ptr<WsjtxListener> wsjtx_;
  mutable std::mutex mutex_;
  TBandSettings bandSettings_;
  TAlarmLevels global_;
  std::optional<std::string> band_;  // none: the next reading's band counts as changed
};

// The interlock's log: one line per trip, re-unkey, release or failure.
inline constexpr char kInterlockLogHeader[] = "time,event,reason";
std::string InterlockLogRow(const TInterlockEvent& event);
// "VemoSWR-interlock.csv" beside the alarm log.
std::string InterlockLogPath(const std::string& alarmLog);

// Where a reading was taken, for the status area and messages:
// "14.074 MHz, 20m", "7.150 MHz" (outside every band), "" when none is known.
std::string FrequencyText(std::optional<double> hz, const std::string& band);

}  // namespace vemo

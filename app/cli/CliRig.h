// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tool's side of the rig: the frequency and band columns and the interlock of "read
// --rig", and the "sweep" command.

#include "app/cli/CliCommands.h"
#include "monitor/VSWRMon.h"
#include "rig/BandPlan.h"
#include "rig/Interlock.h"
#include "rig/RigPoller.h"
#include "rig/RigctldUnkey.h"
#include "station/AlarmEvaluator.h"
#include "station/BandSettings.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vemo::cli {

class ReadRig {
 public:
  // Connects to the rigctld of o.rig (polling it every 250 ms) and reads the band plan;
  // band plan warnings go to io.err.
  ReadRig(const CliOptions& o, const CliStreams& io);

  struct Placed {
    TMonitorReading Reading;  // with the band's correction
    std::string Columns;  // kReadingCsvRigColumns' fields, or " frequency=... band=..." for text
  };
  // Puts a reading taken at nowMs on the rig's frequency and band, corrects it for the
  // band, and gives alarms (when not null) the band's levels when the band changes.
  Placed Place(qint64 nowMs, const TMonitorReading& raw, bool csv, AlarmEvaluator* alarms,
               std::vector<TAlarmEvent>& events);
  // Unkeys the rig at a trip (before anything else is done about it) when --interlock
  // is given; reports what the interlock did on io.err.
  void OnAlarms(const std::vector<TAlarmEvent>& events);

 private:
  void Print(const std::vector<TInterlockEvent>& events);

  const CliStreams& io_;
  BandPlan bands_;
  TBandSettings bandSettings_;
  TAlarmLevels globalLevels_;
  std::string band_;
  bool connected_ = true;  // so that a rig never reached is reported too
  std::unique_ptr<RigctldUnkey> unkey_;
  std::unique_ptr<Rig> power_;  // for the safe power, apart from the polls
  std::unique_ptr<Interlock> interlock_;
  std::unique_ptr<RigPoller> poller_;
};

// The sweep command; take gives one reading of the monitor.
int Sweep(const CliOptions& o, const std::function<TMonitorReading()>& take, const CliStreams& io);

}  // namespace vemo::cli

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tool's side of the rig: the frequency and band columns and the interlock of "read
// --rig", and the "sweep" command.

#include "app/cli/CliCommands.h"
#include "monitor/VSWRMon.h"
#include "station/AlarmEvaluator.h"
#include "station/StationRig.h"

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
  bool connected_ = true;  // so that a rig never reached is reported too
  std::unique_ptr<StationRig> rig_;
};

// The sweep command; take gives one reading of the monitor. With the tool's alarm options,
// an alarm ends the sweep (and unkeys the rig) at once.
int Sweep(const CliOptions& o, const std::function<TMonitorReading()>& take, const CliStreams& io);

}  // namespace vemo::cli

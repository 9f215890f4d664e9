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

  // ",frequency_hz,band" for the CSV header.
  static const char* CsvColumns() { return ",frequency_hz,band"; }
  // The frequency and band of a reading taken at nowMs: ",14074000,20m", or "," with an
  // empty field where there is none; as " frequency=14074000 band=20m" for the plain lines.
  std::string Columns(qint64 nowMs, bool csv) const;
  // Unkeys the rig at a trip (before anything else is done about it) when --interlock
  // is given; reports what the interlock did on io.err.
  void OnAlarms(const std::vector<TAlarmEvent>& events);

 private:
  void Print(const std::vector<TInterlockEvent>& events);

  const CliStreams& io_;
  BandPlan bands_;
  std::unique_ptr<RigctldUnkey> unkey_;
  std::unique_ptr<Interlock> interlock_;
  std::unique_ptr<RigPoller> poller_;
};

// The sweep command; take gives one reading of the monitor.
int Sweep(const CliOptions& o, const std::function<TMonitorReading()>& take, const CliStreams& io);

}  // namespace vemo::cli

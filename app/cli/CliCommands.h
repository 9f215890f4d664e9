// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The commands of vemoswr-cli, run on an opened and identified monitor line.

#include "app/cli/CliOptions.h"
#include "monitor/MonitorLink.h"
#include "station/AlarmEvaluator.h"

#include <cstdio>
#include <vector>

namespace vemo::cli {

struct CliStreams {
  std::FILE* in = stdin;
  std::FILE* out = stdout;
  std::FILE* err = stderr;
};

// Runs the command; returns the exit status. Failures of single readings are reported on
// err and counted; any other failure raises.
int RunCliCommand(const CliOptions& options, MonitorLink& link, bool identified,
                  const CliStreams& io);

// Prints alarm events on err; true when one of them is a trip.
bool PrintAlarms(const CliStreams& io, const std::vector<TAlarmEvent>& events);

}  // namespace vemo::cli

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "vemoswr-cli report": the daily or weekly report of a stored history, as one HTML file.

#include "station/AlarmEvaluator.h"

#include <cstdio>
#include <string>

namespace vemo::cli {

struct TCliReport {
  std::string Database;
  std::string Period;   // "2026-12-08" or "2026-W50", checked when the report is made
  std::string Output;   // empty: standard output
  std::string Name;     // the monitor's name in the report; empty: the database's
  TAlarmLevels Levels;  // VSWRAbove and OffAirBelow
};

// Writes the report; 0, 1 with the message on err, or 2 for a period that is none.
int WriteCliReport(const TCliReport& r, std::FILE* out, std::FILE* err);

}  // namespace vemo::cli

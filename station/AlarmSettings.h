// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The operator's alarm settings, section [Alarms] of the settings file:
//   VSWRAbove, ReflectedAbove (W), ForwardBelow (W), OffAirBelow (W), LinkLostAfter (s),
//   Delay (s), ForwardDropDb (dB below the baseline), ReflectedRiseFactor and
//   VSWRRiseFactor (times the baseline): numbers with "." for decimals, whatever the
//   locale; 0 or missing = off;
//   KeyedAbove (W, or "auto" for a share of the full scale, the default);
//   VSWRClearBelow, ReflectedClearBelow, ForwardClearAbove, OffAirClearAbove: where each
//   clears (0 or missing: 5 % back from its level);
//   TripReadings, OfReadings: a condition must hold in k of the last n readings (0 = off);
//   Latch: the sources whose alarms stay latched until acknowledged once cleared, as
//   "all", "none" or names separated by commas ("vswr,offair,link");
//   Sound (0/1), Hook (a command line), Log (the alarm log; relative paths start beside
//   the settings file).
// A bad value keeps the last good one (or the default) and gives one warning naming the
// key; writing back touches only the keys the user changed, so a bad value is never
// replaced by a guess.

#include "station/AlarmEvaluator.h"

#include <string>
#include <vector>

namespace vemo {

class ProfileFile;

struct TAlarmSettings {
  TAlarmLevels Levels;
  bool Sound = true;
  std::string Hook;  // empty: no hook
  std::string Log;   // full path
};

struct TAlarmSettingsRead {
  TAlarmSettings Settings;
  std::vector<std::string> Warnings;  // one per bad key, for the status area
};

// "VemoSWR-alarms.csv" in the folder of the settings file.
std::string DefaultAlarmLogPath(const std::string& settingsFile);

TAlarmSettingsRead ReadAlarmSettings(const ProfileFile& file);
// The same keys from another section (a service's per-monitor alarms).
// lastGood: what a bad value falls back to (the settings read before; default otherwise).
TAlarmSettingsRead ReadAlarmSettings(const ProfileFile& file, const std::string& section,
                                     const TAlarmSettings& lastGood = {});

// "vswr,offair" for the bits of AlarmSourceBit; "all" and "none" for all and none.
std::string AlarmSourceList(unsigned sources);
// The reverse; false for an unknown name.
bool ParseAlarmSourceList(const std::string& text, unsigned& sources);

// Writes the keys whose values differ from loaded (as ReadAlarmSettings gave it), in one
// save. Raises as ProfileFile's writes do.
void WriteAlarmSettings(ProfileFile& file, const TAlarmSettings& loaded,
                        const TAlarmSettings& settings);

}  // namespace vemo

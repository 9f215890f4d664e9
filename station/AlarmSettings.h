#pragma once
// The operator's alarm settings, section [Alarms] of the settings file:
//   VSWRAbove, ReflectedAbove (W), ForwardBelow (W), KeyedAbove (W), LinkLostAfter (s),
//   Delay (s), ForwardDropDb (dB below the baseline), ReflectedRiseFactor and
//   VSWRRiseFactor (times the baseline): numbers with "." for decimals, whatever the locale; 0 or missing = off;
//   Sound (0/1), Hook (a command line), Log (the alarm log; relative paths start beside
//   the settings file).
// A bad value gives the default and one warning naming the key; writing back touches only
// the keys the user changed, so a bad value is never replaced by a guess.

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
TAlarmSettingsRead ReadAlarmSettings(const ProfileFile& file, const std::string& section);

// Writes the keys whose values differ from loaded (as ReadAlarmSettings gave it), in one
// save. Raises as ProfileFile's writes do.
void WriteAlarmSettings(ProfileFile& file, const TAlarmSettings& loaded,
                        const TAlarmSettings& settings);

}  // namespace vemo

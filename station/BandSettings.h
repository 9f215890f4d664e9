// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What depends on the band a reading was taken on, from the settings file:
//   [Alarms 20m]     any of [Alarms]'s levels (VSWRAbove, ReflectedAbove, ForwardBelow,
//                    KeyedAbove); a level the section leaves out is the global one
//   [Corrections]    20m=-0.4,1.5: forward and reflected offsets in dB for that band
//                    (coupler response, feed-line loss to the antenna, an attenuator),
//                    added to what the monitor measures; its own calibration is untouched
// Band names are those of the band plan.

#include "monitor/VSWRMon.h"
#include "station/AlarmEvaluator.h"

#include <map>
#include <string>
#include <vector>

namespace vemo {

class ProfileFile;

struct TBandCorrection {
  double ForwardDb = 0;
  double ReflectedDb = 0;
};

struct TBandSettings {
  std::map<std::string, TAlarmLevels> Levels;  // complete: the global ones overlaid
  std::map<std::string, TBandCorrection> Corrections;
};

// global: the [Alarms] levels in use. One warning per bad key or entry (which is skipped).
TBandSettings ReadBandSettings(const ProfileFile& file, const TAlarmLevels& global,
                               std::vector<std::string>& warnings);

// The levels for a reading on band (the global ones on a band without its own, or none).
const TAlarmLevels& LevelsForBand(const TBandSettings& settings, const TAlarmLevels& global,
                                  const std::string& band);

// A reading with the band's correction applied, and the monitor's own values beside it.
struct TCorrectedReading {
  TMonitorReading Reading;
  float ForwardRaw = 0;
  float ReflectedRaw = 0;
  bool Corrected = false;  // a correction other than 0 dB applied: say so where shown
};
TCorrectedReading CorrectForBand(const TBandSettings& settings, const std::string& band,
                                 const TMonitorReading& reading);

}  // namespace vemo

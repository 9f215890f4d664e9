// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The alarm, relay and push-to-talk controls that both options dialogs carry, viewed
// together so that filling them from the settings record and reading them back is
// written once.

#include "monitor/MonitorSettings.h"

class QCheckBox;
class QComboBox;

namespace vemo {

class TCardinalEdit;
class TRealEdit;

struct TAlarmControls {
  QCheckBox* LatchAlarm;
  QCheckBox* PwrUpAlarm;
  QCheckBox* RelaySense;
  QCheckBox* AlarmEnable;
  QComboBox* VSWRLevel;
  QCheckBox* AlarmOnZero;
  QCheckBox* EnableHiPwrAlarm;
  TCardinalEdit* HiPower;
  QCheckBox* LowPower;
  TCardinalEdit* LowPowerLevel;
  QCheckBox* PushToTalkEnable;
  TRealEdit* PushToTalkDelay;
};

// A level outside the VSWR list leaves it with no entry selected.
void FillAlarmControls(const TAlarmControls& c, const MonitorSettings& s);

// Reads the controls into s. The edits are normalised first, as leaving them would (Enter
// on the default button leaves none); a VSWR list with no entry selected keeps s's level.
void ReadAlarmControls(const TAlarmControls& c, MonitorSettings& s);

}  // namespace vemo

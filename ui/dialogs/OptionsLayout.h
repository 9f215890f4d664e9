// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which settings the options dialog shows for a monitor model and firmware date, and the
// VSWR alarm level list. Widget-free, so the table is checked without a screen.

#include <string>
#include <string_view>
#include <vector>

#include "monitor/DateTime.h"

namespace vemo {

// The dialog's layouts; None shows only OK and Cancel.
enum class OptionsLayout { None, A, B, C, D, E, F, G, H };

// The layout for a monitor: by model string and by the firmware date from which a layout
// applies (each threshold day counts as "at or after").
OptionsLayout OptionsLayoutFor(std::string_view modelId, TDateTime firmwareDate);

enum class OptionsGroup { VSWRAlarm, HighPowerAlarm, LowPowerAlarm, PushToTalk };

struct OptionsLayoutContent {
  bool alarmSettings = false;  // the "Alarm Settings" frame around everything else
  bool masterAlarmEnable = false;
  bool relaySense = false;
  bool latchAlarms = false;
  bool alarmAtPowerUp = false;
  std::vector<OptionsGroup> groups;  // top to bottom
  int vswrLevels = 6;                // entries of the VSWR level list
};

OptionsLayoutContent ContentOf(OptionsLayout layout);

// Largest number of VSWR alarm levels: "VSWR = 1.3" (code 0) to "VSWR = 2.5" (code 12).
constexpr int kMaxVSWRLevels = 13;

// The first `count` entries of the VSWR level list: "VSWR = 1.3", "VSWR = 1.4", ... in steps
// of 0.1. The entry's index is the level code the monitor uses.
std::vector<std::string> VSWRLevelItems(int count);

}  // namespace vemo

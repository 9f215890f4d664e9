// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every setting of the monitor read through the session into one record, in the order
// the options command reads them: latch, alarm at power-up, relay sense, relay 2 sense,
// VSWR alarm enable, VSWR level, check on zero power, high power, low power,
// push-to-talk, DAC gains. Failures of the exchanges pass to the caller.

#include "monitor/MonitorSettings.h"
#include "monitor/VSWRMon.h"

#include <string>

namespace vemo {

MonitorSettings ReadMonitorSettings(TVSWR_Monitor& monitor);

// What to tell the user when the monitor stored another push-to-talk delay than the one
// asked for (it counts in steps); empty when they agree to the 0.01 s shown.
std::string PushToTalkDelayNote(double asked, double stored);

}  // namespace vemo

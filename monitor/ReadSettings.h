#pragma once
// Every setting of the monitor read through the session into one record, in the order
// the options command reads them: latch, alarm at power-up, relay sense, relay 2 sense,
// VSWR alarm enable, VSWR level, check on zero power, high power, low power,
// push-to-talk, DAC gains. Failures of the exchanges pass to the caller.

#include "monitor/MonitorSettings.h"
#include "monitor/VSWRMon.h"

namespace vemo {

MonitorSettings ReadMonitorSettings(TVSWR_Monitor& monitor);

}  // namespace vemo

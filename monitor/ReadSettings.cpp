// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/ReadSettings.h"

#include <cmath>
#include <cstdio>

namespace vemo {

MonitorSettings ReadMonitorSettings(TVSWR_Monitor& monitor) {
  MonitorSettings s;
  s.LatchAlarm = monitor.ReadLatchAlarm();
  s.AlarmAtPowerUp = monitor.ReadAlarmAtPowerUp();
  s.RelaySense = monitor.ReadRelaySense();
  s.Relay2Sense = monitor.ReadRelay2Sense();
  s.VSWRAlarmEnable = monitor.ReadAlarmEnable();
  s.VSWRLevel = monitor.ReadVSWRLevel();
  s.CheckOnZeroPower = monitor.ReadCheckOnZeroPower();
  const TPowerAlarm high = monitor.ReadHiPowerAlarm();
  s.HighPowerLevel = high.Level;
  s.HighPowerEnable = high.Enabled;
  const TPowerAlarm low = monitor.ReadLowPowerAlarm();
  s.LowPowerLevel = low.Level;
  s.LowPowerEnable = low.Enabled;
  const TPushToTalk ptt = monitor.ReadPushToTalk();
  s.PushToTalkEnable = ptt.Enabled;
  s.PushToTalkDelay = ptt.Delay;
  s.SetDACGains(monitor.ReadDACGains());
  return s;
}

std::string PushToTalkDelayNote(double asked, double stored) {
  // The stored delay comes back rounded to 0.01 s.
  if (std::fabs(asked - stored) <= 0.0051) return {};
  char text[160];
  std::snprintf(text, sizeof text,
                "The push-to-talk delay was stored as %.2f s, not %g s: the monitor sets it in "
                "steps of 0.15625 s.",
                stored, asked);
  return text;
}

}  // namespace vemo

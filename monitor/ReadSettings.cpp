#include "monitor/ReadSettings.h"

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

}  // namespace vemo

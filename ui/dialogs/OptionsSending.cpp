// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/OptionsSending.h"

namespace vemo {

void SendOptionsSettings(const MonitorSettings& s, ISettingsForwarders& f) {
  f.SetAlarmEnable(s.VSWRAlarmEnable);
  f.SetRelaySense(s.RelaySense);
  f.SetLatchAlarm(s.LatchAlarm);
  f.SetAlarmAtPowerUp(s.AlarmAtPowerUp);
  f.SetPushToTalk(s.PushToTalkEnable, s.PushToTalkDelay);
  f.SetVSWRLevel(static_cast<uint8_t>(s.VSWRLevel));
  f.SetCheckOnZeroPower(s.CheckOnZeroPower);
  f.SetHighPowerAlarm(s.HighPowerEnable, s.HighPowerLevel);
  f.SetLowPowerAlarm(s.LowPowerEnable, s.LowPowerLevel);
}

void SendDualRelaySettings(const MonitorSettings& s, ISettingsForwarders& f,
                           const std::function<void(uint16_t)>& writeDACGains) {
  f.SetAlarmEnable(s.VSWRAlarmEnable);
  f.SetRelaySense(s.RelaySense);
  f.SetRelay2Sense(s.Relay2Sense);
  f.SetLatchAlarm(s.LatchAlarm);
  f.SetAlarmAtPowerUp(s.AlarmAtPowerUp);
  f.SetPushToTalk(s.PushToTalkEnable, s.PushToTalkDelay);
  f.SetVSWRLevel(static_cast<uint8_t>(s.VSWRLevel));
  f.SetCheckOnZeroPower(s.CheckOnZeroPower);
  f.SetHighPowerAlarm(s.HighPowerEnable, s.HighPowerLevel);
  f.SetLowPowerAlarm(s.LowPowerEnable, s.LowPowerLevel);
  writeDACGains(s.DACGains());
}

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/AlarmControls.h"

#include <QCheckBox>
#include <QComboBox>

#include "ui/controls/NumEdit.h"

namespace vemo {

void FillAlarmControls(const TAlarmControls& c, const MonitorSettings& s) {
  c.LatchAlarm->setChecked(s.LatchAlarm);
  c.PwrUpAlarm->setChecked(s.AlarmAtPowerUp);
  c.RelaySense->setChecked(s.RelaySense);
  c.AlarmEnable->setChecked(s.VSWRAlarmEnable);
  const bool listed = s.VSWRLevel >= 0 && s.VSWRLevel < c.VSWRLevel->count();
  c.VSWRLevel->setCurrentIndex(listed ? s.VSWRLevel : -1);
  c.AlarmOnZero->setChecked(s.CheckOnZeroPower);
  c.EnableHiPwrAlarm->setChecked(s.HighPowerEnable);
  c.HiPower->SetValue(s.HighPowerLevel);
  c.LowPower->setChecked(s.LowPowerEnable);
  c.LowPowerLevel->SetValue(s.LowPowerLevel);
  c.PushToTalkEnable->setChecked(s.PushToTalkEnable);
  c.PushToTalkDelay->SetValue(s.PushToTalkDelay);
}

void ReadAlarmControls(const TAlarmControls& c, MonitorSettings& s) {
  c.HiPower->Normalize();
  c.LowPowerLevel->Normalize();
  c.PushToTalkDelay->Normalize();

  s.LatchAlarm = c.LatchAlarm->isChecked();
  s.AlarmAtPowerUp = c.PwrUpAlarm->isChecked();
  s.RelaySense = c.RelaySense->isChecked();
  s.VSWRAlarmEnable = c.AlarmEnable->isChecked();
  if (c.VSWRLevel->currentIndex() >= 0) s.VSWRLevel = c.VSWRLevel->currentIndex();
  s.CheckOnZeroPower = c.AlarmOnZero->isChecked();
  s.HighPowerEnable = c.EnableHiPwrAlarm->isChecked();
  s.HighPowerLevel = c.HiPower->Value();
  s.LowPowerEnable = c.LowPower->isChecked();
  s.LowPowerLevel = c.LowPowerLevel->Value();
  s.PushToTalkEnable = c.PushToTalkEnable->isChecked();
  s.PushToTalkDelay = static_cast<float>(c.PushToTalkDelay->Value());
}

}  // namespace vemo

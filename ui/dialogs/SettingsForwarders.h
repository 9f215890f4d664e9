// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's settings forwarders: the options dialogs write confirmed settings
// through them, and each passes its values unchanged to the monitor session.

#include <cstdint>

namespace vemo {

class ISettingsForwarders {
 public:
  virtual ~ISettingsForwarders() = default;
  virtual void SetCheckOnZeroPower(bool on) = 0;
  virtual void SetVSWRLevel(uint8_t levelIndex) = 0;
  virtual void SetHighPowerAlarm(bool enable, int32_t level) = 0;
  virtual void SetLowPowerAlarm(bool enable, int32_t level) = 0;
  virtual void SetAlarmEnable(bool on) = 0;
  virtual void SetRelaySense(bool on) = 0;
  virtual void SetRelay2Sense(bool on) = 0;
  virtual void SetLatchAlarm(bool on) = 0;
  virtual void SetAlarmAtPowerUp(bool on) = 0;
  virtual void SetPushToTalk(bool enable, float delaySeconds) = 0;
};

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The monitor's alarm, relay, push-to-talk and analog-gain settings as the main window
// reads them from the monitor and hands them to the options dialogs (and back).

#include <cstdint>

namespace vemo {

struct MonitorSettings {
  bool LatchAlarm = false;
  bool AlarmAtPowerUp = false;
  bool RelaySense = false;
  bool Relay2Sense = false;  // dual-relay model only
  bool VSWRAlarmEnable = false;
  int32_t VSWRLevel = 0;  // index into "VSWR = 1.3" .. "VSWR = 2.5"
  bool CheckOnZeroPower = false;
  int32_t HighPowerLevel = 0;  // % of full scale
  bool HighPowerEnable = false;
  int32_t LowPowerLevel = 0;  // % of full scale
  bool LowPowerEnable = false;
  bool PushToTalkEnable = false;
  float PushToTalkDelay = 0;  // seconds
  uint8_t FwdDACGain = 0;     // dual-relay model only: 1, 2, 4 or 8
  uint8_t RflDACGain = 0;

  // The monitor carries both gains in one word: forward in the low byte, reflected in the high.
  uint16_t DACGains() const { return static_cast<uint16_t>(FwdDACGain | (RflDACGain << 8)); }
  void SetDACGains(uint16_t word) {
    FwdDACGain = static_cast<uint8_t>(word & 0xFF);
    RflDACGain = static_cast<uint8_t>(word >> 8);
  }
};

}  // namespace vemo

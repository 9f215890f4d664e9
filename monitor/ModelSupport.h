// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which monitor models and firmware dates have which settings commands. The session
// skips a command that the attached monitor does not have; the options dialogs lay
// themselves out from the same answers.

#include "monitor/DateTime.h"

#include <string_view>

namespace vemo {

enum class MonitorFeature {
  AlarmReset,        // "A"
  VSWRLevel,         // "8", "9"
  CheckOnZeroPower,  // "Q", "P"
  DACGains,          // "K", "J"
  StatusWord,        // "B", relay sense "50"/"51", VSWR alarm enable "60"/"61"
  SecondRelay,       // "W0"/"W1"
  LatchAlarm,        // "O0"/"O1"
  AlarmAtPowerUp,    // "U0"/"U1"
  HighPowerAlarm,    // "L", "M", "N0"/"N1"
  LowPowerAlarm,     // "D", "E", "G0"/"G1"
  PushToTalk,        // "&0"/"&1", "#", "%"
};

// True when the monitor identified as modelId with that firmware date has the commands
// of the feature.
bool ModelSupports(std::string_view modelId, TDateTime firmwareDate, MonitorFeature feature);

// The first five characters of an identification that the program accepts as a monitor:
// "TQAMO", "KRFMO" or "VPMon".
bool IsAcceptedIdentification(std::string_view identification);
// Position of the first accepted model prefix in text, npos when there is none.
size_t FindAcceptedIdentification(std::string_view text);

// "KRFMON04": two relays and the analog outputs; served by the dual-relay options dialog.
bool IsDualRelayModel(std::string_view modelId);

// "KRFMON01" and "KRFMON02" answer the full-scale command "7" with 7 characters, the
// others with 9.
int FullScaleReplyLength(std::string_view modelId);

}  // namespace vemo

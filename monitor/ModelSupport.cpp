// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/ModelSupport.h"

#include <algorithm>

namespace vemo {

namespace {

// Firmware dates at which the monitors gained commands.
const TDateTime kStatusWordAfter = EncodeDate(2000, 7, 24);  // VPMon002: strictly later
const TDateTime kLowPowerFrom = EncodeDate(2002, 5, 14);     // VPMon002
const TDateTime kLatchFrom = EncodeDate(2003, 10, 20);       // VPMon002
const TDateTime kPowerUpAlarmFrom = EncodeDate(2003, 11, 20);
// Firmware of exactly this date never gets the power-up alarm command.
const TDateTime kPowerUpAlarmBroken = EncodeDate(2004, 3, 29);
const TDateTime kPushToTalkFrom = EncodeDate(2010, 1, 8);

bool IsAnyOf(std::string_view id, std::initializer_list<std::string_view> models) {
  for (const auto model : models)
    if (id == model) return true;
  return false;
}

}  // namespace

bool ModelSupports(std::string_view modelId, TDateTime firmwareDate, MonitorFeature feature) {
  const bool krf03or04 = IsAnyOf(modelId, {"KRFMON03", "KRFMON04"});
  const bool vpmon = modelId == "VPMon002";
  switch (feature) {
    case MonitorFeature::AlarmReset:
    case MonitorFeature::VSWRLevel:
    case MonitorFeature::CheckOnZeroPower:
    case MonitorFeature::DACGains:
      return true;
    case MonitorFeature::StatusWord:
      return krf03or04 || (vpmon && firmwareDate > kStatusWordAfter);
    case MonitorFeature::SecondRelay:
      return modelId == "KRFMON04";
    case MonitorFeature::LatchAlarm:
      return krf03or04 || (vpmon && firmwareDate >= kLatchFrom);
    case MonitorFeature::AlarmAtPowerUp:
      return (krf03or04 || vpmon) && firmwareDate >= kPowerUpAlarmFrom &&
             firmwareDate != kPowerUpAlarmBroken;
    case MonitorFeature::HighPowerAlarm:
      return krf03or04 || vpmon;
    case MonitorFeature::LowPowerAlarm:
      return krf03or04 || modelId == "KRFMON02" || (vpmon && firmwareDate >= kLowPowerFrom);
    case MonitorFeature::PushToTalk:
      return firmwareDate >= kPushToTalkFrom;
  }
  return false;
}

bool IsAcceptedIdentification(std::string_view identification) {
  const auto prefix = identification.substr(0, 5);
  return IsAnyOf(prefix, {"TQAMO", "KRFMO", "VPMon"});
}

size_t FindAcceptedIdentification(std::string_view text) {
  size_t first = std::string_view::npos;
  for (std::string_view prefix : {"TQAMO", "KRFMO", "VPMon"})
    first = std::min(first, text.find(prefix));
  return first;
}

bool IsDualRelayModel(std::string_view modelId) {
  return modelId == "KRFMON04";
}

int FullScaleReplyLength(std::string_view modelId) {
  return IsAnyOf(modelId, {"KRFMON01", "KRFMON02"}) ? 7 : 9;
}

}  // namespace vemo

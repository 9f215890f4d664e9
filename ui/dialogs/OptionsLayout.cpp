// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/OptionsLayout.h"

namespace vemo {
namespace {

// Firmware dates (day numbers) from which the later layouts apply.
constexpr TDateTime k2000_10_19 = 36818;
constexpr TDateTime k2002_05_14 = 37390;
constexpr TDateTime k2003_10_20 = 37914;
constexpr TDateTime k2003_11_20 = 37945;
constexpr TDateTime k2010_01_08 = 40186;

}  // namespace

OptionsLayout OptionsLayoutFor(std::string_view modelId, TDateTime firmwareDate) {
  if (modelId == "KRFMON01") return OptionsLayout::A;
  if (modelId == "KRFMON02") return OptionsLayout::B;
  if (modelId == "KRFMON03") {
    if (firmwareDate >= k2010_01_08) return OptionsLayout::H;
    if (firmwareDate >= k2003_11_20) return OptionsLayout::G;
    return OptionsLayout::F;
  }
  if (modelId == "VPMon002") {
    if (firmwareDate >= k2003_11_20) return OptionsLayout::G;
    if (firmwareDate >= k2003_10_20) return OptionsLayout::F;
    if (firmwareDate >= k2002_05_14) return OptionsLayout::E;
    if (firmwareDate >= k2000_10_19) return OptionsLayout::D;
    return OptionsLayout::C;
  }
  return OptionsLayout::None;
}

OptionsLayoutContent ContentOf(OptionsLayout layout) {
  using G = OptionsGroup;
  OptionsLayoutContent c;
  c.alarmSettings = layout != OptionsLayout::None;
  switch (layout) {
    case OptionsLayout::None:
      break;
    case OptionsLayout::A:
      c.groups = {G::VSWRAlarm};
      break;
    case OptionsLayout::B:
      c.groups = {G::VSWRAlarm, G::LowPowerAlarm};
      break;
    case OptionsLayout::C:
      c.groups = {G::VSWRAlarm, G::HighPowerAlarm};
      break;
    case OptionsLayout::D:
      c.masterAlarmEnable = c.relaySense = true;
      c.groups = {G::VSWRAlarm, G::HighPowerAlarm};
      break;
    case OptionsLayout::E:
      c.masterAlarmEnable = c.relaySense = true;
      c.groups = {G::VSWRAlarm, G::HighPowerAlarm, G::LowPowerAlarm};
      break;
    case OptionsLayout::F:
      c.masterAlarmEnable = c.relaySense = c.latchAlarms = true;
      c.groups = {G::VSWRAlarm, G::HighPowerAlarm, G::LowPowerAlarm};
      break;
    case OptionsLayout::G:
      c.masterAlarmEnable = c.relaySense = c.latchAlarms = c.alarmAtPowerUp = true;
      c.groups = {G::VSWRAlarm, G::HighPowerAlarm, G::LowPowerAlarm};
      c.vswrLevels = kMaxVSWRLevels;
      break;
    case OptionsLayout::H:
      c.masterAlarmEnable = c.relaySense = c.latchAlarms = c.alarmAtPowerUp = true;
      c.groups = {G::VSWRAlarm, G::HighPowerAlarm, G::LowPowerAlarm, G::PushToTalk};
      c.vswrLevels = kMaxVSWRLevels;
      break;
  }
  return c;
}

std::vector<std::string> VSWRLevelItems(int count) {
  std::vector<std::string> items;
  for (int code = 0; code < count && code < kMaxVSWRLevels; ++code) {
    const int tenths = 13 + code;
    items.push_back("VSWR = " + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10));
  }
  return items;
}

}  // namespace vemo

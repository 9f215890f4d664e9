// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/Plausibility.h"

namespace vemo {

Implausibility JudgePowers(double forward, double reflected, double fullScale) {
  if (!(forward >= 0) || !(reflected >= 0)) return Implausibility::NegativePower;
  if (reflected > forward) return Implausibility::ReflectedAboveForward;
  if (fullScale > 0 && forward > fullScale * (1 + kFullScaleMargin))
    return Implausibility::AboveFullScale;
  return Implausibility::None;
}

Implausibility JudgeReading(const TMonitorReading& reading) {
  if (reading.FieldForm) return Implausibility::FieldForm;
  if (reading.RawMode) return Implausibility::None;
  return JudgePowers(reading.Forward, reading.Reflected, reading.FullScale);
}

const char* ImplausibilityText(Implausibility why) {
  switch (why) {
    case Implausibility::None:
      break;
    case Implausibility::NegativePower:
      return "a negative power";
    case Implausibility::ReflectedAboveForward:
      return "more reflected than forward power";
    case Implausibility::AboveFullScale:
      return "a power more than 10 % above the monitor's full scale";
    case Implausibility::FieldForm:
      return "a number not written the way the monitor writes it";
  }
  return "";
}

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/CalFit.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "platform/Exception.h"

namespace vemo {

namespace {

// What a 16-bit EEPROM word holds faithfully: factors are unsigned; an offset may be
// negative (its two's complement goes into the word) or a word read back as unsigned.
constexpr long double kMinFactor = 1;
constexpr long double kMaxFactor = 65535;
constexpr long double kMinOffset = -32768;
constexpr long double kMaxOffset = 65535;

const char* ChannelName(TCalChannel channel) {
  return channel == TCalChannel::Forward ? "forward" : "reflected";
}

template <typename... Args>
std::string Format(const char* pattern, Args... args) {
  char text[400];
  std::snprintf(text, sizeof text, pattern, args...);
  return text;
}

}  // namespace

TCalibration ResetCalibration() {
  return TCalibration{0, kDefaultCalFactor, 0, kDefaultCalFactor};
}

TCalibration CalibrationFromWords(const std::array<uint16_t, 4>& wordsByAddress) {
  TCalibration cal;
  cal.ReflOffset = wordsByAddress[kEepromReflOffset];
  cal.FwdOffset = wordsByAddress[kEepromFwdOffset];
  cal.ReflCalFactor = wordsByAddress[kEepromReflCalFactor];
  cal.FwdCalFactor = wordsByAddress[kEepromFwdCalFactor];
  return cal;
}

std::array<TEepromWrite, 4> CalibrationWrites(const TCalibration& cal) {
  const auto low16 = [](int32_t v) { return static_cast<uint16_t>(static_cast<uint32_t>(v)); };
  return {{{kEepromReflOffset, low16(cal.ReflOffset)},
           {kEepromFwdOffset, low16(cal.FwdOffset)},
           {kEepromReflCalFactor, low16(cal.ReflCalFactor)},
           {kEepromFwdCalFactor, low16(cal.FwdCalFactor)}}};
}

void CopyChannel(TCalibration& to, const TCalibration& from, TCalChannel channel) {
  if (channel == TCalChannel::Forward) {
    to.FwdOffset = from.FwdOffset;
    to.FwdCalFactor = from.FwdCalFactor;
  } else {
    to.ReflOffset = from.ReflOffset;
    to.ReflCalFactor = from.ReflCalFactor;
  }
}

void StoreFit(TCalibration& cal, TCalChannel channel, const TChannelFit& fit) {
  if (channel == TCalChannel::Forward) {
    cal.FwdOffset = fit.Offset;
    cal.FwdCalFactor = fit.CalFactor;
  } else {
    cal.ReflOffset = fit.Offset;
    cal.ReflCalFactor = fit.CalFactor;
  }
}

long double CorrectedPower(long double enteredWatts, long double freqFactorPercent) {
  return enteredWatts * (100 - freqFactorPercent) * 0.01L;
}

long double RoundHalfEven(long double x) {
  const long double below = std::floor(x);
  const long double fraction = x - below;
  if (fraction < 0.5L) return below;
  if (fraction > 0.5L) return below + 1;
  return std::fmod(below, 2.0L) == 0 ? below : below + 1;
}

TChannelFit FitChannel(TCalChannel channel, const TCalPoint& first, const TCalPoint& second,
                       long double fullScale) {
  const char* name = ChannelName(channel);
  // Floating point does not trap: equal powers would give an infinite or undefined slope,
  // and converting that to an integer is undefined, so refuse before dividing.
  if (second.Power == first.Power) {
    throw Exception(
        Format("The two %s power levels are equal after frequency compensation (%.3Lf W), so no "
               "calibration line can be fitted. Enter two different power levels.",
               name, first.Power));
  }
  TChannelFit fit;
  fit.Slope = (second.Reading - first.Reading) / (second.Power - first.Power);
  if (!std::isfinite(fit.Slope) || !(fit.Slope > 0)) {
    throw Exception(Format(
        "The %s readings do not rise with the power (%Lg at %.3Lf W, %Lg at %.3Lf W), so no "
        "calibration line can be fitted. Check that the power is applied in the %s direction.",
        name, first.Reading, first.Power, second.Reading, second.Power, name));
  }
  const long double k = channel == TCalChannel::Forward ? kForwardFitK : kReflectedFitK;
  const long double offset = RoundHalfEven(second.Reading - fit.Slope * second.Power);
  const long double factor = RoundHalfEven(fit.Slope * 4 * fullScale * k);
  if (!std::isfinite(factor) || factor < kMinFactor || factor > kMaxFactor) {
    throw Exception(Format(
        "The new %s calibration factor (%.0Lf) is outside 1 to 65535 and cannot be stored in "
        "the monitor. Check the power levels, the full scale power and the readings.",
        name, factor));
  }
  if (!std::isfinite(offset) || offset < kMinOffset || offset > kMaxOffset) {
    throw Exception(
        Format("The new %s offset (%.0Lf) is outside -32768 to 65535 and cannot be stored in the "
               "monitor. Check the power levels and the readings.",
               name, offset));
  }
  fit.Offset = static_cast<int32_t>(offset);
  fit.CalFactor = static_cast<int32_t>(factor);
  return fit;
}

int NextPage(int page, bool fwdChecked, bool reflChecked) {
  switch (page) {
    case kPageCurrentValues:
      if (fwdChecked) return kPageFwdPower1;
      return reflChecked ? kPageReflPower1 : kPageFinish;
    case kPageFwdPower2:
      return reflChecked ? kPageReflPower1 : kPageFinish;
    default:
      return page + 1;
  }
}

int BackPage(int page, bool fwdChecked, bool reflChecked) {
  switch (page) {
    case kPageReflPower1:
      return fwdChecked ? kPageFwdPower2 : kPageCurrentValues;
    case kPageFinish:
      if (reflChecked) return kPageReflPower2;
      return fwdChecked ? kPageFwdPower2 : kPageCurrentValues;
    default:
      return page - 1;
  }
}

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the calibration wizard computes, free of widgets: the calibration record and its
// EEPROM words, the corrected powers, the two-point line fit of one channel, and the order
// in which the wizard's pages follow each other.

#include <array>
#include <cstdint>

namespace vemo {

// The monitor's calibration: offset and factor of each channel, as 32-bit values.
struct TCalibration {
  int32_t FwdOffset = 0;
  int32_t FwdCalFactor = 0;
  int32_t ReflOffset = 0;
  int32_t ReflCalFactor = 0;

  bool operator==(const TCalibration&) const = default;
};

enum class TCalChannel { Forward, Reflected };

// EEPROM addresses of the calibration words.
inline constexpr uint8_t kEepromReflOffset = 0;
inline constexpr uint8_t kEepromFwdOffset = 1;
inline constexpr uint8_t kEepromReflCalFactor = 2;
inline constexpr uint8_t kEepromFwdCalFactor = 3;

// The factor a monitor leaves the factory with; "Reset Cal Factors" restores it.
inline constexpr int32_t kDefaultCalFactor = 5243;

// Share of the full scale at which each channel's factor is defined (times 4 for the stored
// full scale's 1.25 and the 0.8 the operator sees).
inline constexpr long double kForwardFitK = 0.04L;
inline constexpr long double kReflectedFitK = 0.004L;

// The full scale as the operator sees it: 0.8 of what the monitor stores.
inline long double ShownFullScale(long double storedFullScale) {
  return storedFullScale * 4 * 0.2L;
}

// One measured point: the monitor's raw reading at a corrected power in watts.
struct TCalPoint {
  long double Reading = 0;
  long double Power = 0;
};

struct TChannelFit {
  long double Slope = 0;  // reading units per watt
  int32_t Offset = 0;
  int32_t CalFactor = 0;
};

// One EEPROM word to write: the value's low 16 bits at an address.
struct TEepromWrite {
  uint8_t Address = 0;
  uint16_t Value = 0;

  bool operator==(const TEepromWrite&) const = default;
};

// Record with the offsets 0 and both factors at their factory value.
TCalibration ResetCalibration();

// Record from the four words as read, indexed by EEPROM address 0..3.
TCalibration CalibrationFromWords(const std::array<uint16_t, 4>& wordsByAddress);

// The four writes of a record, in the order the monitor receives them (addresses 0, 1, 2, 3).
std::array<TEepromWrite, 4> CalibrationWrites(const TCalibration& cal);

// Copies one channel's offset and factor from `from` into `to`.
void CopyChannel(TCalibration& to, const TCalibration& from, TCalChannel channel);

// Stores a fit's offset and factor as the channel's values.
void StoreFit(TCalibration& cal, TCalChannel channel, const TChannelFit& fit);

// The entered power reduced by the frequency compensation factor (in percent).
long double CorrectedPower(long double enteredWatts, long double freqFactorPercent);

// Nearest integer, halves to the even neighbour, whatever the floating-point rounding mode.
long double RoundHalfEven(long double x);

// Fits the channel's line through two points: slope, offset = X2 - slope * Y2, and
// factor = slope * 4 * fullScale * K (K by channel), both rounded halves to even.
// Throws vemo::Exception, with a message for the operator, when the two powers are equal,
// the readings do not rise with the power, or a result does not fit the monitor's word.
TChannelFit FitChannel(TCalChannel channel, const TCalPoint& first, const TCalPoint& second,
                       long double fullScale);

// Page order. 0 current values, 1..2 forward powers, 3..4 reflected powers, 5 finish.
inline constexpr int kPageCurrentValues = 0;
inline constexpr int kPageFwdPower1 = 1;
inline constexpr int kPageFwdPower2 = 2;
inline constexpr int kPageReflPower1 = 3;
inline constexpr int kPageReflPower2 = 4;
inline constexpr int kPageFinish = 5;

// The page that Next leads to from `page` (0..4).
int NextPage(int page, bool fwdChecked, bool reflChecked);

// The page that Back leads to from `page` (1..5): the previous page of a checked
// calibration, page 0 when there is none. Pages of an unchecked channel are skipped.
int BackPage(int page, bool fwdChecked, bool reflChecked);

}  // namespace vemo

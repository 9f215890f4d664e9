// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The monitor's arithmetic: full-scale words, the unit and text of a reading, raw
// converter counts and the alarm conditions.

#include <cstdint>
#include <string>

namespace vemo::sim {

// The full scale is kept as a mantissa and a decimal exponent:
// watts = mantissa * 10^exponent * 0.001.
struct FullScaleWords {
  uint16_t mantissa = 0;
  int8_t exponent = 0;
};
FullScaleWords EncodeFullScale(double watts);
double DecodeFullScale(FullScaleWords words);

// Readings are sent in milliwatts below 1 W full scale (-3), in watts below 1000 W (0),
// in kilowatts from there on (3).
int UnitExponent(double fullScale);

// A power in the reading's unit as five characters, with as many decimals as fit and
// always a decimal point ("0.125", "50.00", "100.0", "1234."). Negative values read 0;
// values from 10,000 on, far beyond any full scale, read 99999.
std::string FormatReadingField(double value);

// Raw converter counts for a power: the calibration factor is the count at the channel's
// calibration power (16 % of full scale forward, 1.6 % reflected), on top of the offset.
// Clamped to the converter's 0..65535.
int RawCounts(double watts, double calibrationPower, uint16_t factorWord, uint16_t offsetWord);

// One channel's converter: what it counts for a power, before any calibration.
struct Converter {
  uint16_t countsAtCalibration;  // above zero, at calibrationPower
  int16_t zero;                  // counts at no power
  double calibrationPower;       // watts
};

// The power a monitor shows for what its converter counts, scaled back with the
// calibration words it loaded and the calibration power of its own full scale. Without the
// converter's rounding and limits, so that words matching the converter show exactly the
// power applied.
double ShownPower(double watts, const Converter& converter, double calibrationPower,
                  uint16_t factorWord, uint16_t offsetWord);
inline double ForwardCalibrationPower(double fullScale) {
  return fullScale * 0.16;
}
inline double ReflectedCalibrationPower(double fullScale) {
  return fullScale * 0.016;
}

// VSWR from forward and reflected power; infinite when all power comes back.
double Vswr(double forward, double reflected);
// Alarm threshold of VSWR level code 0..12: 1.3 .. 2.5.
inline double VswrThreshold(int levelCode) {
  return 1.3 + 0.1 * levelCode;
}

// A high/low power alarm word's level in watts: bits 0-14 are the level, 26214.4 being
// 100 % of the operator's full scale, which is the reported full scale / 1.25.
double PowerAlarmThreshold(uint16_t word, double fullScale);

}  // namespace vemo::sim

// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/Measurement.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vemo::sim {

FullScaleWords EncodeFullScale(double watts) {
  double a = watts * 1000.0;
  int n = 0;
  while (a > 65535.0) {
    a *= 0.1;
    ++n;
  }
  // Small full scales keep their precision with a negative exponent.
  while (a < 6553.5 && a != std::nearbyint(a) && n > -9) {
    a *= 10.0;
    --n;
  }
  return {static_cast<uint16_t>(std::clamp(std::nearbyint(a), 0.0, 65535.0)),
          static_cast<int8_t>(n)};
}

double DecodeFullScale(FullScaleWords words) {
  return std::pow(10.0, words.exponent) * words.mantissa * 0.001;
}

int UnitExponent(double fullScale) {
  if (fullScale < 1.0) return -3;
  if (fullScale < 1000.0) return 0;
  return 3;
}

std::string FormatReadingField(double value) {
  char text[16];
  if (!(value > 0.0)) value = 0.0;
  if (value < 9.9995)
    std::snprintf(text, sizeof text, "%5.3f", value);
  else if (value < 99.995)
    std::snprintf(text, sizeof text, "%5.2f", value);
  else if (value < 999.95)
    std::snprintf(text, sizeof text, "%5.1f", value);
  else if (value < 9999.5)
    std::snprintf(text, sizeof text, "%#5.0f", value);  // "1000.": the point always shows
  else
    return "99999";
  return text;
}

int RawCounts(double watts, double calibrationPower, uint16_t factorWord, uint16_t offsetWord) {
  const double offset = static_cast<int16_t>(offsetWord);
  double counts = offset;
  if (calibrationPower > 0.0) counts += watts * factorWord / calibrationPower;
  return static_cast<int>(std::clamp(std::nearbyint(counts), 0.0, 65535.0));
}

double ShownPower(double watts, const Converter& converter, double calibrationPower,
                  uint16_t factorWord, uint16_t offsetWord) {
  if (converter.calibrationPower <= 0.0) return 0.0;
  const double offset = static_cast<int16_t>(offsetWord);
  if (factorWord == 0) {
    // Every count above the offset is infinitely many watts.
    const double counts =
        converter.zero + watts * converter.countsAtCalibration / converter.calibrationPower;
    return counts > offset ? HUGE_VAL : 0.0;
  }
  // Ratios first: words and full scale that match the converter give back the applied
  // power exactly.
  return watts * (static_cast<double>(converter.countsAtCalibration) / factorWord) *
             (calibrationPower / converter.calibrationPower) +
         (converter.zero - offset) * calibrationPower / factorWord;
}

double Vswr(double forward, double reflected) {
  if (forward <= 0.0) return INFINITY;
  const double rho = std::sqrt(std::max(reflected, 0.0) / forward);
  return rho >= 1.0 ? INFINITY : (1.0 + rho) / (1.0 - rho);
}

double PowerAlarmThreshold(uint16_t word, double fullScale) {
  return (word & 0x7FFF) / 26214.4 * (fullScale / 1.25);
}

}  // namespace vemo::sim

// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/TuningPitch.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vemo {

double TuningPitchHz(double vswr) {
  if (!std::isfinite(vswr)) return kTuneWorstHz;
  const double x = std::clamp(std::log(std::max(vswr, 1.0)) / std::log(kTuneWorstVSWR), 0.0, 1.0);
  // Geometric between the two ends: equal ratios of VSWR give equal musical intervals.
  return kTunePerfectHz * std::pow(kTuneWorstHz / kTunePerfectHz, x);
}

TuningTracker::Tone TuningTracker::Reading(double forwardWatts, double vswr) {
  if (!(forwardWatts >= kTuneKeyedWatts)) {
    // Unkeyed: the next key-up starts a new search for the minimum.
    best_.reset();
    return {};
  }
  Tone tone{TuningPitchHz(vswr), false};
  if (std::isfinite(vswr) && (!best_ || vswr <= *best_ - kMinimumStep)) {
    tone.Beep = best_.has_value();  // the first reading after key-up is no improvement
    best_ = vswr;
  }
  return tone;
}

QString VSWRInMorse(double vswr) {
  static constexpr std::array<const char*, 10> kDigits = {
      "-----", ".----", "..---", "...--", "....-", ".....", "-....", "--...", "---..", "----."};
  if (!std::isfinite(vswr)) return {};
  const long tenths = std::clamp(std::lround(vswr * 10), 0L, 99L);
  QString text;
  for (const QChar digit : QString::number(tenths)) {
    if (!text.isEmpty()) text += u' ';
    text += QString::fromLatin1(kDigits[static_cast<size_t>(digit.digitValue())]);
  }
  return text;
}

std::vector<int> MorseTiming(const QString& morse) {
  std::vector<int> timing;
  for (const QChar c : morse) {
    if (c == u' ') {
      if (!timing.empty()) timing.back() = -3;
      continue;
    }
    timing.push_back(c == u'-' ? 3 : 1);
    timing.push_back(-1);
  }
  if (!timing.empty()) timing.pop_back();
  return timing;
}

}  // namespace vemo

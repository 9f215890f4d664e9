// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alarms/AlarmTone.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vemo {

namespace {
// Loud enough to be heard across a shack, short of clipping on any mixer.
constexpr double kAmplitude = 0.6 * 32767;
// Each beep rises and falls over this long: a hard edge clicks.
constexpr int kRampMs = 5;
}  // namespace

std::vector<int16_t> AlarmTonePcm(int sampleRate) {
  const auto samples = [sampleRate](int ms) {
    return static_cast<size_t>(static_cast<long long>(sampleRate) * ms / 1000);
  };
  std::vector<int16_t> pcm(samples(kAlarmPatternMs), 0);
  const size_t beep = samples(kAlarmBeepMs);
  const size_t ramp = std::max<size_t>(1, samples(kRampMs));
  for (int b = 0; b < kAlarmBeeps; ++b) {
    const size_t start = samples(b * (kAlarmBeepMs + kAlarmGapMs));
    for (size_t i = 0; i < beep && start + i < pcm.size(); ++i) {
      const double envelope =
          std::min({1.0, static_cast<double>(i) / ramp, static_cast<double>(beep - 1 - i) / ramp});
      const double phase =
          2 * std::numbers::pi * kAlarmToneHz * static_cast<double>(i) / sampleRate;
      pcm[start + i] = static_cast<int16_t>(std::lround(kAmplitude * envelope * std::sin(phase)));
    }
  }
  return pcm;
}

}  // namespace vemo

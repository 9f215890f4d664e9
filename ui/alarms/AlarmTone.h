// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The alarm's sound, made here rather than shipped as a file: three short beeps and a
// pause, as signed 16-bit samples, that repeat without a click when played in a loop.

#include <cstdint>
#include <vector>

namespace vemo {

constexpr int kAlarmToneHz = 1000;
constexpr int kAlarmBeepMs = 150;
constexpr int kAlarmGapMs = 100;
constexpr int kAlarmBeeps = 3;
constexpr int kAlarmPatternMs = 1500;  // one whole pattern, the pause included

// One pattern at sampleRate, one channel: kAlarmPatternMs of samples.
std::vector<int16_t> AlarmTonePcm(int sampleRate);

}  // namespace vemo

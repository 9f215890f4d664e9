// SPDX-License-Identifier: GPL-3.0-or-later
// The generated tone pattern: the right length, beeps where they belong, and silent at both
// ends so that playing it in a loop does not click.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "ui/alarms/AlarmTone.h"

namespace vemo {
namespace {

TEST(AlarmTone, BeepsThenPausesAndLoopsWithoutAJump) {
  for (const int rate : {8000, 44100, 48000}) {
    const std::vector<int16_t> pcm = AlarmTonePcm(rate);
    ASSERT_EQ(pcm.size(), static_cast<size_t>(rate) * kAlarmPatternMs / 1000) << rate;
    const auto loudest = [&](int fromMs, int toMs) {
      int peak = 0;
      for (size_t i = size_t(rate) * fromMs / 1000; i < size_t(rate) * toMs / 1000; ++i)
        peak = std::max(peak, std::abs(int(pcm[i])));
      return peak;
    };
    for (int b = 0; b < kAlarmBeeps; ++b) {
      const int start = b * (kAlarmBeepMs + kAlarmGapMs);
      EXPECT_GT(loudest(start + 20, start + kAlarmBeepMs - 20), 16000) << rate << " beep " << b;
      EXPECT_LT(loudest(start + kAlarmBeepMs + 1, start + kAlarmBeepMs + kAlarmGapMs), 1)
          << rate << " gap " << b;
    }
    EXPECT_LT(loudest(kAlarmPatternMs - 200, kAlarmPatternMs), 1) << rate;
    EXPECT_LT(std::abs(int(pcm.front())), 200) << rate;
    EXPECT_LT(std::abs(int(pcm[size_t(rate) * kAlarmBeepMs / 1000 - 1])), 200)
        << rate << ": the beep fades out";
  }
}

}  // namespace
}  // namespace vemo

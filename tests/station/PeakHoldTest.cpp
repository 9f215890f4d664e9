// SPDX-License-Identifier: GPL-3.0-or-later
// Peak hold and its linear fall, on an injected clock.
#include "station/PeakHold.h"

#include <gtest/gtest.h>

namespace vemo {
namespace {

TEST(PeakHold, HoldsThePeakThenFallsLinearlyToThePresentPower) {
  // A 100 W peak at t = 0, then 20 W from t = 500 ms on.
  struct Row {
    qint64 holdMs;
    qint64 atMs;
    double shown;
  };
  const Row rows[] = {
      {3000, 0, 100},
      {3000, 2999, 100},
      {3000, 3000, 100},
      {3000, 3250, 75},
      {3000, 3500, 50},
      {3000, 3800, 20},
      {3000, 9000, 20},
      {1000, 999, 100},
      {1000, 1100, 90},
      {1000, 1700, 30},
      {10000, 9999, 100},
      {10000, 10400, 60},
      {PeakHold::kInfinite, 3'600'000, 100},
  };
  for (const Row& row : rows) {
    PeakHold peak(row.holdMs);
    peak.Add(0, 100);
    for (qint64 t = 500; t <= row.atMs; t += 500) peak.Add(t, 20);
    EXPECT_DOUBLE_EQ(peak.Value(row.atMs), row.shown)
        << "hold " << row.holdMs << " ms, at " << row.atMs << " ms";
  }
}

TEST(PeakHold, AHigherReadingRestartsTheHoldAndResetForgets) {
  PeakHold peak;
  EXPECT_EQ(PeakHold::kDefaultHoldMs, 3000);
  EXPECT_EQ(peak.Value(0), 0);
  peak.Add(0, 100);
  peak.Add(3500, 20);  // falling: 50 W shown
  EXPECT_EQ(peak.Value(3500), 50);
  peak.Add(3600, 60);  // above the falling value: a new peak
  peak.Add(3700, 10);
  EXPECT_EQ(peak.Value(6599), 60);
  EXPECT_EQ(peak.Value(7100), 30);
  peak.SetHoldMs(PeakHold::kInfinite);
  EXPECT_EQ(peak.Value(99'000), 60);
  peak.Reset();
  peak.Add(7200, 5);
  EXPECT_EQ(peak.Value(7200), 5);
}

}  // namespace
}  // namespace vemo

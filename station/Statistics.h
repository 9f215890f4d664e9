// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Statistics of readings: over a span of the history, and running since the last reset.

#include "station/Summary.h"

#include <QtGlobal>

namespace vemo {

// How long a reading counts in the time spent above a threshold: until the next reading
// or gap, but no longer than gapAfterMs (a longer silence is a gap itself).
inline qint64 ReadingHeldUntil(qint64 timeMs, qint64 nextMs, qint64 gapAfterMs) {
  return std::min(nextMs, timeMs + gapAfterMs);
}

struct TSpanStatistics {
  TSummary Summary;  // minimum, maximum, mean of forward, reflected and VSWR
  // Time during which the VSWR was above the threshold. Only raw readings carry it: when
  // the span reaches into the per-minute archive, it covers the span from TimeAboveFromMs.
  qint64 TimeAboveMs = 0;
  qint64 TimeAboveFromMs = 0;
};

// Minimum, maximum and mean since the last reset, and the time above a VSWR threshold;
// the trend window's statistics with their Reset button.
class RunningStatistics {
 public:
  explicit RunningStatistics(float vswrThreshold = 2, qint64 gapAfterMs = 30'000)
      : threshold_(vswrThreshold), gapAfterMs_(gapAfterMs) {}

  void Add(qint64 timeMs, const THistoryReading& reading);
  void AddGap(qint64 timeMs);
  void Reset();
  // Time already counted stays; the latest reading is judged by the new threshold.
  void SetThreshold(float vswrThreshold) { threshold_ = vswrThreshold; }
  float Threshold() const { return threshold_; }

  const TSummary& Summary() const { return summary_; }
  // Time above the threshold up to nowMs, the latest reading included.
  qint64 TimeAboveMs(qint64 nowMs) const;

 private:
  // How long the latest reading has been above the threshold by timeMs.
  qint64 LatestAboveUntil(qint64 timeMs) const;

  float threshold_;
  qint64 gapAfterMs_;
  TSummary summary_;
  qint64 aboveMs_ = 0;
  bool latestIsReading_ = false;  // false after a gap or a reset
  float latestVSWR_ = 0;
  qint64 latestMs_ = 0;
};

}  // namespace vemo

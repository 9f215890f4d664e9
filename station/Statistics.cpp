// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/Statistics.h"

namespace vemo {

qint64 RunningStatistics::LatestAboveUntil(qint64 timeMs) const {
  if (!latestIsReading_ || !(latestVSWR_ > threshold_)) return 0;
  return std::max<qint64>(0, ReadingHeldUntil(latestMs_, timeMs, gapAfterMs_) - latestMs_);
}

void RunningStatistics::Add(qint64 timeMs, const THistoryReading& reading) {
  aboveMs_ += LatestAboveUntil(timeMs);
  // A silence counts as a gap, as the history records it.
  if (latestIsReading_ && timeMs - latestMs_ > gapAfterMs_) summary_.AddGap();
  summary_.Add(reading);
  latestIsReading_ = true;
  latestVSWR_ = reading.Keyed ? reading.VSWR : 0;  // unkeyed is never above
  latestMs_ = timeMs;
}

void RunningStatistics::AddGap(qint64 timeMs) {
  aboveMs_ += LatestAboveUntil(timeMs);
  summary_.AddGap();
  latestIsReading_ = false;
}

void RunningStatistics::Reset() {
  summary_ = {};
  aboveMs_ = 0;
  latestIsReading_ = false;
}

qint64 RunningStatistics::TimeAboveMs(qint64 nowMs) const {
  return aboveMs_ + LatestAboveUntil(nowMs);
}

}  // namespace vemo

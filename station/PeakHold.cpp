// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/PeakHold.h"

#include <algorithm>

namespace vemo {

void PeakHold::Add(qint64 timeMs, double forward) {
  if (!any_ || forward >= Value(timeMs)) {
    peak_ = forward;
    peakMs_ = timeMs;
    any_ = true;
  }
  present_ = forward;
}

double PeakHold::Value(qint64 nowMs) const {
  if (!any_) return 0;
  const qint64 falling = nowMs - peakMs_ - holdMs_;
  if (holdMs_ == kInfinite || falling <= 0) return std::max(peak_, present_);
  const double fallen = peak_ * (1 - static_cast<double>(falling) / kDecayMs);
  return std::max(fallen, present_);
}

void PeakHold::Reset() {
  any_ = false;
  peak_ = present_ = 0;
}

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Peak forward power as a PEP meter shows it: the highest reading is held for the hold
// time, then falls linearly at a rate that would take it to zero in kDecayMs, but never
// below the present forward power. A reading at or above the shown value becomes the new
// peak and starts the hold again. Times are milliseconds from the caller.

#include <QtGlobal>

namespace vemo {

class PeakHold {
 public:
  static constexpr qint64 kInfinite = -1;  // hold until Reset
  static constexpr qint64 kDecayMs = 1000;
  // The hold times offered to the user; the default is 3 s.
  static constexpr qint64 kHoldTimesMs[] = {1000, 3000, 10000, kInfinite};
  static constexpr qint64 kDefaultHoldMs = 3000;

  explicit PeakHold(qint64 holdMs = kDefaultHoldMs) : holdMs_(holdMs) {}

  void Add(qint64 timeMs, double forward);
  // The peak to show at nowMs; 0 before the first reading.
  double Value(qint64 nowMs) const;
  // Forgets the peak; the next reading starts afresh.
  void Reset();
  // A new hold time applies to the peak being held.
  void SetHoldMs(qint64 holdMs) { holdMs_ = holdMs; }
  qint64 HoldMs() const { return holdMs_; }

 private:
  qint64 holdMs_;
  bool any_ = false;
  double peak_ = 0;
  qint64 peakMs_ = 0;
  double present_ = 0;
};

}  // namespace vemo

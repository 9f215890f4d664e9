// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the trend window computes without a screen: the visible span with its scrolling,
// zoom and following, the ticks of the time axis, the ranges of the power and VSWR axes,
// which reading a pixel column shows, and the cursor's text.

#include "station/Readout.h"
#include "station/Summary.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <utility>
#include <vector>

namespace vemo {

// The spans the window offers, in its order; 0 stands for "All" (oldest reading to now).
inline constexpr std::array<qint64, 5> kTrendSpansMs{60'000, 600'000, 3'600'000, 86'400'000, 0};
inline constexpr qint64 kMinTrendSpanMs = 10'000;
inline constexpr qint64 kMaxTrendSpanMs = 31LL * 86'400'000;

// The visible span of time. Following, its right edge is now; paused, it stays where it
// was scrolled to. Times are wall-clock milliseconds.
class TrendViewport {
 public:
  // spanMs 0 shows everything kept; other values are clamped to the zoom limits.
  void SetSpan(qint64 spanMs);
  qint64 Span() const { return spanMs_; }
  bool Follow() const { return follow_; }
  // Following again jumps to now; pausing holds the span shown at nowMs.
  void SetFollow(bool on, qint64 nowMs);

  // [from, to) for data kept from oldestMs up to nowMs.
  std::pair<qint64, qint64> Range(qint64 oldestMs, qint64 nowMs) const;
  // Moves the right edge to endMs (never past now); any move back pauses following.
  void ScrollTo(qint64 endMs, qint64 oldestMs, qint64 nowMs);
  // Multiplies the span by factor, keeping the time at anchorMs where it is on screen;
  // while following, the right edge stays at now.
  void Zoom(double factor, qint64 anchorMs, qint64 oldestMs, qint64 nowMs);

 private:
  qint64 spanMs_ = 600'000;
  qint64 endMs_ = 0;
  bool follow_ = true;
};

struct TTimeTick {
  qint64 TimeMs;
  QString Label;
};

// Ticks of the time axis over [fromMs, toMs) on widthPx pixels, at least minSpacingPx
// apart, on round local times; labels show the time of day (with seconds below a minute's
// step) and the date at midnight or for steps of days.
std::vector<TTimeTick> TimeTicks(qint64 fromMs, qint64 toMs, int widthPx, int minSpacingPx);

// The smallest of 1, 2, 2.5, 5 x 10^n not below v (v > 0; 1 otherwise).
double NiceCeiling(double v);
// The top of the power axis (in the display unit) for a largest power maxInUnit.
double PowerAxisTop(double maxInUnit);
// The top of the VSWR axis (its bottom is 1) for a largest VSWR: at least 2, at most 11;
// larger values are drawn at the top edge.
double VSWRAxisTop(double maxVSWR);

// The column whose reading a pixel column shows, or -1 where there is none. A reading holds
// across empty columns until the next reading, but never across a gap, nor past the newest
// reading; a column that holds a gap as well as readings stands alone.
int HeldColumn(const std::vector<TSummary>& columns, int column);

// The cursor's read-out for a column of readings starting at timeMs: local time, then the
// mean forward and reflected power in the display unit and VSWR, each with its range when
// the column holds more than one value.
QString CursorText(qint64 timeMs, const TSummary& column, const TDisplayUnit& unit);

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QDateTime>

#include "ui/trend/TrendView.h"

namespace vemo {
namespace {

constexpr qint64 kMin = 60'000;

TEST(TrendViewport, FollowsScrollsAndZoomsAboutTheAnchor) {
  const qint64 oldest = 0, now = 600 * kMin;
  TrendViewport v;
  v.SetSpan(10 * kMin);
  EXPECT_EQ(v.Range(oldest, now), std::make_pair(now - 10 * kMin, now));

  // Scrolling back pauses; the range then stays put while time goes on.
  v.ScrollTo(now - 60 * kMin, oldest, now);
  EXPECT_FALSE(v.Follow());
  EXPECT_EQ(v.Range(oldest, now + kMin), std::make_pair(now - 70 * kMin, now - 60 * kMin));
  // Never past now, nor before the oldest data.
  v.ScrollTo(now + 5 * kMin, oldest, now);
  EXPECT_EQ(v.Range(oldest, now).second, now);
  v.ScrollTo(-100 * kMin, oldest, now);
  EXPECT_EQ(v.Range(oldest, now), std::make_pair(oldest, oldest + 10 * kMin));

  // Zooming in about a time a quarter into the span keeps it a quarter in.
  v.ScrollTo(now - 100 * kMin, oldest, now);
  const qint64 anchor = now - 110 * kMin + 150'000;
  v.Zoom(0.5, anchor, oldest, now);
  const auto [from, to] = v.Range(oldest, now);
  EXPECT_EQ(to - from, 5 * kMin);
  EXPECT_EQ(anchor - from, (to - from) / 4);

  // Following again returns to now; zooming then keeps the right edge at now.
  v.SetFollow(true, now);
  v.Zoom(4, now - kMin, oldest, now);
  EXPECT_EQ(v.Range(oldest, now), std::make_pair(now - 20 * kMin, now));
  v.Zoom(1e-6, now, oldest, now);
  EXPECT_EQ(v.Span(), kMinTrendSpanMs);

  // Pausing holds the span shown at that moment.
  v.SetFollow(false, now);
  EXPECT_EQ(v.Range(oldest, now + 30 * kMin).second, now);

  // "All" runs from the oldest data to now.
  v.SetFollow(true, now);
  v.SetSpan(0);
  EXPECT_EQ(v.Range(oldest + kMin, now), std::make_pair(oldest + kMin, now));
}

TEST(TrendHeldColumn, ReadingsHoldAcrossEmptyColumnsButNotAcrossGapsOrPastTheNewest) {
  // D a reading, G a gap, X both, . nothing; expected: the column shown, or -1.
  const struct {
    const char* columns;
    std::vector<int> held;
  } rows[] = {
      {"D..D", {0, 0, 0, 3}},    {"D.G.D", {0, -1, -1, -1, 4}}, {"DX.D", {0, 1, -1, 3}},
      {".D..", {-1, 1, -1, -1}}, {"D..G", {0, -1, -1, -1}},
  };
  for (const auto& row : rows) {
    std::vector<TSummary> columns;
    for (const char* c = row.columns; *c; ++c) {
      TSummary s;
      if (*c == 'D' || *c == 'X') s.Add({1, 0, 1, false});
      if (*c == 'G' || *c == 'X') s.AddGap();
      columns.push_back(s);
    }
    for (int i = 0; i < static_cast<int>(columns.size()); ++i)
      EXPECT_EQ(HeldColumn(columns, i), row.held[i]) << row.columns << " column " << i;
  }
}

TEST(TrendAxes, TicksLandOnRoundLocalTimesAndAxesOnRoundValues) {
  const qint64 from = QDateTime(QDate(2026, 3, 1), QTime(23, 41, 7)).toMSecsSinceEpoch();
  const auto ticks = TimeTicks(from, from + 40 * kMin, 800, 90);
  ASSERT_FALSE(ticks.empty());
  // 40 minutes on 800 px, 90 px apart at least: every 5 minutes.
  EXPECT_EQ(ticks[0].Label, "23:45");
  EXPECT_EQ(ticks[1].TimeMs - ticks[0].TimeMs, 5 * kMin);
  EXPECT_EQ(ticks[3].Label, "2 Mar");  // midnight shows the date
  EXPECT_EQ(TimeTicks(from, from + 2 * kMin, 800, 90)[0].Label, "23:41:15");

  const struct {
    double max, power, vswr;
  } rows[] = {{0, 1, 2}, {0.7, 1, 2}, {130, 200, 11}, {2.1, 2.5, 3}, {1.3, 2, 2}};
  for (const auto& r : rows) {
    EXPECT_DOUBLE_EQ(PowerAxisTop(r.max), r.power) << r.max;
    EXPECT_DOUBLE_EQ(VSWRAxisTop(r.max), r.vswr) << r.max;
  }
}

}  // namespace
}  // namespace vemo

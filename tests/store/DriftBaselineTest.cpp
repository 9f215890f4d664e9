// SPDX-License-Identifier: GPL-3.0-or-later
// Drift alarms against a stored history: the reference the operator set, or the median of
// the same hour on the days before, judged by the alarm evaluator.
#include "store/DriftBaseline.h"

#include "monitor/VSWRMon.h"
#include "store/HistoryStore.h"
#include "store/Sqlite.h"
#include "tests/platform/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vemo {
namespace {

constexpr qint64 kNow = 1'700'010'000'000;
constexpr qint64 kHour = 3'600'000;

TMonitorReading Reading(double forward, double reflected) {
  return {.Forward = static_cast<float>(forward), .Reflected = static_cast<float>(reflected)};
}

TEST(DriftBaseline, TheMedianOfTheSameHourOnTheDaysBeforeServesUntilAReferenceIsSet) {
  test::TempDir dir;
  HistoryStore store(dir / "m.sqlite");
  const qint64 hour = kNow - kNow % kHour;
  for (int day = 1; day <= 7; ++day) {
    // 100 W (one day 400 W) in this hour of the day, 50 W in the hour after; unkeyed
    // minutes do not count.
    const qint64 start = hour - day * 24 * kHour;
    for (int s = 0; s < 600; s += 10)
      store.Add(start + s * 1000, Reading(day == 3 ? 400 : 100, 1), {0, true});
    for (int s = 0; s < 600; s += 10)
      store.Add(start + kHour + s * 1000, Reading(50, 1), {0, true});
    store.Add(start + 20 * 60'000, Reading(1, 0), {0, false});
  }
  store.Flush();
  TDriftBaseline b;
  ASSERT_TRUE(store.Read([&](SqliteDb& db) { b = DriftBaselineOf(db, kNow); }));
  EXPECT_DOUBLE_EQ(b.Forward, 100);
  EXPECT_DOUBLE_EQ(b.Reflected, 1);

  ASSERT_TRUE(store.Read([&](SqliteDb& db) {
    StoreReference(db, {80, 2, 1.4});
    b = DriftBaselineOf(db, kNow);
  }));
  EXPECT_EQ(b, (TDriftBaseline{80, 2, 1.4}));
}

TEST(DriftAlarm, ForwardPower15dBBelowTheReferenceTrips) {
  test::TempDir dir;
  HistoryStore store(dir / "m.sqlite");
  TDriftBaseline reference{100, 1, 1.22};
  ASSERT_TRUE(store.Read([&](SqliteDb& db) { StoreReference(db, reference); }));
  DriftBaselineCache cache;
  TAlarmLevels levels;
  levels.ForwardDropDb = 1;
  levels.ReflectedRiseFactor = 3;
  AlarmEvaluator alarms(levels);
  EXPECT_TRUE(alarms.SetBaseline(cache.At(store, kNow), kNow).empty());

  struct Row {
    double forward, reflected;
    AlarmSource source;
    AlarmState want;
  };
  const Row rows[] = {
      {100 * std::pow(10.0, -0.05), 1, AlarmSource::ForwardDrift, AlarmState::Normal},  // 0.5 dB
      {100 * std::pow(10.0, -0.15), 1, AlarmSource::ForwardDrift, AlarmState::Active},  // 1.5 dB
      {100, 2.9, AlarmSource::ReflectedDrift, AlarmState::Normal},
      {100, 3.5, AlarmSource::ReflectedDrift, AlarmState::Active},
  };
  qint64 t = kNow;
  for (const Row& row : rows) {
    alarms.Reading(t += 1000, Reading(row.forward, row.reflected));
    EXPECT_EQ(alarms.State(row.source), row.want) << row.forward << " W, " << row.reflected << " W";
  }
  // Without a baseline the drift sources are off and clear; unacknowledged, they stay
  // latched as any other alarm.
  ASSERT_TRUE(store.Read([&](SqliteDb& db) { StoreReference(db, {}); }));
  cache.Invalidate();
  alarms.SetBaseline(cache.At(store, t), t);
  EXPECT_EQ(alarms.State(AlarmSource::ForwardDrift), AlarmState::Latched);
}

}  // namespace
}  // namespace vemo

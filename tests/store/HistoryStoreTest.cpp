// SPDX-License-Identifier: GPL-3.0-or-later
// The stored history on a real SQLite file in a scratch folder: batches, minute summaries,
// pruning, loading after a restart, and trouble with the file.
#include "store/HistoryStore.h"

#include "monitor/VSWRMon.h"
#include "station/AlarmEvaluator.h"
#include "station/ReadingCsv.h"
#include "station/ReadingHistory.h"
#include "store/Sqlite.h"
#include "tests/platform/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace vemo {
namespace {

constexpr qint64 kStart = 1'700'000'040'000;  // a whole minute
constexpr qint64 kMinute = 60'000;

TMonitorReading Reading(float forward, float reflected, bool alarm = false) {
  return {.Forward = forward, .Reflected = reflected, .Alarm = alarm};
}

qint64 Count(const std::string& path, const std::string& table) {
  SqliteDb db(path, SqliteDb::Mode::ReadOnly);
  SqliteStatement s = db.Prepare("SELECT count(*) FROM " + table);
  s.Step();
  return s.Int(0);
}

template <typename F>
bool WaitFor(F condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

TEST(HistoryStore, WritesFullBatchesAtOnceAndTheRestOnFlush) {
  test::TempDir dir;
  const std::string path = dir / "m.sqlite";
  TStoreOptions o;
  o.FlushEveryMs = 3'600'000;
  o.BatchReadings = 10;
  HistoryStore store(path, o);
  for (int i = 0; i < 10; ++i) store.Add(kStart + i * 100, Reading(100, 1), {0, true});
  EXPECT_TRUE(WaitFor([&] { return Count(path, "readings") == 10; }));
  for (int i = 10; i < 15; ++i) store.Add(kStart + i * 100, Reading(100, 1), {0, true});
  store.Flush();
  EXPECT_EQ(Count(path, "readings"), 15);
  EXPECT_TRUE(store.Persisting());
}

TEST(HistoryStore, KeepsTheLogsFieldsAndSummarisesEachMinute) {
  const TReadingMarks kMarks{AlarmSourceBit(AlarmSource::VSWRAbove), true};
  const TReadingPlace kPlace{14'200'000, "20m", 90, 9};
  test::TempDir dir;
  const std::string path = dir / "m.sqlite";
  {
    HistoryStore store(path);
    // 50 W keyed without alarm for 30 s, then 80 W with the alarm for 30 s, a gap, and
    // one reading of the next minute.
    store.Add(kStart, Reading(50, 2), {0, true});
    store.Add(kStart + 30'000, Reading(80, 8, true), kMarks, kPlace);
    store.AddGap(kStart + 40'000);
    store.Add(kStart + kMinute + 5'000, Reading(10, 0), {0, false});
    TAlarmEvent e;
    e.Source = AlarmSource::VSWRAbove;
    e.Value = 2.31;
    e.Level = 2;
    e.TimeMs = kStart + 30'000;
    store.AddEvent(e);
  }
  SqliteDb db(path, SqliteDb::Mode::ReadOnly);
  std::vector<TStoredReading> rows;
  ForEachReading(db, 0, kStart * 2, [&](const TStoredReading& r) { rows.push_back(r); });
  ASSERT_EQ(rows.size(), 4u);
  // Every column of the log but the time and keyed, which have columns of their own.
  std::vector<std::string> want =
      ReadingLogCsvFields(kStart + 30'000, Reading(80, 8, true), kMarks, &kPlace);
  want.erase(want.begin() + 11);
  want.erase(want.begin());
  EXPECT_EQ(rows[1].Fields, want);
  EXPECT_EQ(want[9], "vswr");
  EXPECT_EQ(want[11], "20m");
  EXPECT_TRUE(rows[2].Gap);
  EXPECT_FALSE(rows[3].Keyed);

  std::vector<TStoredMinute> minutes;
  ForEachMinute(db, 0, kStart * 2, [&](const TStoredMinute& m) { minutes.push_back(m); });
  ASSERT_EQ(minutes.size(), 2u);
  EXPECT_EQ(minutes[0].Summary.Count, 2);
  EXPECT_EQ(minutes[0].Summary.Gaps, 1);
  EXPECT_EQ(minutes[0].Summary.Forward.Min, 50);
  EXPECT_EQ(minutes[0].Summary.Forward.Max, 80);
  EXPECT_DOUBLE_EQ(minutes[0].Summary.MeanForward(), 65);
  EXPECT_EQ(minutes[0].KeyedMs, 40'000);  // 30 s, then 10 s until the gap
  EXPECT_EQ(minutes[0].AlarmMs, 10'000);
  EXPECT_EQ(minutes[1].Summary.Count, 1);

  std::vector<TStoredEvent> events;
  ForEachEvent(db, 0, kStart * 2, [&](const TStoredEvent& ev) { events.push_back(ev); });
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Source, "vswr");
  EXPECT_EQ(events[0].Event, "tripped");
}

TEST(HistoryStore, MinutesSpreadOverBatchesAndRestartsAddUp) {
  test::TempDir dir;
  const std::string path = dir / "m.sqlite";
  TStoreOptions o;
  o.BatchReadings = 1;
  for (int run = 0; run < 2; ++run) {
    HistoryStore store(path, o);
    for (int i = 0; i < 3; ++i)
      store.Add(kStart + run * 20'000 + i * 1'000, Reading(10 + i, 0), {0, true});
  }
  SqliteDb db(path, SqliteDb::Mode::ReadOnly);
  std::vector<TStoredMinute> minutes;
  ForEachMinute(db, 0, kStart * 2, [&](const TStoredMinute& m) { minutes.push_back(m); });
  ASSERT_EQ(minutes.size(), 1u);
  EXPECT_EQ(minutes[0].Summary.Count, 6);
  EXPECT_EQ(minutes[0].Summary.Forward.Min, 10);
  EXPECT_EQ(minutes[0].Summary.Forward.Max, 12);
  EXPECT_EQ(minutes[0].KeyedMs, 4'000);  // the last reading of each run has no successor
}

TEST(HistoryStore, PrunesPastTheRetentionTimes) {
  test::TempDir dir;
  const std::string path = dir / "m.sqlite";
  TStoreOptions o;
  o.RawKeepMs = 3600'000;
  o.SummaryKeepMs = 24 * 3600'000;
  {
    HistoryStore store(path, o);
    // Three days, one reading a minute.
    for (qint64 t = kStart; t <= kStart + 3 * kStoreDayMs; t += kMinute)
      store.Add(t, Reading(5, 0), {0, true});
  }
  SqliteDb db(path, SqliteDb::Mode::ReadOnly);
  SqliteStatement s =
      db.Prepare("SELECT (SELECT min(time_ms) FROM readings), (SELECT min(start_ms) FROM minutes)");
  ASSERT_TRUE(s.Step());
  const qint64 newest = kStart + 3 * kStoreDayMs;
  EXPECT_EQ(s.Int(0), newest - o.RawKeepMs);
  EXPECT_EQ(s.Int(1), newest - o.SummaryKeepMs);
}

TEST(HistoryStore, ARestartedHistoryHoldsTheEarlierReadingsAndMinutes) {
  test::TempDir dir;
  const std::string path = dir / "m.sqlite";
  const THistoryOptions options{2 * 3600'000, 30 * kStoreDayMs, 30'000};
  ReadingHistory before(options);
  const qint64 end = kStart + 6 * 3600'000;
  {
    HistoryStore store(path);
    for (qint64 t = kStart; t < end; t += 10'000) {
      const TMonitorReading r = Reading(100 + static_cast<float>(t % 7), 2, t % 3 == 0);
      if (t % 70'000 == 0) {
        before.AppendGap(t);
        store.AddGap(t);
        continue;
      }
      before.Append(t, HistoryReadingOf(r));
      // The last hour with a rig on 20 m.
      store.Add(t, r, {0, true},
                t >= end - 3600'000 ? std::optional(TReadingPlace{14.074e6, "20m"}) : std::nullopt);
    }
  }
  HistoryStore reopened(path);
  ReadingHistory after(options);
  reopened.LoadInto(after, end);
  EXPECT_EQ(after.OldestMs(), before.OldestMs());
  EXPECT_GT(after.RawFromMs(), kStart);
  EXPECT_EQ(after.Entries(after.RawFromMs(), end).size(),
            before.Entries(after.RawFromMs(), end).size());
  std::vector<TSummary> a, b;
  after.Decimate(kStart, end, 36, a);
  before.Decimate(kStart, end, 36, b);
  ASSERT_EQ(a.size(), b.size());
  EXPECT_FALSE(after.PlaceAt(end - 3600'000 - 1));
  const auto place = after.PlaceAt(end - 1);
  ASSERT_TRUE(place);
  EXPECT_EQ(place->FrequencyHz, 14.074e6);
  EXPECT_EQ(place->Band, "20m");
  for (size_t i = 0; i < a.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(a[i].Count, b[i].Count);
    EXPECT_EQ(a[i].Gaps, b[i].Gaps);
    EXPECT_EQ(a[i].Forward.Max, b[i].Forward.Max);
    EXPECT_NEAR(a[i].MeanForward(), b[i].MeanForward(), 1e-4);
  }
  // Straight from the file, as the service answers for spans older than it holds.
  ASSERT_TRUE(reopened.Read([&](SqliteDb& db) { DecimateStored(db, kStart, end, 36, a); }));
  for (size_t i = 0; i < a.size(); ++i) EXPECT_EQ(a[i].Count, b[i].Count) << i;
}

TEST(HistoryStore, ADamagedFileIsSetAsideAndANewOneStarted) {
  test::TempDir dir;
  const std::string path = dir / "m.sqlite";
  const std::string garbage(8192, 'x');
  test::WriteFile(path, garbage);
  std::vector<std::string> messages;
  {
    HistoryStore store(path, {}, [&](bool, const std::string& m) { messages.push_back(m); });
    EXPECT_TRUE(store.Persisting());
    store.Add(kStart, Reading(1, 0), {0, true});
  }
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("damaged"), std::string::npos);
  EXPECT_EQ(Count(path, "readings"), 1);
  int aside = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    if (entry.path().filename().string().starts_with("m.sqlite.damaged-")) {
      ++aside;
      EXPECT_EQ(test::ReadFile(entry.path().string()), garbage);
    }
  EXPECT_EQ(aside, 1);
}

TEST(HistoryStore, AFolderThatCannotHoldTheFileIsToldOnceAndNothingHangs) {
  test::TempDir dir;
  test::WriteFile(dir / "file", "");
  int failing = 0;
  TStoreOptions o;
  o.BatchReadings = 1;
  HistoryStore store(dir / "file/m.sqlite", o, [&](bool f, const std::string&) { failing += f; });
  for (int i = 0; i < 5; ++i) store.Add(kStart + i, Reading(1, 0), {0, true});
  store.Flush();
  EXPECT_FALSE(store.Persisting());
  EXPECT_EQ(store.NotStored(), 5);
  EXPECT_EQ(failing, 1);
}

}  // namespace
}  // namespace vemo

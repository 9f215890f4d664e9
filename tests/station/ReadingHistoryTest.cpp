// SPDX-License-Identifier: GPL-3.0-or-later
// The reading history against brute force over the same readings: decimation, span
// statistics, the running statistics, the archive beyond the raw window, and gaps.
#include "station/ReadingHistory.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <map>
#include <random>

namespace vemo {
namespace {

constexpr qint64 kStart = 1'700'000'000'000;  // November 2023
constexpr qint64 kHour = 3'600'000;

struct Entry {
  qint64 t;
  bool gap;
  THistoryReading r;
};

void Add(TSummary& s, const Entry& e) {
  if (e.gap)
    s.AddGap();
  else
    s.Add(e.r);
}

// Minimum, maximum, counts and alarm exactly; means up to the order of summation.
void ExpectSame(const TSummary& got, const TSummary& want, const std::string& where) {
  SCOPED_TRACE(where);
  ASSERT_EQ(got.Count, want.Count);
  EXPECT_EQ(got.Gaps, want.Gaps);
  EXPECT_EQ(got.Alarm, want.Alarm);
  if (!want.Count) return;
  const auto same = [](const TValueRange& g, const TValueRange& w, double gm, double wm) {
    EXPECT_EQ(g.Min, w.Min);
    EXPECT_EQ(g.Max, w.Max);
    EXPECT_NEAR(gm, wm, 1e-9 * std::max(1.0, std::abs(wm)));
  };
  same(got.Forward, want.Forward, got.MeanForward(), want.MeanForward());
  same(got.Reflected, want.Reflected, got.MeanReflected(), want.MeanReflected());
  same(got.VSWR, want.VSWR, got.MeanVSWR(), want.MeanVSWR());
}

std::vector<TSummary> BruteColumns(const std::vector<Entry>& entries, qint64 from, qint64 to,
                                   int columns) {
  std::vector<TSummary> out(static_cast<size_t>(columns));
  int i = 0;  // entries are in time order
  for (const Entry& e : entries) {
    if (e.t < from || e.t >= to) continue;
    while (ReadingHistory::ColumnStart(from, to, columns, i + 1) <= e.t) ++i;
    Add(out[static_cast<size_t>(i)], e);
  }
  return out;
}

THistoryReading RandomReading(std::mt19937& rng) {
  std::uniform_real_distribution<float> power(0, 1000), vswr(1, 4);
  const bool spike = rng() % 500 == 0;
  return {spike ? 150000.f : power(rng), power(rng) / 20, vswr(rng), rng() % 7 == 0};
}

TEST(ReadingHistory, DecimationAndStatisticsAgreeWithBruteForce) {
  std::mt19937 rng(12345);
  THistoryOptions options;
  options.GapAfterMs = 4000;
  ReadingHistory history(options);
  RunningStatistics running(2.5f, options.GapAfterMs);
  std::vector<Entry> entries;
  qint64 t = kStart;
  for (int i = 0; i < 20000; ++i) {
    // Mostly a steady poll, sometimes equal times or a long pause (a gap of its own).
    t += rng() % 50 == 0 ? 0 : rng() % 400 == 0 ? 60'000 : 100 + rng() % 3000;
    if (rng() % 40 == 0) {
      history.AppendGap(t);
      running.AddGap(t);
      entries.push_back({t, true, {}});
      continue;
    }
    if (!entries.empty() && !entries.back().gap && t - entries.back().t > options.GapAfterMs)
      entries.push_back({entries.back().t + options.GapAfterMs, true, {}});
    const THistoryReading r = RandomReading(rng);
    history.Append(t, r);
    running.Add(t, r);
    entries.push_back({t, false, r});
  }

  std::vector<TSummary> columns;
  for (int query = 0; query < 200; ++query) {
    const qint64 span = t - kStart + 20'000;
    const qint64 from = kStart - 10'000 + static_cast<qint64>(rng() % static_cast<quint64>(span));
    const qint64 to = from + 1 + static_cast<qint64>(rng() % static_cast<quint64>(span));
    const int n = 1 + static_cast<int>(rng() % 1000);
    history.Decimate(from, to, n, columns);
    const std::vector<TSummary> want = BruteColumns(entries, from, to, n);
    ASSERT_EQ(columns.size(), want.size());
    for (size_t c = 0; c < want.size(); ++c)
      ExpectSame(columns[c], want[c],
                 "query " + std::to_string(query) + " column " + std::to_string(c) + " of " +
                     std::to_string(n));

    const float threshold = 1.5f + static_cast<float>(rng() % 20) / 10;
    const TSpanStatistics stats = history.Statistics(from, to, threshold);
    TSummary summary;
    qint64 above = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
      const Entry& e = entries[i];
      if (e.t < from || e.t >= to) continue;
      Add(summary, e);
      const qint64 next = i + 1 < entries.size() ? entries[i + 1].t : LLONG_MAX;
      if (!e.gap && e.r.VSWR > threshold)
        above += std::min({next, e.t + options.GapAfterMs, to}) - e.t;
    }
    ExpectSame(stats.Summary, summary, "statistics of query " + std::to_string(query));
    EXPECT_EQ(stats.TimeAboveMs, above) << "query " << query;
  }

  // Since the start, the running statistics hold the same as the whole span.
  const TSpanStatistics all = history.Statistics(kStart, LLONG_MAX, 2.5f);
  ExpectSame(running.Summary(), all.Summary, "running statistics");
  EXPECT_EQ(running.TimeAboveMs(LLONG_MAX), all.TimeAboveMs);
  running.Reset();
  EXPECT_FALSE(running.Summary().HasData());
  EXPECT_EQ(running.TimeAboveMs(t + 1000), 0);
}

TEST(ReadingHistory, ArchiveKeepsMinutesForThirtyDaysAndRawReadingsForADay) {
  // 31 days at one reading per 20 s, with a spike on day 0 and another on day 3.
  ReadingHistory history;
  std::map<qint64, TSummary> minutes;  // by minute start
  std::vector<Entry> entries;
  const qint64 end = kStart + 31 * 24 * kHour;
  std::mt19937 rng(7);
  for (qint64 t = kStart; t < end; t += 20'000) {
    THistoryReading r = RandomReading(rng);
    r.Forward = (t == kStart + 2 * kHour || t == kStart + 3 * 24 * kHour) ? 99999.f : 10.f;
    history.Append(t, r);
    minutes[t - t % 60'000].Add(r);
    entries.push_back({t, false, r});
  }
  const qint64 newest = history.NewestMs();
  // Raw readings reach back a day (plus at most one block), not further.
  EXPECT_GT(history.RawFromMs(), newest - 24 * kHour - 64 * 20'000 - 60'000);
  EXPECT_LE(history.RawFromMs(), newest - 24 * kHour + 60'000);
  EXPECT_TRUE(history.Entries(kStart, history.RawFromMs() - 60'000).empty());
  // The archive reaches back thirty days, the first day's spike gone with it.
  const std::vector<TArchiveMinute> kept = history.Minutes(kStart, end);
  ASSERT_FALSE(kept.empty());
  EXPECT_LE(kept.front().StartMs, newest - 30 * 24 * kHour);
  EXPECT_GT(kept.front().StartMs, newest - 30 * 24 * kHour - 120'000);

  // A column before the raw window is made of whole minutes, after it of raw readings.
  const qint64 from = newest - 30 * 24 * kHour + 60'000;
  const int n = 997;
  std::vector<TSummary> columns;
  history.Decimate(from, end, n, columns);
  std::vector<TSummary> want(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const qint64 c0 = ReadingHistory::ColumnStart(from, end, n, i);
    const qint64 c1 = ReadingHistory::ColumnStart(from, end, n, i + 1);
    for (auto m = minutes.lower_bound(c0);
         m != minutes.end() && m->first < c1 && m->first < history.RawFromMs(); ++m)
      want[static_cast<size_t>(i)].Merge(m->second);
    for (const Entry& e : entries)
      if (e.t >= std::max(c0, history.RawFromMs()) && e.t < c1)
        Add(want[static_cast<size_t>(i)], e);
  }
  float highest = 0;
  for (int i = 0; i < n; ++i) {
    ExpectSame(columns[static_cast<size_t>(i)], want[static_cast<size_t>(i)],
               "column " + std::to_string(i));
    highest = std::max(highest, columns[static_cast<size_t>(i)].Forward.Max);
  }
  EXPECT_EQ(highest, 99999.f);  // the day-3 spike survives in the archive
}

TEST(ReadingHistory, GapsAreKeptAndNeverReadAsZero) {
  THistoryOptions options;
  options.GapAfterMs = 5000;
  ReadingHistory history(options);
  const THistoryReading r{100, 1, 1.22f, true};
  history.Append(kStart, r);
  history.AppendGap(kStart + 1000);  // a failed reading
  history.Append(kStart + 2000, r);
  history.Append(kStart + 60'000, r);  // after a silence: a gap of its own
  // The wall clock steps back by an hour: stored in order at the newest time.
  history.Append(kStart + 60'000 - kHour, {50, 0, 1.02f, false});

  std::vector<TSummary> columns;
  history.Decimate(kStart, kStart + 61'000, 61, columns);  // one column per second
  EXPECT_EQ(columns[0].Count, 1);
  EXPECT_EQ(columns[1].Count, 0);
  EXPECT_EQ(columns[1].Gaps, 1);
  EXPECT_EQ(columns[7].Gaps, 1);  // 5 s after the reading at 2 s
  EXPECT_EQ(columns[30].Count + columns[30].Gaps, 0);
  EXPECT_EQ(columns[60].Count, 2);
  EXPECT_EQ(columns[60].Forward.Min, 50);  // no zero from the gaps
  EXPECT_TRUE(columns[60].Alarm);

  const std::vector<THistoryEntry> entries = history.Entries(kStart, kStart + kHour);
  ASSERT_EQ(entries.size(), 6u);
  EXPECT_EQ(entries.back().TimeMs, kStart + 60'000);
  // The reading before the silence counts for 5 s, not for the whole silence.
  EXPECT_EQ(history.Statistics(kStart, kStart + 61'000, 1.1f).TimeAboveMs, 1000 + 5000);
}

// Where the rig was: only changes are kept, a frequency not known reads as none, and the
// place in force at the oldest minute kept outlives the places before it.
TEST(ReadingHistory, PlacesAreKeptAsChangesAndAnsweredForAnyTime) {
  ReadingHistory h(THistoryOptions{kHour, 2 * kHour, 30'000});
  h.Append(kStart, {});
  h.AppendPlace(kStart, 14.074e6, "20m");
  h.AppendPlace(kStart + 1'000, 14.074e6, "20m");
  h.AppendPlace(kStart + 60'000, 0, "");
  h.AppendPlace(kStart + 120'000, 7.1e6, "40m");
  struct Row {
    qint64 at;
    double hz;  // 0: none
  } rows[] = {{kStart - 1, 0},      {kStart, 14.074e6},        {kStart + 59'999, 14.074e6},
              {kStart + 60'000, 0}, {kStart + 120'000, 7.1e6}, {kStart + 9 * kHour, 7.1e6}};
  for (const Row& r : rows) {
    const auto place = h.PlaceAt(r.at);
    EXPECT_EQ(place ? place->FrequencyHz : 0, r.hz) << r.at - kStart;
  }
  // Three hours on, the archive starts after every change: the 40 m place stays in force.
  h.Append(kStart + 3 * kHour, {});
  h.AppendPlace(kStart + 3 * kHour, 7.1e6, "40m");
  ASSERT_TRUE(h.PlaceAt(h.OldestMs()));
  EXPECT_EQ(h.PlaceAt(h.OldestMs())->Band, "40m");
  EXPECT_FALSE(h.PlaceAt(kStart + 59'999)) << "a place before the oldest minute kept";
}

}  // namespace
}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
// Reports from a real stored history in a scratch folder, in a time zone with daylight
// saving time.
#include "store/Report.h"

#include "monitor/VSWRMon.h"
#include "store/HistoryStore.h"
#include "store/Sqlite.h"
#include "tests/platform/TempDir.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace vemo {
namespace {

const QTimeZone kZone("Europe/Berlin");

qint64 At(const char* local) {
  return QDateTime::fromString(QString::fromLatin1(local), Qt::ISODate)
      .toTimeZone(kZone)
      .toMSecsSinceEpoch();
}

qint64 Local(const char* local) {
  QDateTime t = QDateTime::fromString(QString::fromLatin1(local), Qt::ISODate);
  t.setTimeZone(kZone);
  return t.toMSecsSinceEpoch();
}

TAlarmEvent Event(AlarmSource source, AlarmChange change, std::uint64_t id, const char* local) {
  TAlarmEvent e;
  e.Source = source;
  e.Change = change;
  e.Id = id;
  e.Value = 3;
  e.Level = 2;
  e.TimeMs = Local(local);
  return e;
}

// 10 June 2026, from 06:00 every 10 s: half an hour at VSWR 1.5, half an hour at 3.0 (both
// keyed at 100 W), half an hour unkeyed at 0.5 W. A VSWR alarm of 30 min, one still active
// at midnight, and a link alarm that began the day before.
class ReportOfADay : public ::testing::Test {
 protected:
  void SetUp() override {
    HistoryStore store(path_);
    const qint64 start = Local("2026-06-10T06:00:00");
    for (int i = 0; i < 540; ++i) {
      const bool keyed = i < 360;
      const TMonitorReading r{.Forward = keyed ? 100.f : 0.5f,
                              .Reflected = i < 180   ? 4.f
                                           : i < 360 ? 25.f
                                                     : 0.f};
      store.Add(start + i * 10'000, r, {0, keyed});
    }
    store.AddEvent(Event(AlarmSource::LinkLost, AlarmChange::Tripped, 3, "2026-06-09T23:50:00"));
    store.AddEvent(Event(AlarmSource::LinkLost, AlarmChange::Cleared, 3, "2026-06-10T00:10:00"));
    store.AddEvent(Event(AlarmSource::VSWRAbove, AlarmChange::Tripped, 1, "2026-06-10T06:30:00"));
    store.AddEvent(Event(AlarmSource::VSWRAbove, AlarmChange::Cleared, 1, "2026-06-10T07:00:00"));
    store.AddEvent(Event(AlarmSource::VSWRAbove, AlarmChange::Tripped, 2, "2026-06-10T23:50:00"));
  }

  TReportFigures Gather() {
    SqliteDb db(path_, SqliteDb::Mode::ReadOnly);
    return GatherReport(db, ReportPeriodOf(ReportSpan::Day, {2026, 6, 10}, kZone), levels_);
  }

  test::TempDir dir_;
  std::string path_ = dir_ / "m.sqlite";
  TAlarmLevels levels_{.VSWRAbove = 2, .OffAirBelow = 10};
};

TEST_F(ReportOfADay, CountsTimesFromTheReadingsAndPairsAlarms) {
  const TReportFigures f = Gather();
  ASSERT_TRUE(f.FromRaw);
  struct {
    const char* what;
    qint64 got, want;
  } const figures[] = {
      {"with readings", f.CoveredMs, 539 * 10'000 + 30'000},  // the last holds 30 s
      {"keyed", f.KeyedMs, 3600'000},
      {"on the air", f.OnAirMs, 3600'000},
      {"above the limit", f.AboveLimitMs.value_or(-1), 1800'000},
      {"readings", f.Summary.Count, 540},
  };
  for (const auto& row : figures) EXPECT_EQ(row.got, row.want) << row.what;
  EXPECT_NEAR(f.Summary.MeanVSWR(), 2.25, 1e-3);  // keyed readings only
  EXPECT_FLOAT_EQ(f.Summary.Forward.Min, 0.5f);

  ASSERT_EQ(f.Alarms.size(), 3u);
  EXPECT_EQ(f.Alarms[0].Source, "link");
  EXPECT_EQ(*f.Alarms[0].EndMs - f.Alarms[0].StartMs, 20 * 60'000);
  EXPECT_EQ(*f.Alarms[1].EndMs - f.Alarms[1].StartMs, 30 * 60'000);
  EXPECT_FALSE(f.Alarms[2].EndMs);

  const QString html = RenderReport("tx1", ReportPeriodOf(ReportSpan::Day, {2026, 6, 10}, kZone),
                                    levels_, f, At("2026-06-11T00:05:00+02:00"))
                           .Html;
  for (const char* text : {"30 min 00 s", "(before the period)", "still active at the end",
                           "UTC+02:00", "24 hours", "data:image/png;base64,iVBORw0KGgo"})
    EXPECT_TRUE(html.contains(QLatin1String(text))) << text;
}

TEST_F(ReportOfADay, TakesTheMinutesWhereTheReadingsArePruned) {
  // The first half hour pruned: its minutes stand in, the readings count after it.
  SqliteDb(path_, SqliteDb::Mode::ReadWrite)
      .Exec("DELETE FROM readings WHERE time_ms < " + std::to_string(Local("2026-06-10T06:30:00")));
  TReportFigures f = Gather();
  EXPECT_FALSE(f.FromRaw);
  EXPECT_EQ(f.SummariesUntilMs, Local("2026-06-10T06:30:00"));
  EXPECT_EQ(f.KeyedMs, 3600'000);
  EXPECT_EQ(f.AboveLimitMs, 1800'000);
  EXPECT_EQ(f.Summary.Count, 540);
  EXPECT_NEAR(f.Summary.MeanVSWR(), 2.25, 1e-3);

  SqliteDb(path_, SqliteDb::Mode::ReadWrite).Exec("DELETE FROM readings");
  f = Gather();
  EXPECT_EQ(f.KeyedMs, 3600'000);
  EXPECT_FALSE(f.AboveLimitMs);
  EXPECT_EQ(f.Summary.Count, 540);
  // The unkeyed minutes' VSWR stays out, as the readings' does.
  EXPECT_NEAR(f.Summary.MeanVSWR(), 2.25, 1e-3);
}

TEST(Report, DaysOfAChangeOfTimeHave23Or25Hours) {
  struct {
    QDate day;
    qint64 hours;
    const char* offsets;
  } const rows[] = {
      {{2026, 3, 29}, 23, "UTC+01:00 to UTC+02:00"},
      {{2026, 10, 25}, 25, "UTC+02:00 to UTC+01:00"},
      {{2026, 10, 26}, 24, "UTC+01:00)"},
  };
  for (const auto& row : rows) {
    const TReportPeriod p = ReportPeriodOf(ReportSpan::Day, row.day, kZone);
    EXPECT_EQ(p.EndMs - p.StartMs, row.hours * 3600'000) << p.Label.toStdString();
    const QString html = RenderReport("tx", p, {}, {}, p.EndMs).Html;
    EXPECT_TRUE(html.contains(QLatin1String(row.offsets))) << p.Label.toStdString();
    EXPECT_TRUE(html.contains(QLatin1String("No readings were stored")));
  }
}

TEST(Report, ParsesDaysAndIsoWeeks) {
  struct {
    const char* text;
    const char* first;  // empty: refused
    const char* label;
  } const rows[] = {
      {"2026-12-08", "2026-12-08", "2026-12-08"},
      {"2026-W01", "2025-12-29", "2026-W01"},
      {"2026-W53", "2026-12-28", "2026-W53"},
      {"2025-W53", "", ""},
      {"2026-02-30", "", ""},
      {"2026-W00", "", ""},
      {"26-12-08", "", ""},
      {"2026-12-08x", "", ""},
  };
  for (const auto& row : rows) {
    const auto p = ParseReportPeriod(QString::fromLatin1(row.text), kZone);
    ASSERT_EQ(p.has_value(), *row.first != 0) << row.text;
    if (!p) continue;
    EXPECT_EQ(p->First.toString(Qt::ISODate).toStdString(), row.first);
    EXPECT_EQ(p->Label.toStdString(), row.label);
  }
  const TReportPeriod week =
      PreviousReportPeriod(ReportSpan::Week, At("2026-12-07T00:05:00+01:00"), kZone);
  EXPECT_EQ(week.Label, "2026-W49");
  EXPECT_EQ(week.EndMs - week.StartMs, 7 * kStoreDayMs);
}

TEST(Report, EscapesTheMonitorsNameAndAlarmSources) {
  const QString name = QStringLiteral("<script>alert(1)</script>&\"%1");
  TReportFigures f;
  f.Alarms.push_back({.Source = "<b>x</b>", .EndMs = 1000});
  const QString html =
      RenderReport(name, ReportPeriodOf(ReportSpan::Day, {2026, 1, 5}, kZone), {}, f, 0).Html;
  EXPECT_FALSE(html.contains(QLatin1String("<script>")));
  EXPECT_FALSE(html.contains(QLatin1String("<b>")));
  EXPECT_TRUE(html.contains(QLatin1String("&lt;script&gt;alert(1)&lt;/script&gt;&amp;&quot;%1")));
}

}  // namespace
}  // namespace vemo

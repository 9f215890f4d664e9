// SPDX-License-Identifier: GPL-3.0-or-later
// The chart and window offscreen, on hours of readings with a gap, an alarm period and a
// spike; one picture is kept in the artifacts folder for a person to look at.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>

#include <cmath>

#include "monitor/VSWRMon.h"
#include "platform/Clock.h"
#include "station/ReadingCsv.h"
#include "station/ReadingHistory.h"
#include "station/Readout.h"
#include "station/Statistics.h"
#include "ui/trend/TrendChart.h"
#include "ui/trend/TrendExport.h"
#include "ui/trend/TrendWindow.h"

namespace vemo {
namespace {

constexpr qint64 kMin = 60'000, kHour = 60 * kMin;

class FixedClock : public Clock {
 public:
  WallTime Now() const override { return WallTime(std::chrono::milliseconds(nowMs)); }
  qint64 nowMs = 0;
};

// Six hours at 2 readings/s: 100 W forward; no readings from 2:00 to 2:20 (the poll
// failed); the alarm on, reflected power up, from 4:00 to 4:30; one 400 W reading at 3:00.
struct Scene {
  qint64 t0 = QDateTime(QDate(2026, 3, 1), QTime(8, 0)).toMSecsSinceEpoch();
  ReadingHistory history;
  RunningStatistics stats;
  FixedClock clock;
  qint64 spikeMs = t0 + 3 * kHour;

  Scene() {
    for (qint64 t = t0; t < t0 + 6 * kHour; t += 500) {
      if (t >= t0 + 2 * kHour && t < t0 + 2 * kHour + 20 * kMin) {
        if (t == t0 + 2 * kHour) history.AppendGap(t);
        continue;
      }
      const bool alarm = t >= t0 + 4 * kHour && t < t0 + 4 * kHour + 30 * kMin;
      const float forward = t == spikeMs ? 400 : 100 + 5 * std::sin(t / 600'000.0);
      const float reflected = alarm ? 30 : 2 + std::sin(t / 900'000.0);
      TMonitorReading m;
      m.Forward = forward;
      m.Reflected = reflected;
      m.Alarm = alarm;
      history.Append(t, HistoryReadingOf(m));
      stats.Add(t, HistoryReadingOf(m));
    }
    clock.nowMs = t0 + 6 * kHour;
  }
};

bool IsBackground(QRgb c) {
  const QColor color(c);
  return color == Qt::white || color == QColor(225, 225, 225);
}

QString ArtifactDir() {
  const QString dir = qEnvironmentVariable(
      "VEMO_ARTIFACT_DIR", QCoreApplication::applicationDirPath() + "/../artifacts");
  QDir().mkpath(dir);
  return dir;
}

TEST(TrendChart, ZoomedOutChartLeavesGapsEmptyKeepsSpikesAndShadesAlarms) {
  Scene s;
  TrendChart chart(s.history, s.clock);
  chart.resize(800, 300);
  chart.SetFullScale(625);
  chart.View().SetSpan(6 * kHour);
  const QImage image = chart.grab().toImage();
  const QRect plot = chart.PlotRect();
  // Zoomed out: dozens of readings to a column.
  ASSERT_LT(plot.width() * 20, 6 * 3600 * 2);

  const int gapX = chart.XOf(s.t0 + 2 * kHour + 10 * kMin);
  for (int y = plot.top() + 1; y < plot.bottom(); ++y)
    ASSERT_TRUE(IsBackground(image.pixel(gapX, y))) << "gap column drawn at y " << y;

  // 400 W on an axis up to 500 W: four fifths up.
  const int spikeX = chart.XOf(s.spikeMs);
  const int spikeY = plot.bottom() - static_cast<int>(0.8 * (plot.height() - 1));
  bool spikeDrawn = false;
  for (int y = spikeY - 1; y <= spikeY + 1; ++y)
    spikeDrawn = spikeDrawn || !IsBackground(image.pixel(spikeX, y));
  EXPECT_TRUE(spikeDrawn);
  EXPECT_TRUE(IsBackground(image.pixel(spikeX - 3, spikeY))) << "the spike is one reading wide";

  EXPECT_EQ(QColor(image.pixel(chart.XOf(s.t0 + 4 * kHour + 15 * kMin), plot.top() + 3)),
            TrendChart::AlarmShade());
  EXPECT_EQ(QColor(image.pixel(chart.XOf(s.t0 + kHour + 15 * kMin) + 1, plot.top() + 3)),
            QColor(Qt::white));
}

TEST(TrendChart, CursorReadsOutTheReadingAtThePointerAndNothingInAGap) {
  Scene s;
  TrendChart chart(s.history, s.clock);
  chart.resize(800, 300);
  chart.SetFullScale(625);
  chart.View().SetSpan(kMin);
  chart.View().ScrollTo(s.t0 + kHour + kMin, s.history.OldestMs(), s.clock.nowMs);
  // Readings every 500 ms, columns of about 80 ms: between two readings the earlier holds.
  const qint64 at = s.t0 + kHour + 30'000;
  chart.SetCursorAt({chart.XOf(at + 200), chart.PlotRect().center().y()});
  const QString text = chart.CursorReadout();
  EXPECT_TRUE(text.startsWith(QDateTime::fromMSecsSinceEpoch(at).toString("yyyy-MM-dd HH:mm:ss")))
      << text.toStdString();
  const auto reading = s.history.Entries(at, at + 1).at(0).Reading;
  const std::string forward = FormatNumber(DisplayUnitFor(625).ForwardFormat, reading.Forward);
  EXPECT_TRUE(
      text.contains(QStringLiteral("Forward %1 W").arg(QString::fromStdString(forward).trimmed())))
      << text.toStdString();
  EXPECT_TRUE(text.contains("VSWR 1.")) << text.toStdString();

  chart.View().ScrollTo(s.t0 + 2 * kHour + 11 * kMin, s.history.OldestMs(), s.clock.nowMs);
  chart.SetCursorAt({chart.PlotRect().center().x(), chart.PlotRect().center().y()});
  EXPECT_TRUE(chart.CursorReadout().endsWith("no reading"));
  chart.SetCursorAt({0, 0});
  EXPECT_TRUE(chart.CursorReadout().isEmpty());
}

TEST(TrendExport, RawSpanGivesTheToolsColumnsAndArchivedSpanGivesMinutes) {
  THistoryOptions options;
  options.RawWindowMs = kHour;
  ReadingHistory history(options);
  const qint64 t0 = 1'800'000'000'000 - 1'800'000'000'000 % kMin;
  TMonitorReading m;
  m.Forward = 100;
  m.Reflected = 4;
  history.Append(t0, HistoryReadingOf(m));
  history.AppendGap(t0 + 500);
  for (qint64 t = t0 + 1000; t < t0 + 3 * kHour; t += 1000) history.Append(t, HistoryReadingOf(m));

  const std::string raw = TrendCsv(history, t0 + 3 * kHour - 10'000, t0 + 3 * kHour);
  EXPECT_EQ(raw.substr(0, raw.find('\n')), kReadingCsvHeader);
  EXPECT_EQ(std::count(raw.begin(), raw.end(), '\n'), 11);
  EXPECT_NE(raw.find(ReadingCsvRow(t0 + 3 * kHour - 1000, m) + '\n'), std::string::npos);

  const std::string minutes = TrendCsv(history, t0, t0 + 3 * kMin);
  EXPECT_EQ(minutes.substr(0, minutes.find('\n')), kTrendMinutesCsvHeader);
  const std::string first = minutes.substr(minutes.find('\n') + 1);
  EXPECT_EQ(first.substr(first.find(',') + 1, first.find('\n') - first.find(',') - 1),
            "60,1,100,100,100,4,4,4,1.5,1.5,1.5,0");
  EXPECT_EQ(std::count(minutes.begin(), minutes.end(), '\n'), 4);
}

TEST(TrendWindow, ExportsTheVisibleSpanAndSaysWhenItCannotWrite) {
  Scene s;
  TrendWindow window(s.history, s.stats, s.clock);
  window.resize(900, 560);
  window.SetFullScale(625);
  window.SetSpanMs(kTrendSpansMs[2]);
  QTemporaryDir dir;
  QString asked;
  TrendWindow::SetFileDialogHook(
      [&](QWidget*, const QString& caption, const QString&, const QString& filter) {
        asked = caption + filter;
        return dir.filePath(filter.contains("csv") ? "trend.csv" : "trend.png");
      });
  window.ExportCsvClick();
  window.ExportPngClick();
  TrendWindow::SetFileDialogHook({});
  QFile csv(dir.filePath("trend.csv"));
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  // The last hour at 2/s, header first.
  EXPECT_EQ(csv.readAll().count('\n'), 1 + 3600 * 2);
  EXPECT_FALSE(QImage(dir.filePath("trend.png")).isNull());

  EXPECT_FALSE(window.ExportCsv(dir.filePath("missing/trend.csv")));
  EXPECT_TRUE(window.StatusText().startsWith("Could not write"))
      << window.StatusText().toStdString();

  // What a person looks at: six hours with the gap, the spike and the alarm.
  window.SetSpanMs(6 * kHour);
  EXPECT_EQ(window.cmboSpan->currentIndex(), -1);
  EXPECT_EQ(window.cmboSpan->placeholderText(), "6 h") << "a zoomed span leaves the box blank";
  window.show();
  window.Chart()->SetCursorAt(
      {window.Chart()->XOf(s.t0 + 4 * kHour + 10 * kMin), window.Chart()->PlotRect().center().y()});
  EXPECT_TRUE(window.grab().save(ArtifactDir() + "/trend-window.png"));
}

TEST(TrendWindow, SummaryNamesEachStatisticAndFollowsTheCursorMovedByKeys) {
  Scene s;
  TrendWindow window(s.history, s.stats, s.clock);
  window.resize(900, 560);
  window.SetFullScale(625);
  window.show();
  const struct {
    int row, column;
    const char* name;
    bool watts;
  } cells[] = {{0, 0, "Forward minimum", true},
               {1, 1, "Reflected maximum", true},
               {2, 2, "VSWR mean", false}};
  for (const auto& c : cells) {
    const QLineEdit* field = window.Statistic(c.row, c.column);
    EXPECT_EQ(field->accessibleName(), c.name);
    EXPECT_TRUE(field->isReadOnly());
    EXPECT_EQ(field->text().endsWith(" W"), c.watts) << field->text().toStdString();
  }
  EXPECT_EQ(window.TimeAbove()->accessibleName(), "Time above VSWR 2");
  EXPECT_EQ(window.TimeAbove()->text(), "0:30:00")
      << "the alarm's half hour, 30 W reflected of 100 W";

  EXPECT_TRUE(window.CursorField()->text().isEmpty());
  TrendChart* chart = window.Chart();
  const auto press = [chart](Qt::Key key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(chart, &event);
  };
  press(Qt::Key_Left);
  const QString newest = window.CursorField()->text();
  EXPECT_TRUE(newest.contains("Forward")) << newest.toStdString();
  press(Qt::Key_PageUp);
  EXPECT_NE(window.CursorField()->text(), newest) << "a span back, the cursor reads older times";
  EXPECT_EQ(window.CursorField()->text(), chart->CursorReadout());
}

}  // namespace
}  // namespace vemo

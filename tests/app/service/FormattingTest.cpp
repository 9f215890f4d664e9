// SPDX-License-Identifier: GPL-3.0-or-later
// The service's formatting of snapshots, without a server: the exposition text, label
// escaping, non-finite numbers, exact timestamps, what stays while a monitor is down, and
// the history text against the document form it replaces.
#include "app/service/Metrics.h"
#include "app/service/Routing.h"
#include "app/service/ServiceJson.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace vemo::service {
namespace {

constexpr qint64 kNow = 1'700'000'000'123;

MonitorSnapshot Polled(const char* name, float forward, float reflected) {
  MonitorSnapshot s;
  s.Name = name;
  s.IntervalMs = 500;
  s.Phase = MonitorPhase::Polling;
  s.LatestSucceeded = true;
  s.Model = "KRFMON04";
  s.Firmware = "2010-01-08";
  s.FullScale = 625;
  s.Reading = TMonitorReading{forward, reflected};
  s.ReadingTimeMs = kNow;
  s.AnsweredMs = kNow;
  return s;
}

TEST(MetricsText, LabelsAreEscapedAndNumbersKeepEveryDigit) {
  MonitorSnapshot s = Polled("tx \"a\\b\"\nc", std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity());
  s.Model = "K\"1";
  s.ReadingTimeMs = s.AnsweredMs = 1'700'000'000'005;
  const QByteArray text = MetricsText({&s}, s.ReadingTimeMs);
  const QByteArray label = R"(monitor="tx \"a\\b\"\nc")";
  for (const QByteArray& line :
       {"vemoswr_up{" + label + "} 1", "vemoswr_forward_watts{" + label + "} NaN",
        "vemoswr_reflected_watts{" + label + "} +Inf",
        "vemoswr_info{" + label + R"(,model="K\"1",firmware="2010-01-08"} 1)",
        "vemoswr_last_reading_timestamp_seconds{" + label + "} 1700000000.005"})
    EXPECT_TRUE(text.contains(line + '\n')) << line.toStdString() << "\n" << text.toStdString();
}

TEST(MetricsText, AMonitorIsUpOnlyWithAReadingOfTheLastThreeIntervals) {
  struct Row {
    qint64 ageMs;
    bool latestSucceeded;
    bool up;
  };
  const Row rows[] = {{0, true, true}, {1500, true, true}, {1501, true, false}, {0, false, false}};
  for (const Row& r : rows) {
    MonitorSnapshot s = Polled("tx", 100, 4);
    s.LatestSucceeded = r.latestSucceeded;
    if (!r.latestSucceeded) s.Reading.reset();
    s.Alarms[static_cast<size_t>(AlarmSource::LinkLost)] = AlarmState::Active;
    const QByteArray text = MetricsText({&s}, kNow + r.ageMs);
    const QByteArray context = "age " + QByteArray::number(r.ageMs) + "\n" + text;
    EXPECT_TRUE(text.contains(QByteArray("vemoswr_up{monitor=\"tx\"} ") + (r.up ? "1" : "0")))
        << context.toStdString();
    EXPECT_EQ(text.contains("vemoswr_forward_watts"), r.up) << context.toStdString();
    EXPECT_EQ(MonitorObject(s, kNow + r.ageMs)["reading"].isObject(), r.up);
    // What says why a monitor is down stays while it is.
    for (const char* kept :
         {"vemoswr_info{", "vemoswr_program_alarm{monitor=\"tx\",source=\"link\"} 1",
          "vemoswr_last_reading_timestamp_seconds{monitor=\"tx\"} 1700000000.123"})
      EXPECT_TRUE(text.contains(kept)) << kept << "\n" << context.toStdString();
  }
}

TEST(HistoryJson, WritesWhatTheDocumentFormWrote) {
  std::vector<TSummary> columns(4);
  columns[1].AddGap();
  columns[2].Add(THistoryReading{100.25f, 4.5f, 1.53f, true});
  columns[2].Add(THistoryReading{99.75f, 4, 1.49f, false});
  columns[3].Add(THistoryReading{10, 10, std::numeric_limits<float>::infinity(), false});
  const HistoryQuery q{kNow - 4000, 1000, 4};
  QJsonArray points;
  for (int i = 0; i < 4; ++i) {
    const TSummary& c = columns[static_cast<size_t>(i)];
    QJsonObject p;
    p["t"] = static_cast<double>(q.SinceMs + i * q.StepMs);
    p["count"] = static_cast<double>(c.Count);
    p["gaps"] = static_cast<double>(c.Gaps);
    if (c.HasData()) {
      p["forward"] = c.MeanForward();
      p["forward_max"] = static_cast<double>(c.Forward.Max);
      p["reflected"] = c.MeanReflected();
      p["reflected_max"] = static_cast<double>(c.Reflected.Max);
      p["vswr"] = c.MeanVSWR();
      p["vswr_max"] = static_cast<double>(c.VSWR.Max);
      p["alarm"] = c.Alarm;
    }
    points.append(p);
  }
  const QJsonObject document{{"since", static_cast<double>(q.SinceMs)},
                             {"step", static_cast<double>(q.StepMs)},
                             {"points", points}};
  EXPECT_EQ(HistoryJson(columns, q).toStdString(),
            QJsonDocument(document).toJson(QJsonDocument::Compact).toStdString());
}

}  // namespace
}  // namespace vemo::service

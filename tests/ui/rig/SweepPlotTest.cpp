// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rig/SweepExport.h"
#include "ui/rig/SweepPlot.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace vemo {
namespace {

// An antenna resonant at 14.175 MHz, 300 kHz between its VSWR 2.0 points.
std::vector<TSweepPoint> Antenna(double resonance, double forward = 10) {
  std::vector<TSweepPoint> points;
  for (std::int64_t hz = 14000000; hz <= 14350000; hz += 25000) {
    const double y = 0.7071 * (static_cast<double>(hz) - resonance) / 150000;
    const double reflected = forward * y * y / (4 + y * y);
    points.push_back({hz, forward, reflected, SweepVswr(forward, reflected)});
  }
  return points;
}

TEST(SweepExport, FileNamesSayBandAndDateAndHoldNoPath) {
  const QDate day(2026, 12, 8);
  const struct {
    const char* band;
    const char* suffix;
    const char* name;
  } rows[] = {{"20m", "csv", "sweep-20m-2026-12-08.csv"},
              {"FM 98.5", "png", "sweep-FM-98.5-2026-12-08.png"},
              {"", "csv", "sweep-2026-12-08.csv"},
              {"../../etc/x", "csv", "sweep-..-..-etc-x-2026-12-08.csv"}};
  for (const auto& r : rows) EXPECT_EQ(SweepFileName(r.band, day, r.suffix), r.name);
}

TEST(SweepPlot, AxesPlaceVswrAndTheRenderedPlotMarksTheMinimum) {
  EXPECT_DOUBLE_EQ(SweepAxisPosition(1, false), 0);
  EXPECT_DOUBLE_EQ(SweepAxisPosition(5.5, false), 0.5);
  EXPECT_DOUBLE_EQ(SweepAxisPosition(std::sqrt(10.0), true), 0.5);
  EXPECT_DOUBLE_EQ(SweepAxisPosition(INFINITY, true), 1);
  EXPECT_DOUBLE_EQ(SweepAxisPosition(0.5, true), 0);

  SweepPlot plot;
  plot.SetPoints(Antenna(14225000));
  plot.KeepAsOverlay();
  plot.SetPoints(Antenna(14175000));
  plot.SetLogScale(true);
  const QImage image =
      RenderSweep(plot, "20m", QDateTime(QDate(2026, 12, 8), QTime(12, 0)), "KRFMON03 on tx1");
  // The minimum's green ring sits over 14.175 MHz, half-way across the plot.
  int greenColumns = 0;
  double greenX = 0;
  for (int x = 0; x < image.width(); ++x)
    for (int y = 0; y < image.height(); ++y) {
      const QColor c = image.pixelColor(x, y);
      if (c.green() > 100 && c.red() < 60 && c.blue() < 60) {
        greenX += x;
        ++greenColumns;
        break;
      }
    }
  ASSERT_GT(greenColumns, 0);
  EXPECT_NEAR(greenX / greenColumns / image.width(), 0.5, 0.05);

  const QString artifacts = qEnvironmentVariable(
      "VEMO_ARTIFACT_DIR", QCoreApplication::applicationDirPath() + "/../artifacts");
  QDir().mkpath(artifacts);
  EXPECT_TRUE(image.save(artifacts + "/sweep-20m.png"));

  QTemporaryDir dir;
  const QString csv = dir.filePath(SweepFileName("20m", QDate(2026, 12, 8), "csv"));
  ASSERT_TRUE(WriteSweepCsv(csv, plot.Points()));
  QFile file(csv);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = file.readAll().split('\n');
  EXPECT_EQ(lines[0], "frequency_hz,forward_w,reflected_w,vswr");
  EXPECT_EQ(lines[8], "14175000,10,0,1.0000");
  EXPECT_FALSE(WriteSweepCsv(dir.filePath("no/such/folder.csv"), plot.Points()));
}

}  // namespace
}  // namespace vemo

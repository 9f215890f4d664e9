// SPDX-License-Identifier: GPL-3.0-or-later
// A full repaint of the trend window (chart, axes, statistics) with 24 hours of readings
// at 2 per second, offscreen: one frame's budget is 16 ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cmath>

#include "monitor/VSWRMon.h"
#include "platform/Clock.h"
#include "station/ReadingHistory.h"
#include "station/Statistics.h"
#include "ui/trend/TrendChart.h"
#include "ui/trend/TrendWindow.h"

namespace vemo {
namespace {

constexpr qint64 kDayMs = 86'400'000;
constexpr qint64 kStartMs = 1'800'000'000'000;

class FixedClock : public Clock {
 public:
  WallTime Now() const override { return WallTime(std::chrono::milliseconds(kStartMs + kDayMs)); }
};

void BM_TrendWindowRepaint_24h_2PerSecond(benchmark::State& state) {
  ReadingHistory history;
  RunningStatistics stats;
  for (qint64 t = kStartMs; t < kStartMs + kDayMs; t += 500) {
    TMonitorReading m;
    m.Forward = static_cast<float>(100 + 10 * std::sin(t / 3.6e6));
    m.Reflected = static_cast<float>(3 + std::sin(t / 1e6));
    m.Alarm = (t / 3'600'000) % 7 == 0;
    const THistoryReading r = HistoryReadingOf(m);
    history.Append(t, r);
    stats.Add(t, r);
  }
  const FixedClock clock;
  TrendWindow window(history, stats, clock);
  window.resize(static_cast<int>(state.range(0)), 600);
  window.SetFullScale(625);
  window.SetSpanMs(kDayMs);
  window.show();
  QApplication::processEvents();
  QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    window.render(&image);
    benchmark::DoNotOptimize(image.bits());
  }
  state.counters["columns"] = window.Chart()->PlotRect().width();
}
BENCHMARK(BM_TrendWindowRepaint_24h_2PerSecond)
    ->Arg(900)
    ->Arg(1920)
    ->ArgName("width")
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vemo

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The cost of moving the meter's pointer (partial repaint) against repainting the whole
// gauge, and of rasterising the arcs the meter uses.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>
#include <vector>

#include "ui/meter/DCDial.h"
#include "ui/meter/Meter.h"

namespace {

using namespace vemo;

// The main window's 287 x 120 meter on scale Range, shown offscreen.
struct MeterPanel {
  QWidget Panel;
  TDCDial* Dial;
  explicit MeterPanel(std::uint8_t Range) : Dial(new TDCDial(&Panel)) {
    Panel.resize(297, 130);
    InitMeter(*Dial);
    Dial->OnLabelPosition = [](TDCDial*, int Position, QString& Text, int) {
      Text = MeterLabelText(CurrentRange, Position);
    };
    CurrentRange = Range == 0 ? 1 : 0;
    SetMeterRange(*Dial, Range);
    Panel.show();
    Flush();
  }
  static void Flush() { QApplication::processEvents(); }
};

// Moves the pointer across the scale: erase, redraw what it crossed, draw, show two rects.
void BM_PointerMovePartialRepaint(benchmark::State& State) {
  MeterPanel M(static_cast<std::uint8_t>(State.range(0)));
  const int FullScale = MeterScale(static_cast<int>(State.range(0))).FullScale;
  int Step = 0;
  for (auto _ : State) {
    Step = (Step + 7) % 31;
    M.Dial->SetPosition(FullScale * Step / 30);
    MeterPanel::Flush();
  }
}
BENCHMARK(BM_PointerMovePartialRepaint)->Arg(0)->Arg(13)->Unit(benchmark::kMicrosecond);

// Repaints the whole gauge: face, range polygons rebuilt, every tick and label, pointer.
void BM_FullRepaint(benchmark::State& State) {
  MeterPanel M(static_cast<std::uint8_t>(State.range(0)));
  for (auto _ : State) {
    M.Dial->Invalidate();
    MeterPanel::Flush();
  }
}
BENCHMARK(BM_FullRepaint)->Arg(0)->Arg(13)->Unit(benchmark::kMicrosecond);

// The arcs of the meter: the half-disc face (87 px) and the band edges (83 and 78 px).
void BM_PolyArc(benchmark::State& State) {
  const int Radius = static_cast<int>(State.range(0));
  std::vector<QPoint> Buffer(static_cast<std::size_t>(8 * Radius));
  for (auto _ : State) {
    int Count = PolyArc(QPoint(143, 118), 180, 0, Radius, Buffer.data(), 8 * Radius, kClockwise);
    Count +=
        PolyArc(QPoint(143, 118), 15, 165, Radius, Buffer.data(), 8 * Radius, kCounterClockwise);
    benchmark::DoNotOptimize(Count);
  }
}
BENCHMARK(BM_PolyArc)->Arg(78)->Arg(83)->Arg(87);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication App(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// What one reading costs the main window on the GUI thread: deriving and writing every
// read-out, moving the dial and painting the changes (offscreen). The monitor is not
// involved; bench/main/cpu_usage.sh measures the whole program against the simulator.
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

#include "platform/ProfileFile.h"
#include "ui/main/Main.h"

namespace {

std::unique_ptr<vemo::TFormMain> OpenWindow(bool meterShown) {
  static QTemporaryDir dir;
  const std::string ini = dir.filePath("VemoSWR.ini").toStdString();
  qputenv("VEMOSWR_INI", QByteArray::fromStdString(ini));
  vemo::ProfileFile profile(ini);
  profile.WriteString("Ports", "COM1", "/nonexistent/vemo-bench");  // no monitor: fails fast
  profile.WriteBool("Meter", "Visible", meterShown);
  profile.WriteInteger("Meter", "Range", 5);
  vemo::TFormMain::SetMessageBoxHook([](QMessageBox::Icon, const QString&,
                                        QMessageBox::StandardButtons) { return QMessageBox::Ok; });
  auto form = std::make_unique<vemo::TFormMain>();
  form->Timer1->stop();
  form->show();
  QApplication::processEvents();
  return form;
}

// A reading whose forward power moves the pointer by a few watts each time, as noise does.
void BM_DisplayReading(benchmark::State& state) {
  const auto form = OpenWindow(state.range(0) != 0);
  int i = 0;
  for (auto _ : state) {
    form->DisplayReading(400.0 + (i++ % 20) * 1.7, 9.5);
    QApplication::processEvents();  // paints what changed
  }
}
BENCHMARK(BM_DisplayReading)->Arg(0)->Arg(1)->ArgName("meter")->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

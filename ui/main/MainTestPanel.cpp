// SPDX-License-Identifier: GPL-3.0-or-later
// The diagnostics panel: a simulation that drives the read-outs and the dial without a
// monitor, and the diagnostic counters.
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTimer>

#include "monitor/VSWRMon.h"
#include "ui/controls/NumEdit.h"
#include "ui/main/Main.h"

namespace vemo {

void TFormMain::Button1Click() {
  if (Timer2->isActive()) {
    Timer2->stop();
    return;
  }
  SetAlarmIndicator(false);
  DisplayReading(RealEdit1->Value(), RealEdit2->Value());
  Timer2->start();
}

void TFormMain::Timer2Timer() {
  const int step = static_cast<int>(QRandomGenerator::global()->bounded(10));
  const double noise = Edit1->text() == QStringLiteral("W") ? step : step * 0.01;
  RealEdit1->SetValue(RealEdit1->Value() + noise - SimulationDrift_);
  SetAlarmIndicator(false);
  DisplayReading(RealEdit1->Value(), RealEdit2->Value());
}

void TFormMain::Button3Click() {
  if (Monitor_) SimulationDrift_ += Monitor_->FullScale() < 1000 ? 1 : 0.01;
}

void TFormMain::Button4Click() {
  if (Monitor_) SimulationDrift_ -= Monitor_->FullScale() < 1000 ? 1 : 0.01;
}

void TFormMain::Button2Click() {
  ShowMessage(QStringLiteral("BufferEmptyCount =%1\rCommFailCount =%2")
                  .arg(BufferEmptyCount())
                  .arg(Polling_->CommFailCount()));
}

}  // namespace vemo

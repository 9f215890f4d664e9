// SPDX-License-Identifier: GPL-3.0-or-later
// The read-outs, the dial and its range list, and showing or hiding the meter.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

#include "monitor/VSWRMon.h"
#include "station/Plausibility.h"
#include "station/Readout.h"
#include "ui/main/Main.h"
#include "ui/main/MainAccessibility.h"
#include "ui/main/MainStyle.h"
#include "ui/meter/DCDial.h"
#include "ui/meter/Meter.h"

namespace vemo {

void TFormMain::DisplayReading(double forward, double reflected) {
  ShowReadout(forward, reflected, JudgePowers(forward, reflected, FullScale()));
}

void TFormMain::DisplayReading(const TMonitorReading& reading) {
  ShowReadout(reading.Forward, reading.Reflected, JudgeReading(reading));
}

double TFormMain::FullScale() const {
  // Before the first full-scale reply the session holds its default full scale.
  return Monitor_ ? Monitor_->FullScale() : 625.0;
}

void TFormMain::ShowReadout(double forward, double reflected, Implausibility why) {
  const TReadout readout = DeriveReadout(forward, reflected, FullScale());
  // The needle cannot be greyed: it stays where the last measurement put it (and an
  // absurd power does not send AutoRange to another scale).
  if (why == Implausibility::None) UpdateMeterPosition(readout.MeterPosition);
  Label1D->setText(QString::fromStdString(readout.ForwardLabel));
  Label2D->setText(QString::fromStdString(readout.ReflectedLabel));
  Edit_Forward_Power->setText(QString::fromStdString(readout.ForwardText));
  Edit_Reverse_Power->setText(QString::fromStdString(readout.ReflectedText));
  Edit_Return_Loss->setText(QString::fromStdString(readout.ReturnLossText));
  Edit_VSWR->setText(QString::fromStdString(readout.VSWRText));
  Edit_Rho->setText(QString::fromStdString(readout.RhoText));
  Edit_Transmited_Power->setText(QString::fromStdString(readout.TransmittedText));
  editDBm1->setText(QString::fromStdString(readout.DBmText));
  editDBM->setText(QString::fromStdString(readout.DBmText));
  SetReadoutLook(why == Implausibility::None ? ReadoutLook::Reading : ReadoutLook::Implausible);
  if (access_) access_->Shown(forward, reflected, readout, why == Implausibility::None);
  if (why != implausibility_) {
    implausibility_ = why;
    UpdateStatusBar();
  }
}

void TFormMain::SetReadoutsStale(bool stale) {
  if (!stale)
    SetReadoutLook(ReadoutLook::Reading);
  else if (readoutLook_ != ReadoutLook::NoReading)
    SetReadoutLook(ReadoutLook::Stale);
}

void TFormMain::SetReadoutLook(ReadoutLook look) {
  if (look == readoutLook_) return;
  readoutLook_ = look;
  // Only the latest plausible reading is lime: anything else must not pass for a measurement.
  const QString styleSheet = ReadoutStyleSheet(look != ReadoutLook::Reading);
  QString hint;
  switch (look) {
    case ReadoutLook::Reading:
      break;
    case ReadoutLook::Stale:
      hint = tr("The last reading failed: this is the one before it.");
      break;
    case ReadoutLook::Implausible:
      hint = tr("Implausible reading: shown as the monitor sent it, but no measurement.");
      break;
    case ReadoutLook::NoReading:
      hint = tr("No reading yet.");
      break;
  }
  for (QLineEdit* edit : {Edit_Forward_Power, Edit_Reverse_Power, Edit_VSWR, Edit_Return_Loss,
                          Edit_Rho, Edit_Transmited_Power, editDBm1, editDBM}) {
    edit->setStyleSheet(styleSheet);
    edit->setToolTip(hint);
  }
  // The peak greys with the others once readings stop: it, too, no longer follows the
  // monitor. (An implausible reading leaves it alone: it was never part of the peak.)
  const bool stopped = look == ReadoutLook::Stale || look == ReadoutLook::NoReading;
  Edit_PEP->setStyleSheet(ReadoutStyleSheet(stopped));
  Edit_PEP->setToolTip(stopped ? hint : tr("Peak forward power, held and then falling"));
}

void TFormMain::UpdateMeterPosition(int32_t p) {
  if (p == dcMeter->Position()) return;
  if (cmboRangeList->currentIndex() == kAutoRangeIndex) {
    AutoRangeMeter(*dcMeter, p);
    lblMeterUnit->setText(MeterUnitCaption(CurrentRange));
  } else {
    dcMeter->SetPosition(std::min(p, dcMeter->MaxValue()));
  }
}

void TFormMain::cmboRangeListChange() {
  const int item = cmboRangeList->currentIndex();
  if (item < 0) {
    SetMeterRange(*dcMeter, 0);
  } else if (item < kAutoRangeIndex) {
    SetMeterRange(*dcMeter, static_cast<uint8_t>(item));
    lblMeterUnit->setText(MeterUnitCaption(item));
  } else {
    AutoRangeMeter(*dcMeter, dcMeter->Position());
    lblMeterUnit->setText(MeterUnitCaption(CurrentRange));
  }
}

void TFormMain::dcMeterLabelPosition(TDCDial*, int position, QString& labelText, int) {
  labelText = MeterLabelText(CurrentRange, position);
}

void TFormMain::mnuViewMeterClick() {
  const bool show = !mnuViewMeter->isChecked();
  PlacePanels(show);
  mnuViewMeter->setChecked(show);
}

void TFormMain::mnuViewDiagnosticsClick() {
  mnuViewDiagnostics->setChecked(!mnuViewDiagnostics->isChecked());
  PlacePanels(MeterShown());
}

}  // namespace vemo

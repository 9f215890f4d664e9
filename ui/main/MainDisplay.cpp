// The read-outs, the dial and its range list, and showing or hiding the meter.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

#include "monitor/VSWRMon.h"
#include "station/Readout.h"
#include "ui/main/Main.h"
#include "ui/main/MainStyle.h"
#include "ui/meter/DCDial.h"
#include "ui/meter/Meter.h"

namespace vemo {

void TFormMain::DisplayReading(double forward, double reflected) {
  // Before the first full-scale reply the session holds its default full scale.
  const double fullScale = Monitor_ ? Monitor_->FullScale() : 625.0;
  const TReadout readout = DeriveReadout(forward, reflected, fullScale);
  UpdateMeterPosition(readout.MeterPosition);
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
  SetReadoutsStale(false);
  if (readout.Implausible != readingImplausible_) {
    readingImplausible_ = readout.Implausible;
    UpdateStatusBar();
  }
}

void TFormMain::SetReadoutsStale(bool stale) {
  if (stale == readoutsStale_) return;
  readoutsStale_ = stale;
  const QString styleSheet = ReadoutStyleSheet(stale);
  const QString hint =
      stale ? tr("The last reading failed: this is the one before it.") : QString();
  for (QLineEdit* edit : {Edit_Forward_Power, Edit_Reverse_Power, Edit_VSWR, Edit_Return_Loss,
                          Edit_Rho, Edit_Transmited_Power, editDBm1, editDBM}) {
    edit->setStyleSheet(styleSheet);
    edit->setToolTip(hint);
  }
  // The peak greys with the others: it, too, stopped following the monitor.
  Edit_PEP->setStyleSheet(styleSheet);
  Edit_PEP->setToolTip(stale ? hint : tr("Peak forward power, held and then falling"));
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

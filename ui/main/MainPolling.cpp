// SPDX-License-Identifier: GPL-3.0-or-later
// The polling tick, the command handlers it runs, the user's polling controls and the
// port's data-available handler.
#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <chrono>

#include "platform/Clock.h"
#include "serial/ComPort.h"
#include "station/Readout.h"
#include "ui/alarms/OperatorAlarms.h"
#include "ui/dialogs/CalWiz.h"
#include "ui/main/Main.h"
#include "ui/main/MainRig.h"
#include "ui/main/MainStyle.h"
#include "ui/trend/TrendWindow.h"

namespace vemo {

// Keeps Timer1 off while a tick runs and switches it on again at the end, however the tick
// ends; a close asked for meanwhile is carried out once the outermost tick is over.
// Intervals shorter than the customary one are reading periods: they count from the start
// of the tick, so that a reading's exchange (some 40 ms at 9600 baud) does not stretch them.
class TFormMain::TickScope {
 public:
  explicit TickScope(TFormMain& form) : form_(form) {
    form_.Timer1->stop();
    ++form_.tickDepth_;
    started_.start();
  }
  ~TickScope() {
    --form_.tickDepth_;
    if (form_.formClosed_) return;
    const int period = form_.pollingIntervalMs_;
    if (period < kDefaultPollingIntervalMs)
      form_.Timer1->start(std::max<int>(0, period - static_cast<int>(started_.elapsed())));
    else
      form_.Timer1->start();
    if (form_.tickDepth_ == 0 && form_.closePending_)
      QTimer::singleShot(0, &form_, [f = &form_] { f->FinishDeferredClose(); });
  }
  TickScope(const TickScope&) = delete;
  TickScope& operator=(const TickScope&) = delete;

 private:
  TFormMain& form_;
  QElapsedTimer started_;
};

void TFormMain::Timer1Timer() {
  if (!CmdList_) return;
  TickScope tick(*this);
  try {
    if (CmdList_->Count() > 0)
      RunCommand(CmdList_->Pop());
    else
      Polling_->Tick();
  } catch (...) {
    // Failures that a command leaves to the application (an alarm reset that failed, the
    // options that could not be read) are shown before the timer runs again.
    ShowApplicationError(std::current_exception());
  }
}

void TFormMain::RunCommand(uint8_t code) {
  switch (code) {
    case cmdTrigger:
      TakeReading();
      break;
    case cmdContinuous:
      StartContinuous();
      break;
    case cmdResetAlarm:
      ResetAlarm();
      break;
    case cmdCalZero:
    case cmdCalForward:
    case cmdCalReflected:
      RunCalibrationStep(static_cast<uint8_t>(code - cmdCalZero));
      break;
    case cmdOptions:
      ShowMonitorOptions();
      break;
    case cmdCalWizard:
      ShowCalWizard();
      break;
    case cmdCommPort:
      ShowCommPortDialog();
      break;
    default:
      break;  // not a command: dropped
  }
}

// --- What the polling controller shows -------------------------------------------------

void TFormMain::ShowReading(const TMonitorReading& reading) {
  SetAlarmIndicator(reading.Alarm);
  if (JudgeReading(reading) != Implausibility::None) ++implausibleCount_;
  // On a rig: where it was taken, corrected for the band.
  const TMonitorReading placed = rig_->Place(reading);
  DisplayReading(placed);
  RecordReading(placed);
}

void TFormMain::ShowStale() {
  SetReadoutsStale(true);
}

void TFormMain::RecordGap() {
  const qint64 now = NowMs();
  if (Store_) Store_->AddGap(now);
  NoteGap(now);
}

void TFormMain::NoteGap(qint64 now) {
  History_.AppendGap(now);
  Stats_.AddGap(now);
  alarms_->ReadingFailed();
  if (trendWindow_) trendWindow_->DataChanged();
}

void TFormMain::ShowFailure(const std::string& text) {
  ShowMessage(QString::fromStdString(text));
}

void TFormMain::ShowLineActive(bool active) {
  SetRS232Active(active);
  if (active) pnlRS232->repaint();  // the exchange holds the event loop's painting up
}

void TFormMain::ShowContinuous(bool on) {
  mnuCommands_R->setChecked(on);
  spdbtnContinuous->setChecked(on);
}

void TFormMain::ShowConnection() {
  UpdateConnectionLabel();
}

void TFormMain::RunDeviceWatch(bool run) {
  if (run)
    tmrDeviceWatch->start();
  else
    tmrDeviceWatch->stop();
}

bool TFormMain::WaitingForDevice() const {
  return Polling_->WaitingForDevice();
}

void TFormMain::tmrDeviceWatchTimer() {
  Polling_->DeviceWatchTick();
}

// --- Commands ---------------------------------------------------------------------------

void TFormMain::TakeReading() {
  try {
    Polling_->TakeReading();
  } catch (...) {
    ShowFailureByClass(std::current_exception());
  }
}

void TFormMain::StartContinuous() {
  try {
    // Unattended, a monitor out of reach is tried again later, and polling counts as on.
    Polling_->StartContinuous();
    alarms_->SetPolling(true, pollingIntervalMs_);
  } catch (...) {
    spdbtnContinuous->setChecked(false);
    ShowFailureByClass(std::current_exception());
  }
}

void TFormMain::ResetAlarm() {
  Monitor_->CommandA();
  // The monitor settles its relays before the reading shows the new alarm state.
  Pause(500);
  TakeReading();
}

void TFormMain::RunCalibrationStep(uint8_t step) {
  const bool wasContinuous = Polling_->Continuous();
  Polling_->SetContinuous(false);
  SetRS232Active(false);
  // The operator is busy at the monitor: no reading is missed meanwhile.
  if (wasContinuous) alarms_->SetPolling(false, pollingIntervalMs_);
  try {
    Polling_->EnsureConnected();
    Monitor_->DoCalibration(step, *this);
  } catch (...) {
    ShowFailureByClass(std::current_exception());
  }
  if (wasContinuous) {
    Polling_->SetContinuous(true);
    alarms_->SetPolling(true, pollingIntervalMs_);
    Timer1->setInterval(IntervalAfterCalibration());
    Timer1->start();
  }
}

void TFormMain::ShowCalWizard() {
  const bool wasContinuous = Polling_->Continuous();
  Polling_->SetContinuous(false);
  SetRS232Active(false);
  // The operator is busy at the monitor: no reading is missed meanwhile.
  if (wasContinuous) alarms_->SetPolling(false, pollingIntervalMs_);
  try {
    if (dialogs_.CalWizard && !closePending_) dialogs_.CalWizard->Execute(*Monitor_);
  } catch (...) {
    ShowApplicationError(std::current_exception());
  }
  if (wasContinuous) {
    Polling_->SetContinuous(true);
    alarms_->SetPolling(true, pollingIntervalMs_);
    Timer1->setInterval(IntervalAfterCalibration());
    Timer1->start();
  }
}

bool TFormMain::AskOkCancel(const std::string& text) {
  // A close is waiting for the calibration to end: cancel the step rather than ask.
  if (closePending_) return false;
  return MessageBox(QMessageBox::Warning, QString::fromStdString(text),
                    QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

void TFormMain::SetRS232Active(bool active) {
  SetIndicatorColour(pnlRS232, active ? ActiveGreen() : ButtonFace());
}

void TFormMain::SetAlarmIndicator(bool alarm) {
  SetIndicatorColour(pnlAlarm, alarm ? AlarmRed() : ButtonFace());
}

// --- The user's controls ----------------------------------------------------------------

void TFormMain::QueueCommand(uint8_t code) {
  if (CmdList_) CmdList_->Push(code);
}

void TFormMain::mnuCommands_TClick() {
  Polling_->StopWatchingForDevice();  // the user takes over: polling is not to resume by itself
  EndUnattended();
  alarms_->SetPolling(false, pollingIntervalMs_);
  if (Polling_->Continuous()) {
    Polling_->StopContinuous();
    return;
  }
  QueueCommand(cmdTrigger);
}

void TFormMain::mnuCommands_RClick() {
  if (!Polling_->Continuous()) QueueCommand(cmdContinuous);
}

void TFormMain::mnuCommandsResetClick() {
  QueueCommand(cmdResetAlarm);
}
void TFormMain::N0CalibrateZeroOffset1Click() {
  QueueCommand(cmdCalZero);
}
void TFormMain::N1CalibrateForwardPower1Click() {
  QueueCommand(cmdCalForward);
}
void TFormMain::N2CalibrateReflectedPower1Click() {
  QueueCommand(cmdCalReflected);
}
void TFormMain::mnuCommandsCalWizardClick() {
  QueueCommand(cmdCalWizard);
}

// --- Received data ----------------------------------------------------------------------

void TFormMain::ComObjTriggerAvail(uint16_t count) {
  if (!Monitor_) return;  // the window is closing
  Link_->Receive(*ComObj_, count);
}

}  // namespace vemo

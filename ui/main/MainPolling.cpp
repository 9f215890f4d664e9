// The polling tick, the command handlers it runs, the user's polling controls and the
// port's data-available handler.
#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <array>
#include <chrono>

#include "monitor/Buffer.h"
#include "monitor/VSWRMon.h"
#include "platform/Clock.h"
#include "platform/Escaped.h"
#include "platform/PortNames.h"
#include "serial/ComPort.h"
#include "serial/SerialErrors.h"
#include "station/Readout.h"
#include "ui/alarms/OperatorAlarms.h"
#include "ui/dialogs/CalWiz.h"
#include "ui/main/Main.h"
#include "ui/main/MainStyle.h"
#include "ui/trend/TrendWindow.h"

namespace vemo {

namespace {
// Failures of continuous readings that pass silently before polling stops.
constexpr int kSilentFailures = 3;
}  // namespace

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
    else if (Continuous_)
      ContinuousReading();
    else if (resumeDue_)
      ResumeWithReturnedDevice();
    else if (Connected_ && ComObj_->DeviceLost())
      WatchForLostDevice(false);  // unplugged while idle: say so rather than look connected
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

void TFormMain::ReadAndShow() {
  TMonitorReading reading;
  Monitor_->GetReading(reading);
  if (reading.RawMode) {
    // Unscaled numbers: take the monitor out of raw mode and read again.
    Monitor_->SetRawMode(false);
    Monitor_->GetReading(reading);
  }
  SetAlarmIndicator(reading.Alarm);
  if (JudgeReading(reading) != Implausibility::None) ++implausibleCount_;
  DisplayReading(reading);
  RecordReading(reading);
}

void TFormMain::RecordGap(bool storeGap) {
  const qint64 now = NowMs();
  History_.AppendGap(now);
  if (Store_ && storeGap) Store_->AddGap(now);
  Stats_.AddGap(now);
  alarms_->ReadingFailed();
  if (trendWindow_) trendWindow_->DataChanged();
}

void TFormMain::ContinuousReading() {
  SetRS232Active(true);
  pnlRS232->repaint();
  try {
    ReadAndShow();
    CommFailCount_ = 0;
    SetRS232Active(false);
  } catch (const ESerialException& e) {
    // The port itself failed: retrying cannot help.
    SetReadoutsStale(true);
    RecordGap();
    StopContinuous();
    if (ComObj_->DeviceLost())
      WatchForLostDevice(true);  // said in the status area; a box would hold up the resumption
    else
      ShowMessage(QString::fromStdString(e.message()));
  } catch (const std::exception& e) {
    // A time-out or a garbled reply may be a passing disturbance: retry silently a few times.
    SetReadoutsStale(true);
    RecordGap();
    ++CommFailCount_;
    if (CommFailCount_ > kSilentFailures) {
      StopContinuous();
      ShowMessage(QString::fromStdString(Escaped(e.what())));
    }
  } catch (...) {
    SetReadoutsStale(true);
    RecordGap();
    StopContinuous();
    ShowMessage(tr("An Exception Occurred"));
  }
}

void TFormMain::TakeReading() {
  try {
    EnsureConnected();
    SetRS232Active(true);
    ReadAndShow();
    SetRS232Active(false);
  } catch (...) {
    SetRS232Active(false);
    SetReadoutsStale(true);
    RecordGap();
    ShowFailureByClass(std::current_exception());
  }
}

void TFormMain::StartContinuous() {
  try {
    // An unrecognised monitor does not stop the start; the readings will tell.
    EnsureConnected();
    mnuCommands_R->setChecked(true);
    spdbtnContinuous->setChecked(true);
    Continuous_ = true;
    alarms_->SetPolling(true);
  } catch (...) {
    spdbtnContinuous->setChecked(false);
    ShowFailureByClass(std::current_exception());
  }
}

void TFormMain::StopContinuous() {
  mnuCommands_R->setChecked(false);
  spdbtnContinuous->setChecked(false);
  Continuous_ = false;
  SetRS232Active(false);
}

void TFormMain::EnsureConnected() {
  if (!Connected_ || ComObj_->DeviceLost()) ConnectMonitor();
}

// --- A device that went away while polling ----------------------------------------------

namespace {
// While the device stays present but cannot be reached, it is tried again this often.
constexpr int kWatchTicksPerRetry = 10;
}  // namespace

bool TFormMain::WaitingForDevice() const {
  return tmrDeviceWatch->isActive() || resumeDue_;
}

void TFormMain::WatchForLostDevice(bool resumePolling) {
  // The read-outs show the last reading taken, not the monitor's present state.
  SetReadoutsStale(true);
  resumePolling_ = resumePolling;
  // Let go of the node at once: an adapter plugged in again gets its old name only when
  // nobody holds the old one.
  try {
    ClosePort();
  } catch (const std::exception&) {
    // The dead port is closed all the same.
  }
  Connected_ = false;
  lostNode_ = DeviceNodeAt(PortDevicePath(ComObj_->ComNumber()));
  watchTicksSinceAttempt_ = 0;
  connectionNote_ = tr("device lost");
  UpdateConnectionLabel();
  tmrDeviceWatch->start();
}

void TFormMain::StopWatchingForDevice() {
  tmrDeviceWatch->stop();
  resumeDue_ = false;
}

void TFormMain::tmrDeviceWatchTimer() {
  if (Connected_ || Continuous_) {
    StopWatchingForDevice();  // the user has reconnected meanwhile
    return;
  }
  const std::optional<TDeviceNode> node = DeviceNodeAt(PortDevicePath(ComObj_->ComNumber()));
  ++watchTicksSinceAttempt_;
  if (!node || (node == lostNode_ && watchTicksSinceAttempt_ < kWatchTicksPerRetry)) {
    lostNode_ = node;
    return;
  }
  // A node has (re)appeared, or it is time to try the one that stayed.
  lostNode_ = node;
  watchTicksSinceAttempt_ = 0;
  tmrDeviceWatch->stop();
  resumeDue_ = true;
}

void TFormMain::ResumeWithReturnedDevice() {
  resumeDue_ = false;
  if (Connected_) return;  // a command has reconnected meanwhile
  try {
    ConnectMonitor();
  } catch (const std::exception&) {
    Connected_ = false;
  }
  if (!Connected_) {
    // Not answering yet (still starting up, or not ours to open): keep watching.
    try {
      ClosePort();
    } catch (const std::exception&) {
      // Closed all the same.
    }
    connectionNote_ = tr("device lost");
    UpdateConnectionLabel();
    tmrDeviceWatch->start();
    return;
  }
  connectionNote_ = tr("reconnected");
  UpdateConnectionLabel();
  if (!resumePolling_) return;
  mnuCommands_R->setChecked(true);
  spdbtnContinuous->setChecked(true);
  Continuous_ = true;
}

void TFormMain::ResetAlarm() {
  Monitor_->CommandA();
  // The monitor settles its relays before the reading shows the new alarm state.
  Pause(500);
  TakeReading();
}

void TFormMain::RunCalibrationStep(uint8_t step) {
  const bool wasContinuous = Continuous_;
  Continuous_ = false;
  SetRS232Active(false);
  // The operator is busy at the monitor: no reading is missed meanwhile.
  if (wasContinuous) alarms_->SetPolling(false);
  try {
    EnsureConnected();
    Monitor_->DoCalibration(step, *this);
  } catch (...) {
    ShowFailureByClass(std::current_exception());
  }
  if (wasContinuous) {
    Continuous_ = true;
    alarms_->SetPolling(true);
    Timer1->setInterval(IntervalAfterCalibration());
    Timer1->start();
  }
}

void TFormMain::ShowCalWizard() {
  const bool wasContinuous = Continuous_;
  Continuous_ = false;
  SetRS232Active(false);
  // The operator is busy at the monitor: no reading is missed meanwhile.
  if (wasContinuous) alarms_->SetPolling(false);
  try {
    if (dialogs_.CalWizard && !closePending_) dialogs_.CalWizard->Execute(*Monitor_);
  } catch (...) {
    ShowApplicationError(std::current_exception());
  }
  if (wasContinuous) {
    Continuous_ = true;
    alarms_->SetPolling(true);
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
  StopWatchingForDevice();  // the user takes over: polling is not to resume by itself
  alarms_->SetPolling(false);
  if (Continuous_) {
    StopContinuous();
    return;
  }
  QueueCommand(cmdTrigger);
}

void TFormMain::mnuCommands_RClick() {
  if (!Continuous_) QueueCommand(cmdContinuous);
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
  if (!Buffer_) return;  // the window is closing
  static std::array<uint8_t, 32768> staging;
  // More than the staging block can hold is left in the port, which announces it again.
  count = static_cast<uint16_t>(std::min<std::size_t>(count, staging.size()));
  try {
    ComObj_->ReadBlock(staging.data(), count);
  } catch (const EBufferIsEmpty&) {
    // Announced bytes that were gone by the time we asked for them.
    ++BufferEmptyCount_;
    return;
  }
  for (uint16_t i = 0; i < count; ++i) {
    if (Buffer_->Count() >= TBuffer::Capacity) {
      // Nobody is reading: the held bytes are stale noise, and no reply is this long.
      // Drop them and the rest of this block so the next exchange starts clean.
      Buffer_->Clear();
      return;
    }
    Buffer_->Put(staging[i]);
  }
}

}  // namespace vemo

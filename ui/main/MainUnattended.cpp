// Polling that nobody watches start: a monitor that is not there yet (an adapter still
// enumerating, a monitor switched on later) is waited for without a box that nobody would
// answer, and the link alarm says so meanwhile.
#include <QAction>
#include <QTimer>
#include <QToolButton>

#include "serial/ComPort.h"
#include "ui/alarms/OperatorAlarms.h"
#include "ui/main/Main.h"

namespace vemo {

namespace {
const QString kLinkTopic = QStringLiteral("link");
}  // namespace

bool& TFormMain::UnattendedStartFlag() {
  static bool on = false;
  return on;
}

void TFormMain::SetUnattendedStart(bool on) {
  UnattendedStartFlag() = on;
}

bool TFormMain::Retrying() const {
  return tmrRetry && (tmrRetry->isActive() || retryDue_);
}

void TFormMain::RetryLater(std::exception_ptr failure) {
  if (!tmrRetry) {
    tmrRetry = new QTimer(this);
    tmrRetry->setSingleShot(true);
    connect(tmrRetry, &QTimer::timeout, this, [this] { retryDue_ = true; });
  }
  try {
    ClosePort();
  } catch (const std::exception&) {
    // Closed all the same.
  }
  Connected_ = false;
  const qint64 waitMs = retry_.Next();
  AlarmNote(kLinkTopic,
            tr("%1. Trying again in %2 s.")
                .arg(LinkCause(failure))
                .arg(static_cast<double>(waitMs) / 1000),
            false);
  connectionNote_ = tr("waiting for the monitor");
  UpdateConnectionLabel();
  SetReadoutsStale(true);
  // Polling is what was asked for: the link alarm counts from now, and the buttons say so.
  alarms_->SetPolling(true, pollingIntervalMs_);
  alarms_->ReadingFailed();
  mnuCommands_R->setChecked(true);
  spdbtnContinuous->setChecked(true);
  tmrRetry->start(static_cast<int>(waitMs));
}

void TFormMain::RetryUnattended() {
  retryDue_ = false;
  try {
    ConnectMonitor();
  } catch (...) {
    RetryLater(std::current_exception());
    return;
  }
  // An unrecognised monitor does not stop the start, as at a start by hand: the readings
  // will tell, and their failures come back here.
  retry_.Reset();
  AlarmNote(kLinkTopic,
            tr("The monitor on COM%1 answers again; polling.").arg(ComObj_->ComNumber()), true);
  mnuCommands_R->setChecked(true);
  spdbtnContinuous->setChecked(true);
  Continuous_ = true;
}

void TFormMain::EndUnattended() {
  unattended_ = false;
  retryDue_ = false;
  if (tmrRetry) tmrRetry->stop();
  AlarmNote(kLinkTopic, {}, false);
}

bool TFormMain::RetryInsteadOfBox(std::exception_ptr failure) {
  if (!unattended_) return false;
  StopContinuous();
  RetryLater(failure);
  return true;
}

}  // namespace vemo

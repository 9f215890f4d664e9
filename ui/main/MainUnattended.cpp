// SPDX-License-Identifier: GPL-3.0-or-later
// Polling that nobody watches start: a monitor that is not there yet (an adapter still
// enumerating, a monitor switched on later) is waited for without a box that nobody would
// answer, and the link alarm says so meanwhile. The polling controller decides when to try
// again; the window says why and counts the link alarm.
#include <QTimer>

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

void TFormMain::ShowRetry(const std::string& cause, qint64 waitMs) {
  AlarmNote(kLinkTopic,
            tr("%1 Trying again in %2 s.")
                .arg(QString::fromStdString(cause))
                .arg(static_cast<double>(waitMs) / 1000),
            false);
  // Polling is what was asked for: the link alarm counts from now.
  alarms_->SetPolling(true, pollingIntervalMs_);
  alarms_->ReadingFailed();
}

void TFormMain::ShowRetrySucceeded() {
  AlarmNote(kLinkTopic,
            tr("The monitor on COM%1 answers again; polling.").arg(ComObj_->ComNumber()), true);
}

void TFormMain::RunRetryTimer(qint64 waitMs) {
  if (!tmrRetry) {
    tmrRetry = new QTimer(this);
    tmrRetry->setSingleShot(true);
    connect(tmrRetry, &QTimer::timeout, this, [this] { Polling_->RetryTimeout(); });
  }
  if (waitMs > 0)
    tmrRetry->start(static_cast<int>(waitMs));
  else
    tmrRetry->stop();
}

void TFormMain::EndUnattended() {
  Polling_->EndUnattended();
  AlarmNote(kLinkTopic, {}, false);
}

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
// The menu commands: exit, the port and options dialogs, help and about, the settings
// forwarders, and the precedence of the menu's shortcuts over the focused control's keys.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include "monitor/ReadSettings.h"
#include "monitor/VSWRMon.h"
#include "platform/HelpViewer.h"
#include "ui/main/Main.h"

namespace vemo {

namespace {
// The highest VSWR alarm level code: "VSWR = 2.5".
constexpr uint8_t kHighestVSWRLevel = 12;
}  // namespace

void TFormMain::mnuFileExitClick() {
  if (TickRunning()) {
    // The port is in use by an exchange: close it, and the window, when that is over.
    exitPending_ = true;
    closePending_ = true;
    return;
  }
  ClosePort();
  close();
}

void TFormMain::mnuViewCommPortClick() {
  EndUnattended();  // the user takes over the port
  QueueCommand(cmdCommPort);
}
void TFormMain::Options1Click() {
  QueueCommand(cmdOptions);
}

void TFormMain::mnuHelpClick() {
  if (!helpViewer_) helpViewer_ = new HelpViewer(this);
  helpViewer_->ShowContents(ApplicationHelpFile());
}

// --- Settings forwarders ----------------------------------------------------------------

void TFormMain::SetCheckOnZeroPower(bool on) {
  Monitor_->WriteCheckOnZeroPower(on);
}

void TFormMain::SetVSWRLevel(uint8_t levelIndex) {
  // No level selected in the dialog arrives as 255: there is nothing to write then, and
  // the monitor takes one hexadecimal digit only.
  if (levelIndex > kHighestVSWRLevel) return;
  Monitor_->WriteVSWRLevel(levelIndex);
}

void TFormMain::SetHighPowerAlarm(bool enable, int32_t level) {
  Monitor_->WriteHiPowerAlarm(TPowerAlarm{level, enable});
}

void TFormMain::SetLowPowerAlarm(bool enable, int32_t level) {
  Monitor_->WriteLowPowerAlarm(TPowerAlarm{level, enable});
}

void TFormMain::SetAlarmEnable(bool on) {
  Monitor_->WriteAlarmEnable(on);
}
void TFormMain::SetRelaySense(bool on) {
  Monitor_->WriteRelaySense(on);
}
void TFormMain::SetRelay2Sense(bool on) {
  Monitor_->WriteRelay2Sense(on);
}
void TFormMain::SetLatchAlarm(bool on) {
  Monitor_->WriteLatchAlarm(on);
}
void TFormMain::SetAlarmAtPowerUp(bool on) {
  Monitor_->WriteAlarmAtPowerUp(on);
}

void TFormMain::SetPushToTalk(bool enable, float delaySeconds) {
  const float stored = Monitor_->WritePushToTalk(TPushToTalk{enable, delaySeconds});
  // Told once the settings are all sent, not between two of them.
  pushToTalkNote_ = PushToTalkDelayNote(delaySeconds, stored);
}

// --- Shortcut precedence ----------------------------------------------------------------

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == this) {
    // A line edit claims Ctrl+C and Ctrl+A for itself; the menu's commands come first.
    // Leaving the override unaccepted lets the shortcut fire instead of the key press.
    const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
    for (const QAction* action : actions()) {
      if (action->isEnabled() && !action->shortcut().isEmpty() && action->shortcut() == pressed) {
        event->ignore();
        return true;
      }
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace vemo

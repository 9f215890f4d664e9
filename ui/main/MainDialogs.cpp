// SPDX-License-Identifier: GPL-3.0-or-later
// The dialogs the menu commands show: monitor options, port and about.
#include "monitor/ModelSupport.h"
#include "monitor/MonitorSettings.h"
#include "monitor/ReadSettings.h"
#include "monitor/VSWRMon.h"
#include "platform/Escaped.h"
#include "serial/ComPort.h"
#include "ui/dialogs/Aboutdlg.h"
#include "ui/dialogs/Comdlg.h"
#include "ui/dialogs/OptionsSending.h"
#include "ui/dialogs/OptnsDlg.h"
#include "ui/dialogs/OptnsDlgDualRelay.h"
#include "ui/main/Main.h"

namespace vemo {

void TFormMain::mnuHelpAboutClick() {
  if (dialogs_.About) dialogs_.About->exec();
}

void TFormMain::ShowMonitorOptions() {
  // Read before the connection test: a monitor that does not answer reports that first.
  const MonitorSettings settings = ReadMonitorSettings(*Monitor_);

  if (!Polling_->Connected()) {
    ShowMessage(tr("Power monitor is not connected."));
    return;
  }
  if (closePending_) return;

  pushToTalkNote_.clear();
  if (IsDualRelayModel(Monitor_->ModelId())) {
    // This dialog only edits the record; what it confirms is sent from here.
    TdlgOptionsDualRelay* dialog = dialogs_.OptionsDualRelay;
    if (!dialog) return;
    dialog->SetDeviceEnabled(true, Monitor_->ModelId(), Monitor_->FirmwareDate());
    dialog->Fill(settings);
    if (dialog->exec() != QDialog::Accepted) return;
    SendDualRelaySettings(dialog->Confirmed(), *this,
                          [this](uint16_t gains) { Monitor_->WriteDACGains(gains); });
  } else {
    // This dialog sends the confirmed settings itself, through the forwarders.
    TdlgOptions* dialog = dialogs_.Options;
    if (!dialog) return;
    dialog->SetDeviceEnabled(true, Monitor_->ModelId(), Monitor_->FirmwareDate());
    dialog->Fill(settings);
    dialog->exec();
  }
  if (!pushToTalkNote_.empty()) ShowMessage(QString::fromStdString(pushToTalkNote_));
}

void TFormMain::ShowCommPortDialog() {
  if (TdlgComm* dialog = dialogs_.Comm; dialog && !closePending_) {
    dialog->SelectPort(ComObj_->ComNumber());
    dialog->exec();
  }
  // Whatever was chosen, the monitor at the (possibly new) port is identified afresh.
  try {
    ConnectMonitor();
  } catch (const std::exception& e) {
    ShowMessage(QString::fromStdString(Escaped(e.what())));
  }
}

}  // namespace vemo

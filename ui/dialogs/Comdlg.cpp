// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/Comdlg.h"

#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "serial/ComPort.h"
#include "ui/controls/AccessibleWindow.h"
#include "ui/dialogs/DialogSupport.h"

namespace vemo {

TdlgComm::TdlgComm(const TCustomComPort& port, ChangeComPortFn changeComPort, QWidget* parent)
    : QDialog(parent), port_(port), changeComPort_(std::move(changeComPort)) {
  setWindowTitle(tr("Communications Port..."));
  FormCreate();
}

void TdlgComm::FormCreate() {
  grpbxCommPort = new QGroupBox(tr("Communications Port"), this);
  grpbxCommPort->setObjectName("grpbxCommPort");
  cmbobxCommPort = new QComboBox(grpbxCommPort);
  cmbobxCommPort->setObjectName("cmbobxCommPort");
  for (int n = 1; n <= kPortCount; ++n) cmbobxCommPort->addItem(tr("Com Port %1").arg(n));
  auto* column = new QVBoxLayout(grpbxCommPort);
  column->addWidget(cmbobxCommPort);

  auto* main = new QVBoxLayout(this);
  main->setContentsMargins(6, 8, 6, 8);
  main->setSpacing(8);
  main->setSizeConstraint(QLayout::SetFixedSize);
  main->addWidget(grpbxCommPort);
  AddOkCancelRow(this, main, &OKBtn, &CancelBtn);
  ReserveCaptionWidth(this, main);
  connect(OKBtn, &QPushButton::clicked, this, &TdlgComm::OKBtnClick);
  cmbobxCommPort->setCurrentIndex(0);
}

void TdlgComm::SelectPort(int n) {
  cmbobxCommPort->setCurrentIndex(n >= 1 && n <= kPortCount ? n - 1 : -1);
}

int TdlgComm::SelectedPort() const {
  return cmbobxCommPort->currentIndex() + 1;
}

void TdlgComm::OKBtnClick() {
  const int n = SelectedPort();
  // No entry selected (the current port lies above 16): there is nothing to switch to.
  if (n == 0 || n == port_.ComNumber()) return;
  bool changed = false;
  try {
    changed = changeComPort_(static_cast<uint8_t>(n));
  } catch (const std::exception& e) {
    ShowErrorMessage(this, e);
  }
  if (changed) {
    accept();
  } else {
    SelectPort(port_.ComNumber());
  }
}

void TdlgComm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  MakeAccessible(this);
  CenterOnScreen(this);
  OKBtn->setFocus();
}

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dialog in which the user picks the serial port the monitor is attached to, from
// "Com Port 1" to "Com Port 16".
//
// Use: create once with the port component and the main window's ChangeComPort; before each
// showing SelectPort(current port number), then exec(). OK with a new port asks
// ChangeComPort to switch and closes only when it succeeded; the main window reconnects
// after the dialog closes, whichever button closed it.

#include <QDialog>

#include <cstdint>
#include <functional>

class QComboBox;
class QGroupBox;
class QPushButton;

namespace vemo {

class TCustomComPort;

class TdlgComm : public QDialog {
  Q_OBJECT

 public:
  // Closes the port, takes the number and opens it; true when the port was switched and
  // opened. On failure it has told the user and put the previous number back.
  using ChangeComPortFn = std::function<bool(uint8_t portNumber)>;

  static constexpr int kPortCount = 16;

  // port must outlive the dialog.
  TdlgComm(const TCustomComPort& port, ChangeComPortFn changeComPort, QWidget* parent = nullptr);

  // Selects the entry of port number n; a number outside 1..16 selects none.
  void SelectPort(int n);
  // The selected port number, 0 when none is selected.
  int SelectedPort() const;

  // With a port other than the component's current one: ChangeComPort, then close with OK
  // on success or re-select the current port and stay open on failure. With the current
  // port (or none selected) nothing happens and the dialog stays open.
  void OKBtnClick();

  QGroupBox* grpbxCommPort;
  QComboBox* cmbobxCommPort;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();

  const TCustomComPort& port_;
  ChangeComPortFn changeComPort_;
};

}  // namespace vemo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The port selection dialog that the serial port component shows when it is asked to open
// a port without a port number: it offers the ports present on this machine ("COM%d", up
// to COM50), those held by another program included.

#include <QDialog>

#include <optional>
#include <vector>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

namespace vemo {

class TComSelectForm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kMaxPort = 50;

  // Probes ports 1..50 and lists those present.
  explicit TComSelectForm(QWidget* parent = nullptr);
  // Lists the given port numbers, in their order.
  explicit TComSelectForm(const std::vector<int>& portNumbers, QWidget* parent = nullptr);

  // The number of the selected entry ("COM12" gives 12); 0 when the list is empty. With
  // no port listed OK is disabled, so the dialog can only be cancelled.
  int SelectedPort() const;

  QLabel* Label1;
  QLabel* Label2;
  QFrame* Bevel1;
  QComboBox* PortsComboBox;
  QLabel* PortDetails;  // device, adapter and use of the selected entry
  QPushButton* OkBtn;
  QPushButton* AbortBtn;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate(const std::vector<int>& portNumbers);
};

// Shows the selection dialog modally: the chosen port number, or nothing when the user
// cancelled or no port was found.
std::optional<int> ChoosePortNumber(QWidget* parent = nullptr);

// Makes every port component that is opened without a port number ask the user through
// the selection dialog (parented to parent, when it still exists); a cancelled dialog makes
// the opening fail with -2011. Call once at start-up.
void InstallPortSelectionDialog(QWidget* parent = nullptr);

}  // namespace vemo

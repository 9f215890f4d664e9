// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/SelectPort.h"

#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <map>

#include "platform/PortNames.h"
#include "serial/ComPort.h"
#include "serial/PortProbe.h"
#include "ui/controls/AccessibleWindow.h"
#include "ui/dialogs/DialogSupport.h"

namespace vemo {

TComSelectForm::TComSelectForm(QWidget* parent)
    : TComSelectForm(PresentPortNumbers(kMaxPort), parent) {}

TComSelectForm::TComSelectForm(const std::vector<int>& portNumbers, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setWindowTitle(tr("Select Port"));
  FormCreate(portNumbers);
}

void TComSelectForm::FormCreate(const std::vector<int>& portNumbers) {
  Bevel1 = new QFrame(this);
  Bevel1->setObjectName("Bevel1");
  Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
  Label1 = new QLabel(tr("The configured serial port is not valid."), Bevel1);
  Label1->setObjectName("Label1");
  Label2 = new QLabel(tr("Please choose another port."), Bevel1);
  Label2->setObjectName("Label2");
  auto* texts = new QVBoxLayout(Bevel1);
  texts->addWidget(Label1);
  texts->addWidget(Label2);

  PortsComboBox = new QComboBox(this);
  PortsComboBox->setObjectName("PortsComboBox");
  // The request stands in the frame above, where no label relation reaches: a screen
  // reader gets it as the list's description.
  PortsComboBox->setAccessibleDescription(Label2->text());
  std::map<int, SerialDeviceInfo> known;
  for (const SerialDeviceInfo& device : ListSerialDevices())
    if (device.portNumber > 0) known.emplace(device.portNumber, device);
  for (int n : portNumbers) {
    PortsComboBox->addItem(QStringLiteral("COM%1").arg(n));
    const auto found = known.find(n);
    const std::string details =
        found == known.end() ? PortDevicePath(n) : PortDetailsText(found->second);
    PortsComboBox->setItemData(PortsComboBox->count() - 1, QString::fromStdString(details),
                               Qt::ToolTipRole);
  }
  // Which adapter a number stands for, and whether another program has it.
  PortDetails = new QLabel(this);
  PortDetails->setObjectName("PortDetails");
  PortDetails->setTextInteractionFlags(Qt::TextSelectableByMouse);
  const auto showDetails = [this](int index) {
    PortDetails->setText(index < 0 ? QString()
                                   : PortsComboBox->itemData(index, Qt::ToolTipRole).toString());
  };
  connect(PortsComboBox, &QComboBox::currentIndexChanged, this, showDetails);

  OkBtn = new QPushButton(tr("OK"), this);
  OkBtn->setObjectName("OkBtn");
  OkBtn->setDefault(true);
  AbortBtn = new QPushButton(tr("Cancel"), this);
  AbortBtn->setObjectName("AbortBtn");
  AbortBtn->setAutoDefault(false);
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(AbortBtn, &QPushButton::clicked, this, &QDialog::reject);
  // Nothing to choose: only Cancel is left, and the opening fails cleanly.
  OkBtn->setEnabled(!portNumbers.empty());
  PortsComboBox->setEnabled(!portNumbers.empty());
  PortsComboBox->setCurrentIndex(portNumbers.empty() ? -1 : 0);
  showDetails(PortsComboBox->currentIndex());

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OkBtn);
  buttons->addWidget(AbortBtn);
  auto* main = new QVBoxLayout(this);
  main->setSizeConstraint(QLayout::SetFixedSize);
  main->addWidget(Bevel1);
  main->addWidget(PortsComboBox);
  main->addWidget(PortDetails);
  main->addLayout(buttons);
  ReserveCaptionWidth(this, main);
}

int TComSelectForm::SelectedPort() const {
  if (PortsComboBox->currentIndex() < 0) return 0;
  return PortsComboBox->currentText().mid(3).toInt();
}

void TComSelectForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  MakeAccessible(this);
  CenterOnScreen(this);
}

std::optional<int> ChoosePortNumber(QWidget* parent) {
  TComSelectForm form(parent);
  if (form.exec() != QDialog::Accepted || form.SelectedPort() == 0) return std::nullopt;
  return form.SelectedPort();
}

void InstallPortSelectionDialog(QWidget* parent) {
  QPointer<QWidget> owner(parent);
  TCustomComPort::SetPortSelector([owner]() { return ChoosePortNumber(owner.data()); });
}

}  // namespace vemo
